// Loads arbitrary bytes as a table, checks that every record has one value per field, and
// that writing the table and reading it back gives the same names and values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/TMlb2.h"

using namespace kv::store;

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool AllText(const kv::store::TMlb2& table) {
    for (const auto& type : table.FieldTypes()) {
        if (type != "STRING") {
            return false;
        }
    }
    return true;
}

void RoundTrip(std::string_view bytes, const char* separator) {
    kv::store::TMlb2 table;
    table.Separator = separator;
    table.LoadFromBytes(bytes);

    Check(table.FieldTypes().size() == table.FieldNames().size());
    for (const auto& record : table.Records()) {
        Check(record.size() == table.FieldNames().size());
    }
    for (const auto& type : table.FieldTypes()) {
        Check(type == "STRING" || type == "FLOAT");
    }
    Check(table.IsEmpty() ? !table.Cursor() && table.Eof()
                          : table.Cursor() == table.RecordCount() - 1);
    if (table.FieldNames().empty()) {
        Check(table.ToBytes().empty());
        return;
    }

    const std::string written = table.ToBytes();
    kv::store::TMlb2 back;
    back.Separator = separator;
    back.LoadFromBytes(written);
    Check(back.FieldNames() == table.FieldNames());
    Check(back.Records() == table.Records());
    if (AllText(table)) {
        Check(AllText(back));
        Check(back.ToBytes() == written);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RoundTrip(bytes, ",");
    RoundTrip(bytes, ";");
    return 0;
}
