#include "store/ServerList.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "store/SameText.h"

namespace kv::store {

namespace {

constexpr const char* kServerNameField = "ServerName";
constexpr const char* kIPAddressField = "IPAddress";

}  // namespace

void ServerList::Load(const std::string& path) {
    // Set up apart and moved in whole: assigning the texts to the freshly reset member
    // trips GCC 12's false -Wrestrict at -O3.
    TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    table_ = std::move(table);
    entries_.clear();
    addresses_.clear();
    surplus_.clear();

    if (!table_.LoadFromFile(path)) {
        table_.AddField(kServerNameField);
        table_.AddField(kIPAddressField);
        const std::string name(kDefaultSettingAddress);
        Add({name, name, {}, {}, std::string()});
        return;
    }
    for (table_.First(); !table_.Eof(); table_.Next()) {
        if (entries_.size() < kCapacity) {
            Add({table_.GetField(kServerNameField),
                 table_.GetField(kIPAddressField),
                 {},
                 {},
                 std::string()});
        } else {
            surplus_.push_back(table_.Records()[*table_.Cursor()]);
        }
    }
}

void ServerList::Save(const std::string& path) {
    table_.ClearRecords();
    for (const auto& entry : entries_) {
        table_.Append();
        table_.SetField(kServerNameField, entry.ServerName);
        table_.SetField(kIPAddressField, entry.IPAddress);
    }
    const std::vector<std::string> names = table_.FieldNames();
    for (const auto& record : surplus_) {
        table_.Append();
        for (std::size_t c = 0; c < std::min(record.size(), names.size()); ++c) {
            table_.SetField(names[c], record[c]);
        }
    }
    table_.SaveToFile(path);
}

std::optional<std::size_t> ServerList::IndexOf(std::string_view address) const {
    const auto it = std::find_if(addresses_.begin(), addresses_.end(),
                                 [&](const std::string& item) { return SameText(item, address); });
    if (it == addresses_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::distance(addresses_.begin(), it));
}

std::optional<std::size_t> ServerList::AddDiscovered(std::string_view address,
                                                     std::string_view name) {
    if (IndexOf(address) || IsFull()) {
        return std::nullopt;
    }
    return Add({std::string(name), std::string(address), {}, {}, std::nullopt});
}

std::optional<std::size_t> ServerList::AddFetched(std::string_view address,
                                                  std::string_view treeText,
                                                  std::string_view settingText) {
    if (IsFull()) {
        return std::nullopt;
    }
    return Add(
        {{}, std::string(address), std::string(treeText), std::string(settingText), std::nullopt});
}

void ServerList::Delete(std::size_t index) {
    if (index >= entries_.size()) {
        throw std::out_of_range("no server entry " + std::to_string(index));
    }
    if (index == 0) {
        throw std::invalid_argument("the default setting entry cannot be deleted");
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    addresses_.erase(addresses_.begin() + static_cast<std::ptrdiff_t>(index));
}

ServerList& ServerList::operator=(const ServerList& other) {
    if (this != &other) {
        table_ = other.table_;
        entries_.assign(other.entries_.begin(), other.entries_.end());
        addresses_ = other.addresses_;
        surplus_ = other.surplus_;
        nextKey_ = other.nextKey_;
    }
    return *this;
}

std::optional<std::size_t> ServerList::IndexOfKey(std::uint64_t key) const {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [key](const TServerTree& entry) { return entry.Key == key; });
    if (it == entries_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::distance(entries_.begin(), it));
}

std::vector<std::uint64_t> ServerList::Keys() const {
    std::vector<std::uint64_t> keys;
    keys.reserve(entries_.size());
    for (const TServerTree& entry : entries_) {
        keys.push_back(entry.Key);
    }
    return keys;
}

std::size_t ServerList::Add(TServerTree entry) {
    entry.Key = nextKey_++;
    addresses_.push_back(entry.IPAddress);
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

}  // namespace kv::store
