#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "store/TMlb2.h"
#include "support/TempDir.h"

using namespace kv::store;

namespace kv {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Names = std::vector<std::string>;

TMlb2 Csv(std::string_view bytes) {
    TMlb2 table;
    table.Separator = ",";
    table.LoadFromBytes(bytes);
    return table;
}

TEST(TMlb2Read, SpacesAndLineFeedsOutsideQuotesAreDropped) {
    const TMlb2 t = Csv(" A , B \r\na b,\"c d\"\r\n 1 2 ,x\ny\r\n");
    EXPECT_EQ(t.FieldNames(), (Names{"A", "B"}));
    EXPECT_EQ(t.Records(), (Rows{{"ab", "c d"}, {"12", "xy"}}));
}

TEST(TMlb2Read, QuotedValuesKeepEverySpecialByte) {
    const TMlb2 t = Csv("A,B\r\n\"say \"\"hi\"\"\",\"x,y\r\nz\"\r\n");
    EXPECT_EQ(t.Records(), (Rows{{"say \"hi\"", "x,y\r\nz"}}));
}

TEST(TMlb2Read, QuoteClosesAndTheFieldGoesOn) {
    const TMlb2 t = Csv("A,B\r\n\"ab\"cd,x\"y\"z\r\n");
    EXPECT_EQ(t.Records(), (Rows{{"abcd", "xyz"}}));
    // The first field was quoted, so field 1 stays a text field.
    EXPECT_EQ(t.FieldTypes()[0], "STRING");
}

TEST(TMlb2Read, LastLineWithoutLineEndLosesItsLastField) {
    EXPECT_EQ(Csv("A,B,C\r\n1,2,3\r\n4,5,6").Records(), (Rows{{"1", "2", "3"}, {"4", "5", ""}}));
    // A one-field last line gives no record at all.
    EXPECT_EQ(Csv("A\r\n1\r\n2").Records(), (Rows{{"1"}}));
    // A CR or a separator that is the file's last byte ends nothing more either.
    EXPECT_EQ(Csv("A\r\n1\r\n2\r").Records(), (Rows{{"1"}}));
    EXPECT_EQ(Csv("A,B\r\n1,").Records(), Rows{});
    // An unclosed quote runs to the end of the file and is dropped with it.
    EXPECT_EQ(Csv("A,B\r\n1,\"2\r\n3,4\r\n").Records(), (Rows{{"1", ""}}));
}

TEST(TMlb2Read, BlankLinesGiveRecordsOfEmptyValues) {
    EXPECT_EQ(Csv("A,B\r\n1,2\r\n\r\n3,4\r\n").Records(), (Rows{{"1", "2"}, {"", ""}, {"3", "4"}}));
    EXPECT_EQ(Csv("A,B\r\n1,2\r\n\r\n").Records(), (Rows{{"1", "2"}, {"", ""}}));
}

TEST(TMlb2Read, LineFeedOnlyFileIsOneHeaderLine) {
    const TMlb2 t = Csv("A,B\n1,2\n3,4\n");
    EXPECT_EQ(t.FieldNames(), (Names{"A", "B1", "23", "4"}));
    EXPECT_TRUE(t.IsEmpty());
}

TEST(TMlb2Read, SkippedHeaderNamesShiftTheColumns) {
    TMlb2 t = Csv("Name,name,Kind\r\na,b,c\r\n");
    EXPECT_EQ(t.FieldNames(), (Names{"Name", "Kind"}));
    EXPECT_EQ(t.Records(), (Rows{{"a", "b"}}));
    // Empty names are skipped the same way; spaces-only names too.
    t = Csv(",A,\"  \",B\r\n1,2,3,4,5\r\n");
    EXPECT_EQ(t.FieldNames(), (Names{"A", "B"}));
    EXPECT_EQ(t.Records(), (Rows{{"1", "2"}}));
}

TEST(TMlb2Read, HeaderFieldIsAddedAtEndOfFile) {
    EXPECT_EQ(Csv("A,B").FieldNames(), (Names{"A", "B"}));
    EXPECT_EQ(Csv("A").FieldNames(), (Names{"A"}));
    EXPECT_EQ(Csv("\"A\r\n\"").FieldNames(), (Names{"A\r\n"}));
    const TMlb2 empty = Csv("");
    EXPECT_TRUE(empty.FieldNames().empty());
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.Bof());
    EXPECT_FALSE(empty.Cursor());
}

TEST(TMlb2Read, LastLineReadDecidesTheTypeOfFieldOne) {
    struct Case {
        const char* bytes;
        const char* type;
    };
    const Case cases[] = {
        {"N,V\r\n\"a\",1\r\n5,\"x\"\r\n", "FLOAT"},
        {"N,V\r\n5,\"x\"\r\n\"a\",1\r\n", "STRING"},
        {"N,V\r\n5,\"x\"\r\n,1\r\n", "STRING"},
        {"N,V\r\n5,\"x\"\r\n\"\",1\r\n", "FLOAT"},  // empty and quoted: unchanged
        {"N,V\r\n5,\"x\"\r\n\r\n", "STRING"},       // a blank line is an empty first field
        {"N,V\r\n5,\"x\"\r\n6", "FLOAT"},           // the dropped field decides nothing
    };
    for (const auto& c : cases) {
        const TMlb2 t = Csv(c.bytes);
        EXPECT_EQ(t.FieldTypes()[0], c.type) << c.bytes;
        EXPECT_EQ(t.FieldTypes()[1], "STRING") << c.bytes;
    }
}

TEST(TMlb2Read, FloatFieldSavesBare) {
    TMlb2 t = Csv("N,V\r\n\"a\",1\r\n5,\"x\"\r\n");
    EXPECT_EQ(t.ToBytes(), "\"N\",\"V\"\r\na,\"1\"\r\n5,\"x\"\r\n");
}

TEST(TMlb2Read, ValuesBeyondTheFieldsAreDropped) {
    EXPECT_EQ(Csv("A\r\n1,2,3\r\n").Records(), (Rows{{"1"}}));
}

TEST(TMlb2Read, ShiftJisBytesPassThrough) {
    // Second bytes 0x5C and 0x7C look like backslash and bar; neither is special.
    const std::string name = "\x95\x5C\x8E\xA6";
    const std::string value = "\x83\x5C\x83\x74\x83\x67 \x81\x7C";
    const TMlb2 t = Csv(name + "\r\n\"" + value + "\"\r\n");
    EXPECT_EQ(t.FieldNames(), (Names{name}));
    EXPECT_EQ(t.Records(), (Rows{{value}}));
}

TEST(TMlb2Read, SeparatorAndQuoteAreTheTablesOwn) {
    TMlb2 t;  // default separator ";"
    t.LoadFromBytes("A;B\r\n1,2;3\r\n");
    EXPECT_EQ(t.Records(), (Rows{{"1,2", "3"}}));
    t.QuoteChar = "'";
    t.LoadFromBytes("A;B\r\n'x;''y';\"z\"\r\n");
    EXPECT_EQ(t.Records(), (Rows{{"x;'y", "\"z\""}}));
}

TEST(TMlb2Read, LoadingReplacesEverythingAndLeavesCursorOnLastRecord) {
    TMlb2 t = Csv("A,B,C\r\n1,2,3\r\n");
    t.LoadFromBytes("X\r\n7\r\n8\r\n");
    EXPECT_EQ(t.FieldNames(), (Names{"X"}));
    EXPECT_EQ(t.Records(), (Rows{{"7"}, {"8"}}));
    EXPECT_EQ(t.Cursor(), 1u);
    EXPECT_FALSE(t.Eof());
    EXPECT_FALSE(t.Bof());
    EXPECT_EQ(t.GetField("x"), "8");
}

TEST(TMlb2Read, FileThatCannotBeOpenedChangesNothing) {
    test::TempDir dir;
    TMlb2 t = Csv("A\r\n1\r\n");
    t.First();
    EXPECT_FALSE(t.LoadFromFile(dir.File("missing.csv")));
    EXPECT_FALSE(t.LoadFromFile(dir.Path()));  // a directory cannot be read
    EXPECT_EQ(t.FieldNames(), (Names{"A"}));
    EXPECT_EQ(t.Records(), (Rows{{"1"}}));
    EXPECT_EQ(t.Cursor(), 0u);

    dir.Write("t.csv", "\"Q\"\r\n\"v\"\r\n");
    EXPECT_TRUE(t.LoadFromFile(dir.File("t.csv")));
    EXPECT_EQ(t.Records(), (Rows{{"v"}}));
}

}  // namespace
}  // namespace kv
