#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::cli {

// How the setting text `wanted` (a file) differs from `current` (what an Agent holds), row
// by row: one Shift_JIS line per difference, in order: changed rows field by field, rows
// added or removed at the end, changed mail fields. The log line and the server name (which
// an upload replaces by the server's own) are not compared. Empty when nothing differs.
std::vector<std::string> SettingDifferences(std::string_view current, std::string_view wanted);

// Why a setting text cannot be uploaded as it stands, or nothing: no mail line before the
// log line, a quoted value left open (a line break inside a value splits its line), more
// rows than the grid holds.
std::optional<std::string> UnfitForUpload(std::string_view settingText);

}  // namespace kv::cli
