#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::store {

// In-memory table with named fields, backed by the Manager's own comma text format.
// Names and values are Shift_JIS byte strings; field names compare case-insensitively.
// The writer quotes every name and "STRING" value, doubling the quote character inside;
// a "FLOAT" value is written bare unless it holds a byte that would not read back bare
// (separator, quote, space, CR, LF). A table without fields writes an empty file.
class TMlb2 {
public:
    std::string Separator = ";";
    std::string QuoteChar = "\"";

    // False, and the table unchanged, when the file cannot be opened.
    bool LoadFromFile(const std::string& path);
    // The same reader over bytes already in memory (the whole file content).
    void LoadFromBytes(std::string_view bytes);
    // Writes the whole table atomically; throws EInOutError on failure, never returns false.
    bool SaveToFile(const std::string& path) const;
    // The bytes SaveToFile writes.
    std::string ToBytes() const;

    bool AddField(const std::string& name);
    void ClearRecords();
    void Append();
    bool First();
    bool Last();
    bool Next();
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }

    std::string GetField(std::string_view name) const;
    bool SetField(std::string_view name, std::string_view value);

    std::size_t RecordCount() const { return records_.size(); }
    bool IsEmpty() const { return records_.empty(); }

    const std::vector<std::string>& FieldNames() const { return names_; }
    // "STRING" or "FLOAT", per field.
    const std::vector<std::string>& FieldTypes() const { return types_; }
    const std::vector<std::vector<std::string>>& Records() const { return records_; }
    // Index of the current record, or nullopt.
    std::optional<std::size_t> Cursor() const { return cursor_; }

private:
    // Cursor onto `index`, or none with both flags set when the table is empty.
    bool MoveTo(std::size_t index);
    std::optional<std::size_t> FieldIndex(std::string_view name) const;

    std::vector<std::string> names_;
    std::vector<std::string> types_;
    std::vector<std::vector<std::string>> records_;
    std::optional<std::size_t> cursor_;
    bool bof_ = true;
    bool eof_ = true;
};

}  // namespace kv::store
