#include "cli/RemoteTextCommands.h"

#include <array>
#include <stdexcept>
#include <string>

#include "agent/FileViewText.h"
#include "agent/HttpException.h"
#include "agent/LogPaths.h"
#include "cli/SjisOutput.h"
#include "settings/FetchAndSave.h"
#include "settings/WatchSetting.h"
#include "text/Cp932.h"

namespace kv::cli {

namespace {

constexpr int kOldestLogDay = 3;

const std::string& MissingLogMessage() {
    static const std::string message = text::Sjis("ログファイルが存在しない可能性があります。");
    return message;
}

// The file's text printed as its bytes arrive. Throws EHttpException for the client's
// failures, after printing what had arrived.
void PrintFileView(CliContext& context, std::string_view address, std::string_view path) {
    SjisOutput output(context.terminal);
    agent::FileViewTextBuilder builder;
    std::string text;
    context.Session().Requests().FetchFileView(address, path, [&](std::string_view piece) {
        text.clear();
        builder.Feed(piece, text);
        output.Print(text);
    });
    text.clear();
    builder.Finish(text);
    output.Print(text);
    output.Finish();
}

}  // namespace

int RunView(CliContext& context, const CommandArguments& arguments) {
    const std::string address = context.terminal.FromArgument(arguments.Positional(0), "ADDRESS");
    const std::string path = context.terminal.FromArgument(arguments.Positional(1), "PATH");
    try {
        PrintFileView(context, address, path);
    } catch (const agent::EHttpException&) {
        context.terminal.Message(settings::FetchAndSave::CommunicationFailedMessage());
        return 1;
    }
    return 0;
}

int RunLog(CliContext& context, const CommandArguments& arguments) {
    const int day = arguments.Number("--day", 0, kOldestLogDay, 0);
    const std::string address = context.terminal.FromArgument(arguments.Positional(0), "ADDRESS");
    agent::AgentRequests& requests = context.Session().Requests();

    // The Agent names its current log on the last line of its setting text.
    std::string setting;
    if (!requests.FetchWatchSetting(address, setting)) {
        context.terminal.Message(settings::FetchAndSave::CommunicationFailedMessage());
        return 1;
    }
    const std::optional<std::string> current = settings::ParseSettingText(setting).LogPath;
    if (!current) {
        context.terminal.Message(MissingLogMessage());
        return 1;
    }
    std::array<std::string, 4> paths;
    try {
        paths = agent::LogPathList(*current);
    } catch (const std::runtime_error& error) {
        // Its text names the path, in Shift_JIS.
        context.terminal.Message(error.what());
        return 1;
    }
    try {
        PrintFileView(context, address, paths[static_cast<std::size_t>(day)]);
    } catch (const agent::EHttpException&) {
        context.terminal.Message(MissingLogMessage());
        return 1;
    }
    return 0;
}

}  // namespace kv::cli
