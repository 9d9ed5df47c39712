#include "cli/SettingTextCommands.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "cli/DataFiles.h"
#include "settings/FetchAndSave.h"
#include "settings/WatchSetting.h"
#include "store/AtomicFile.h"
#include "store/InOutError.h"

namespace kv::cli {

namespace {

// An address that can name a file of its own inside a directory: four dot-separated groups
// of digits. Anything else might climb out of the directory ("..", "/").
bool FileSafeAddress(std::string_view address) {
    std::size_t groups = 0;
    while (true) {
        const std::size_t dot = address.find('.');
        const std::string_view group = address.substr(0, dot);
        if (group.empty() ||
            !std::all_of(group.begin(), group.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        ++groups;
        if (dot == std::string_view::npos) {
            return groups == 4;
        }
        address.remove_prefix(dot + 1);
    }
}

// The upload body of a setting text, or a note and nothing when the text has no mail line:
// posting an empty body would wipe the Agent's rows and mail settings.
std::optional<std::string> UploadBody(CliContext& context, std::string_view settingText,
                                      std::string_view serverName, std::string_view source) {
    std::string body = settings::BuildUploadBody(settingText, serverName);
    if (body.empty()) {
        context.terminal.Note(std::string(source) +
                              " holds no mail line: there is no setting to upload");
        return std::nullopt;
    }
    return body;
}

}  // namespace

int RunSettingBody(CliContext& context, const CommandArguments& arguments) {
    const std::string text = ReadAll(context.in);
    const std::optional<std::string> name = arguments.Value("--name");
    const std::string serverName = name ? context.terminal.FromArgument(*name, "NAME")
                                        : settings::ParseSettingText(text).ServerName;
    const std::optional<std::string> body =
        UploadBody(context, text, serverName, "the standard input");
    if (!body) {
        return 1;
    }
    context.terminal.Write(*body);
    return 0;
}

int RunGetSetting(CliContext& context, const CommandArguments& arguments) {
    const std::string address = context.terminal.FromArgument(arguments.Positional(0), "ADDRESS");
    std::string text;
    if (!context.Session().Requests().FetchWatchSetting(address, text)) {
        context.terminal.Message(settings::FetchAndSave::CommunicationFailedMessage());
        return 1;
    }
    context.terminal.Write(text);
    return 0;
}

int RunPutSetting(CliContext& context, const CommandArguments& arguments) {
    const std::string address = context.terminal.FromArgument(arguments.Positional(0), "ADDRESS");
    const std::string& path = arguments.Positional(1);
    const std::string text = ReadArgumentFile(path);
    const store::ServerList servers = LoadServerList(context);
    const std::optional<std::size_t> index = servers.IndexOf(address);
    const std::string serverName =
        index ? servers.Entry(*index).ServerName : settings::ParseSettingText(text).ServerName;
    const std::optional<std::string> body = UploadBody(context, text, serverName, path);
    if (!body) {
        return 1;
    }
    // The body's lines end in CR LF and the request layer ends every line it sends so: one
    // "line" holding the body without its last CR LF goes out byte for byte as the body.
    const std::vector<std::string> lines{body->substr(0, body->size() - 2)};
    if (!context.Session().Requests().SendWatchSetting(address, lines)) {
        context.terminal.Message(settings::FetchAndSave::UploadFailedMessage(address));
        return 1;
    }
    return 0;
}

int RunFetchAll(CliContext& context, const CommandArguments& arguments) {
    const std::string& dir = arguments.Positional(0);
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        context.terminal.Note(dir + " is not a directory");
        return 1;
    }
    const store::ServerList servers = LoadServerList(context);
    bool failed = false;
    for (std::size_t i = 1; i < servers.Count(); ++i) {
        const std::string& address = servers.Addresses()[i];
        if (!FileSafeAddress(address)) {
            context.terminal.Message(address +
                                     ": skipped, not four dot-separated groups of digits");
            failed = true;
            continue;
        }
        std::string text;
        if (!context.Session().Requests().FetchWatchSetting(address, text)) {
            context.terminal.Message(settings::FetchAndSave::FetchAllFailedMessage(address));
            failed = true;
            continue;
        }
        try {
            store::WriteFileAtomically(dir + "/" + address + ".txt", text);
        } catch (const store::EInOutError& writeError) {
            context.terminal.Note(writeError.what());
            failed = true;
        }
    }
    return failed ? 1 : 0;
}

}  // namespace kv::cli
