#include "agentd/WatchState.h"

#include <charconv>
#include <sstream>
#include <string_view>

namespace kv::agentd {
namespace {

constexpr std::string_view kHeader = "kestrelview-watch-state 1";

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "x";  // keeps an empty string a visible word
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

bool Unhex(std::string_view word, std::string& bytes) {
    if (word.empty() || word[0] != 'x' || word.size() % 2 != 1) {
        return false;
    }
    bytes.clear();
    for (std::size_t i = 1; i < word.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(word.data() + i, word.data() + i + 2, value, 16);
        if (error != std::errc() || end != word.data() + i + 2) {
            return false;
        }
        bytes += static_cast<char>(value);
    }
    return true;
}

template <class Number>
bool Read(std::istringstream& in, Number& value) {
    std::string word;
    if (!(in >> word)) {
        return false;
    }
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size();
}

bool ReadHex(std::istringstream& in, std::string& bytes) {
    std::string word;
    return static_cast<bool>(in >> word) && Unhex(word, bytes);
}

}  // namespace

std::string FormatWatchState(const WatchState& state) {
    std::ostringstream out;
    out << kHeader << '\n';
    for (const auto& [path, record] : state.files) {
        out << "file " << Hex(path) << ' ' << record.seen << ' ' << record.places.size() << '\n';
        for (const FilePlace& place : record.places) {
            out << "place " << place.device << ' ' << place.inode << ' ' << place.offset << ' '
                << place.printLength << ' ' << place.print << '\n';
        }
    }
    for (const auto& row : state.rows) {
        out << "row " << Hex(row.fileName) << ' ' << Hex(row.searchString) << ' '
            << Hex(row.searchCount) << ' ' << row.hits << '\n';
    }
    out << "end\n";
    return out.str();
}

bool ParseWatchState(const std::string& text, WatchState& state) {
    state = {};
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kHeader) {
        return false;
    }
    WatchState read;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "end") {
            state = std::move(read);
            return true;
        }
        if (kind == "file") {
            std::string path;
            std::int64_t seen = 0;
            std::size_t count = 0;
            if (!ReadHex(in, path) || !Read(in, seen) || !Read(in, count) || count > 1024) {
                return false;
            }
            read.files[path].seen = seen;
            auto& places = read.files[path].places;
            for (std::size_t i = 0; i < count; ++i) {
                FilePlace place;
                if (!std::getline(lines, line)) {
                    return false;
                }
                std::istringstream at(line);
                at >> kind;
                if (kind != "place" || !Read(at, place.device) || !Read(at, place.inode) ||
                    !Read(at, place.offset) || !Read(at, place.printLength) ||
                    !Read(at, place.print) || place.printLength > kPrintBytes) {
                    return false;
                }
                places.push_back(place);
            }
        } else if (kind == "row") {
            WatchState::RowCount row;
            if (!ReadHex(in, row.fileName) || !ReadHex(in, row.searchString) ||
                !ReadHex(in, row.searchCount) || !Read(in, row.hits)) {
                return false;
            }
            read.rows.push_back(std::move(row));
        } else {
            return false;
        }
    }
    // No end line: the text was cut short.
    return false;
}

}  // namespace kv::agentd
