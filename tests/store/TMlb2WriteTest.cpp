#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/InOutError.h"
#include "store/TMlb2.h"
#include "support/TempDir.h"

using namespace kv::store;

namespace kv {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TMlb2 Table(const std::vector<std::string>& names) {
    TMlb2 t;
    t.Separator = ",";
    for (const auto& name : names) {
        t.AddField(name);
    }
    return t;
}

TEST(TMlb2Write, QuotesEveryNameAndTextValue) {
    TMlb2 t = Table({"ServerName", "IPAddress"});
    t.Append();
    t.SetField("ServerName", "A");
    t.SetField("IPAddress", "127.200.3.4");
    EXPECT_EQ(t.ToBytes(), "\"ServerName\",\"IPAddress\"\r\n\"A\",\"127.200.3.4\"\r\n");

    t.Append();
    t.SetField("ServerName", "say \"x\"");
    EXPECT_EQ(
        t.ToBytes(),
        "\"ServerName\",\"IPAddress\"\r\n\"A\",\"127.200.3.4\"\r\n\"say \"\"x\"\"\",\"\"\r\n");
}

TEST(TMlb2Write, NameHoldingTheQuoteIsDoubledAndReadsBack) {
    TMlb2 t = Table({"a\"b", "c"});
    t.Append();
    t.SetField("c", "1");
    EXPECT_EQ(t.ToBytes(), "\"a\"\"b\",\"c\"\r\n\"\",\"1\"\r\n");
    TMlb2 back = Table({});
    back.LoadFromBytes(t.ToBytes());
    EXPECT_EQ(back.FieldNames(), t.FieldNames());
    EXPECT_EQ(back.Records(), t.Records());
}

TEST(TMlb2Write, FloatValueIsBareUnlessItWouldNotReadBack) {
    TMlb2 t = Table({"N", "V"});
    t.LoadFromBytes("N,V\r\n9,\"x\"\r\n");
    ASSERT_EQ(t.FieldTypes()[0], "FLOAT");
    const std::vector<std::string> values = {"12.5", "a,b", "a\"b", "a b", "a\rb", "a\nb", ""};
    t.ClearRecords();
    for (const auto& value : values) {
        t.Append();
        t.SetField("N", value);
    }
    EXPECT_EQ(t.ToBytes(),
              "\"N\",\"V\"\r\n12.5,\"\"\r\n\"a,b\",\"\"\r\n\"a\"\"b\",\"\"\r\n\"a b\",\"\"\r\n"
              "\"a\rb\",\"\"\r\n\"a\nb\",\"\"\r\n,\"\"\r\n");
    TMlb2 back = Table({});
    back.LoadFromBytes(t.ToBytes());
    EXPECT_EQ(back.Records(), t.Records());
}

TEST(TMlb2Write, TableWithoutFieldsWritesAnEmptyFile) {
    TMlb2 t = Table({});
    t.LoadFromBytes("\r\n1\r\n2\r\n");
    ASSERT_TRUE(t.FieldNames().empty());
    ASSERT_EQ(t.RecordCount(), 2u);
    EXPECT_EQ(t.ToBytes(), "");
    EXPECT_EQ(Table({}).ToBytes(), "");
}

TEST(TMlb2Write, OtherQuoteCharacterIsTheOneDoubled) {
    TMlb2 t = Table({"A"});
    t.QuoteChar = "'";
    t.Append();
    t.SetField("A", "it's \"x\"");
    EXPECT_EQ(t.ToBytes(), "'A'\r\n'it''s \"x\"'\r\n");
}

TEST(TMlb2Write, TextTablesRoundTrip) {
    std::mt19937 random(12345);
    const std::string alphabet = "ab ,;\"'\r\n\t\x82\xA0\x83\x5C";
    auto text = [&](std::size_t maxLength) {
        std::string s;
        for (std::size_t n = random() % (maxLength + 1); n > 0; --n) {
            s.push_back(alphabet[random() % alphabet.size()]);
        }
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        TMlb2 t = Table({});
        for (std::size_t f = random() % 4; f <= 3; ++f) {
            t.AddField("F" + std::to_string(f) + text(3));
        }
        for (std::size_t r = random() % 5; r > 0; --r) {
            t.Append();
            for (const auto& name : t.FieldNames()) {
                t.SetField(name, text(8));
            }
        }
        TMlb2 back = Table({});
        back.LoadFromBytes(t.ToBytes());
        ASSERT_EQ(back.FieldNames(), t.FieldNames()) << round;
        ASSERT_EQ(back.Records(), t.Records()) << round;
        ASSERT_EQ(back.FieldTypes(), t.FieldTypes()) << round;
    }
}

TEST(TMlb2Write, SaveToFileWritesAndKeepsTheTable) {
    test::TempDir dir;
    TMlb2 t = Table({"A"});
    t.Append();
    t.SetField("A", "1");
    t.Append();
    t.First();
    EXPECT_TRUE(t.SaveToFile(dir.File("t.csv")));
    EXPECT_EQ(dir.Read("t.csv"), "\"A\"\r\n\"1\"\r\n\"\"\r\n");
    EXPECT_EQ(t.Cursor(), 0u);
    EXPECT_EQ(t.RecordCount(), 2u);

    EXPECT_THROW(t.SaveToFile(dir.File("no/such/dir.csv")), EInOutError);
    EXPECT_EQ(t.RecordCount(), 2u);
}

TEST(TMlb2Table, NewTable) {
    TMlb2 t;
    EXPECT_EQ(t.Separator, ";");
    EXPECT_EQ(t.QuoteChar, "\"");
    EXPECT_TRUE(t.Bof());
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_FALSE(t.Cursor());
}

TEST(TMlb2Table, AddFieldRefusesEmptySpacesAndDuplicates) {
    TMlb2 t;
    EXPECT_TRUE(t.AddField("Name"));
    EXPECT_FALSE(t.AddField(""));
    EXPECT_FALSE(t.AddField("   "));
    EXPECT_FALSE(t.AddField("NAME"));
    EXPECT_TRUE(t.AddField(" Name"));
    // Shift_JIS second bytes 0x41 and 0x61 are different characters, not letter cases.
    EXPECT_TRUE(t.AddField("\x83\x41"));
    EXPECT_TRUE(t.AddField("\x83\x61"));
    EXPECT_EQ(t.FieldTypes(), std::vector<std::string>(4, "STRING"));
}

TEST(TMlb2Table, AddFieldExtendsEveryRecord) {
    TMlb2 t = Table({"A"});
    t.Append();
    t.SetField("A", "1");
    t.Append();
    t.AddField("B");
    EXPECT_EQ(t.Records(), (Rows{{"1", ""}, {"", ""}}));
    EXPECT_TRUE(t.SetField("b", "2"));
    EXPECT_EQ(t.Records()[1], (std::vector<std::string>{"", "2"}));
}

TEST(TMlb2Table, GetAndSetFieldNeedAFieldAndACurrentRecord) {
    TMlb2 t = Table({"Name"});
    EXPECT_EQ(t.GetField("Name"), "");
    EXPECT_FALSE(t.SetField("Name", "x"));
    t.Append();
    EXPECT_TRUE(t.SetField("nAmE", "x"));
    EXPECT_EQ(t.GetField("NAME"), "x");
    EXPECT_FALSE(t.SetField("Other", "y"));
    EXPECT_EQ(t.GetField("Other"), "");
    t.ClearRecords();
    EXPECT_EQ(t.GetField("Name"), "");
    EXPECT_EQ(t.FieldNames().size(), 1u);
}

TEST(TMlb2Table, CursorWalk) {
    TMlb2 t = Table({"V"});
    EXPECT_FALSE(t.First());
    EXPECT_FALSE(t.Last());
    EXPECT_FALSE(t.Next());
    EXPECT_TRUE(t.Bof());
    EXPECT_TRUE(t.Eof());
    EXPECT_FALSE(t.Cursor());

    for (const char* v : {"a", "b", "c"}) {
        t.Append();
        t.SetField("V", v);
        EXPECT_FALSE(t.Bof());
        EXPECT_FALSE(t.Eof());
    }
    std::string walked;
    for (t.First(); !t.Eof(); t.Next()) {
        walked += t.GetField("V");
    }
    EXPECT_EQ(walked, "abc");
    // Past the end the cursor stays on the last record.
    EXPECT_EQ(t.Cursor(), 2u);
    EXPECT_FALSE(t.Bof());
    EXPECT_FALSE(t.Next());
    EXPECT_EQ(t.GetField("V"), "c");

    EXPECT_TRUE(t.Last());
    EXPECT_FALSE(t.Eof());
    EXPECT_TRUE(t.First());
    EXPECT_TRUE(t.Next());
    EXPECT_EQ(t.GetField("V"), "b");

    t.ClearRecords();
    EXPECT_TRUE(t.Bof());
    EXPECT_TRUE(t.Eof());
    EXPECT_FALSE(t.Cursor());
}

}  // namespace
}  // namespace kv
