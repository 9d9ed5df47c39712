// Setting texts come from Agents as arbitrary bytes: split, parse and requote them, and check
// that a text the Manager builds from the parsed values reads back as the same values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "settings/WatchSetting.h"

using namespace kv::settings;
using namespace kv::fuzz;

namespace {

// Verbatim quoting cannot carry a quote or a line break; everything else reads back.
std::string Writable(std::string value) {
    std::erase_if(value, [](char c) { return c == '"' || c == '\r' || c == '\n'; });
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::string& field : kv::settings::SplitCommaText(input)) {
        Check(field.size() <= input.size());
    }
    const kv::settings::WatchSetting parsed = kv::settings::ParseSettingText(input);
    kv::settings::BuildUploadBody(input, "fuzz");

    std::vector<kv::settings::WatchRow> rows = parsed.Rows;
    for (kv::settings::WatchRow& row : rows) {
        for (std::string* value :
             {&row.FileName, &row.SearchString, &row.SearchCount, &row.MailAddress, &row.Command}) {
            *value = Writable(*value);
        }
    }
    // A parsed body holds its breaks as CR LF pairs (from TABs); they survive a build.
    std::string body = parsed.Mail.MailBody;
    std::erase(body, '"');
    const kv::settings::MailSetting mail{Writable(parsed.Mail.MailSubject), body,
                                         Writable(parsed.Mail.SMTPServer),
                                         Writable(parsed.Mail.FromMailAddress)};
    const std::string name = Writable(parsed.ServerName);
    const std::string text = kv::settings::BuildSettingText(rows, mail, name);
    const kv::settings::WatchSetting again = kv::settings::ParseSettingText(text);
    Check(again.Rows == rows);
    Check(again.Mail == mail);
    Check(again.ServerName == name);
    Check(!again.LogPath.has_value());

    const std::string upload = kv::settings::BuildUploadBody(text, name);
    const auto uploadLines = kv::settings::SplitSettingLines(upload);
    const auto textLines = kv::settings::SplitSettingLines(text);
    Check(uploadLines.size() == rows.size() + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Check(uploadLines[i] == textLines[i]);
    }
    return 0;
}
