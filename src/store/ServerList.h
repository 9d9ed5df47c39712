#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/TMlb2.h"

namespace kv::store {

inline constexpr std::string_view kDefaultSettingAddress = "DefaultSetting";

// One server entry; entry 0 is the local default setting.
struct TServerTree {
    std::string ServerName;
    std::string IPAddress;
    std::string TreeText;
    std::string SettingText;
    // Absent: the log is fetched on its next display.
    std::optional<std::string> CachedLog;
    // Names this entry for as long as the list lives, whatever moves around it: a flow
    // that waited looks its entry up again by key, never by a row number taken before.
    std::uint64_t Key = 0;
};

// The server table (at most 256 entries in use) kept in step with the server address
// list, and the loaded Server.csv table that is written back. The pane's nodes are
// kept in step by the caller, in the same handler. The entries' storage is reserved for
// the whole capacity and never moves, so an append while a request waits leaves every
// reference to an entry valid.
class ServerList {
public:
    static constexpr std::size_t kCapacity = 256;

    ServerList() { entries_.reserve(kCapacity); }
    ServerList(const ServerList& other) : ServerList() { *this = other; }
    ServerList& operator=(const ServerList& other);

    // Loads Server.csv from `path`. Every entry gets an empty tree and setting text and a
    // present, empty cached log. A file that cannot be opened gives the fields ServerName
    // and IPAddress and the single entry "DefaultSetting" (as name and address), so that
    // a first save writes a proper file. Records beyond the capacity are kept aside and
    // written back after the entries, untouched.
    void Load(const std::string& path);
    // Writes the entries (and any records kept aside) to `path`; throws EInOutError.
    void Save(const std::string& path);

    std::size_t Count() const { return entries_.size(); }
    bool IsFull() const { return entries_.size() >= kCapacity; }
    TServerTree& Entry(std::size_t index) { return entries_.at(index); }
    const TServerTree& Entry(std::size_t index) const { return entries_.at(index); }
    // Server address list: the IPAddress texts in entry order.
    const std::vector<std::string>& Addresses() const { return addresses_; }
    // First entry whose address matches case-insensitively.
    std::optional<std::size_t> IndexOf(std::string_view address) const;
    // The entry's row now, or nothing once it was deleted.
    std::optional<std::size_t> IndexOfKey(std::uint64_t key) const;
    // Keys of the entries in use, in list order.
    std::vector<std::uint64_t> Keys() const;

    // From discovery: nothing when the address is listed or the table is full; else
    // appends (name, address) with empty buffers and no cached log. Returns the new index.
    std::optional<std::size_t> AddDiscovered(std::string_view address, std::string_view name);
    // From the add-server dialog: appends without a duplicate test; nullopt when full.
    std::optional<std::size_t> AddFetched(std::string_view address, std::string_view treeText,
                                          std::string_view settingText);
    // Moves every later entry up one place and removes address item `index`. Throws
    // std::out_of_range past the entries in use, std::invalid_argument for entry 0.
    void Delete(std::size_t index);

    const TMlb2& Table() const { return table_; }
    // Records of Server.csv beyond the capacity, kept untouched.
    std::size_t SurplusCount() const { return surplus_.size(); }

private:
    std::size_t Add(TServerTree entry);

    TMlb2 table_;
    std::vector<TServerTree> entries_;
    std::vector<std::string> addresses_;
    std::vector<std::vector<std::string>> surplus_;
    std::uint64_t nextKey_ = 1;
};

}  // namespace kv::store
