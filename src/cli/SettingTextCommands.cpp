#include "cli/SettingTextCommands.h"

#include <optional>

#include "cli/DataFiles.h"
#include "settings/FetchAndSave.h"
#include "settings/WatchSetting.h"

namespace kv::cli {

namespace {

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

}  // namespace kv::cli
