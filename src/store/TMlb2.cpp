#include "store/TMlb2.h"

#include <algorithm>

#include "store/AtomicFile.h"
#include "store/SameText.h"

namespace kv::store {

namespace {

constexpr std::string_view kString = "STRING";
constexpr std::string_view kFloat = "FLOAT";
constexpr int kNoByte = -1;

int FirstByte(const std::string& text) {
    return text.empty() ? kNoByte : static_cast<unsigned char>(text[0]);
}

// One field as the reader saw it.
struct Field {
    std::string text;
    bool wasQuoted = false;
    bool endsLine = false;  // ended by CR
    bool more = false;      // the byte that ended it was not the file's last byte
};

// One pass over the bytes; each field ends at the separator, at CR or at the end.
class FieldReader {
public:
    FieldReader(std::string_view bytes, int separator, int quote)
        : bytes_(bytes), separator_(separator), quote_(quote) {}

    void Read(Field& field) {
        field.text.clear();
        field.wasQuoted = false;
        field.endsLine = false;
        bool inQuotes = false;
        while (pos_ < bytes_.size()) {
            if (inQuotes) {
                // Copy the run up to the next quote in one go: values are often long.
                const std::size_t stop = bytes_.find(static_cast<char>(quote_), pos_);
                if (stop == std::string_view::npos) {
                    field.text.append(bytes_.substr(pos_));
                    pos_ = bytes_.size();
                    break;
                }
                field.text.append(bytes_.substr(pos_, stop - pos_));
                pos_ = stop + 1;
                if (pos_ < bytes_.size() && Byte(pos_) == quote_) {
                    field.text.push_back(static_cast<char>(quote_));
                    ++pos_;
                } else {
                    inQuotes = false;
                }
                continue;
            }
            const int b = Byte(pos_++);
            if (b == quote_) {
                inQuotes = true;
                field.wasQuoted = true;
            } else if (b == ' ' || b == '\n') {
                continue;
            } else if (b == separator_ || b == '\r') {
                field.endsLine = b == '\r';
                field.more = pos_ < bytes_.size();
                return;
            } else {
                field.text.push_back(static_cast<char>(b));
            }
        }
        field.more = false;
    }

private:
    int Byte(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    int separator_;
    int quote_;
};

bool OnlySpaces(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c == ' '; });
}

void AppendQuoted(std::string& out, std::string_view value, const std::string& quote) {
    out += quote;
    if (quote.empty()) {
        out += value;
        return;
    }
    const char q = quote[0];
    std::size_t start = 0;
    for (std::size_t at = value.find(q); at != std::string_view::npos; at = value.find(q, at + 1)) {
        out.append(value.substr(start, at + 1 - start));
        out.push_back(q);
        start = at + 1;
    }
    out.append(value.substr(start));
    out += quote;
}

// A bare value holding any of these bytes would read back differently.
bool NeedsQuotes(std::string_view value, int separator, int quote) {
    return std::any_of(value.begin(), value.end(), [&](char c) {
        const int b = static_cast<unsigned char>(c);
        return b == separator || b == quote || b == ' ' || b == '\r' || b == '\n';
    });
}

}  // namespace

bool TMlb2::LoadFromFile(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;
    }
    LoadFromBytes(bytes);
    return true;
}

void TMlb2::LoadFromBytes(std::string_view bytes) {
    names_.clear();
    types_.clear();
    records_.clear();
    cursor_.reset();
    bof_ = true;
    eof_ = true;

    FieldReader reader(bytes, FirstByte(Separator), FirstByte(QuoteChar));
    Field field;
    do {
        reader.Read(field);
        if (!field.text.empty()) {
            AddField(field.text);
        }
    } while (field.more && !field.endsLine);

    while (field.more) {
        std::size_t column = 0;
        do {
            reader.Read(field);
            ++column;
            if (!field.more) {
                return;
            }
            if (column == 1) {
                Append();
                if (!types_.empty() && !(field.text.empty() && field.wasQuoted)) {
                    types_[0] = (!field.text.empty() && !field.wasQuoted) ? kFloat : kString;
                }
            }
            if (!field.text.empty() && column <= names_.size()) {
                records_.back()[column - 1] = std::move(field.text);
            }
        } while (!field.endsLine);
    }
}

bool TMlb2::SaveToFile(const std::string& path) const {
    WriteFileAtomically(path, ToBytes());
    return true;
}

std::string TMlb2::ToBytes() const {
    // Without fields a record has no value to write: such a table writes an empty file.
    std::string out;
    if (names_.empty()) {
        return out;
    }
    const int separator = FirstByte(Separator);
    const int quote = FirstByte(QuoteChar);
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i > 0) {
            out += Separator;
        }
        AppendQuoted(out, names_[i], QuoteChar);
    }
    out += "\r\n";

    std::size_t estimate = 0;
    for (const auto& record : records_) {
        for (const auto& value : record) {
            estimate += value.size() + 3;
        }
        estimate += 2;
    }
    out.reserve(estimate + estimate / 64);

    std::vector<bool> bare(types_.size());
    for (std::size_t i = 0; i < types_.size(); ++i) {
        bare[i] = types_[i] == kFloat;
    }
    for (const auto& record : records_) {
        for (std::size_t i = 0; i < record.size(); ++i) {
            if (i > 0) {
                out += Separator;
            }
            if (bare[i] && !NeedsQuotes(record[i], separator, quote)) {
                out += record[i];
            } else {
                AppendQuoted(out, record[i], QuoteChar);
            }
        }
        out += "\r\n";
    }
    return out;
}

bool TMlb2::AddField(const std::string& name) {
    if (OnlySpaces(name) || FieldIndex(name)) {
        return false;
    }
    names_.push_back(name);
    types_.emplace_back(kString);
    for (auto& record : records_) {
        record.emplace_back();
    }
    return true;
}

void TMlb2::ClearRecords() {
    records_.clear();
    cursor_.reset();
    bof_ = true;
    eof_ = true;
}

void TMlb2::Append() {
    records_.emplace_back(names_.size());
    cursor_ = records_.size() - 1;
    bof_ = false;
    eof_ = false;
}

bool TMlb2::First() {
    return MoveTo(0);
}

bool TMlb2::Last() {
    return MoveTo(records_.size() - 1);
}

bool TMlb2::Next() {
    if (!records_.empty() && (!cursor_ || *cursor_ + 1 < records_.size())) {
        return MoveTo(cursor_ ? *cursor_ + 1 : 0);
    }
    eof_ = true;
    bof_ = records_.empty();
    return false;
}

std::string TMlb2::GetField(std::string_view name) const {
    const auto index = FieldIndex(name);
    if (!index || !cursor_) {
        return {};
    }
    return records_[*cursor_][*index];
}

bool TMlb2::SetField(std::string_view name, std::string_view value) {
    const auto index = FieldIndex(name);
    if (!index || !cursor_) {
        return false;
    }
    records_[*cursor_][*index] = value;
    return true;
}

bool TMlb2::MoveTo(std::size_t index) {
    if (records_.empty()) {
        cursor_.reset();
        bof_ = true;
        eof_ = true;
        return false;
    }
    cursor_ = index;
    bof_ = false;
    eof_ = false;
    return true;
}

std::optional<std::size_t> TMlb2::FieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (SameText(names_[i], name)) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace kv::store
