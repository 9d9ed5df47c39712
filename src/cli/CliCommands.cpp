#include "cli/CliCommands.h"

#include <algorithm>

#include "cli/ConvertCommand.h"
#include "cli/DefaultSettingCommands.h"
#include "cli/FleetCommands.h"
#include "cli/FleetRun.h"
#include "cli/RemoteTextCommands.h"
#include "cli/ServerListCommands.h"
#include "cli/SettingTextCommands.h"
#include "cli/TreeCommand.h"

namespace kv::cli {

namespace {

constexpr std::string_view kProgram = "kestrelviewctl";
constexpr std::size_t kSummaryColumn = 34;
constexpr std::size_t kAnyCount = 256;

std::vector<CommandOption> WithDryRun(std::vector<CommandOption> options) {
    options.push_back({"--dry-run", false});
    return options;
}

std::string Synopsis(const CliCommand& command) {
    std::string line(command.name);
    if (!command.usage.empty()) {
        line += ' ';
        line += command.usage;
    }
    return line;
}

void AppendCommands(std::string& text, bool network) {
    for (const CliCommand& command : CliCommands()) {
        if (command.needsNetwork != network) {
            continue;
        }
        const std::string synopsis = Synopsis(command);
        text += "  " + synopsis;
        // A long synopsis puts its summary on a line of its own.
        if (synopsis.size() + 2 > kSummaryColumn) {
            text += "\n" + std::string(kSummaryColumn + 2, ' ');
        } else {
            text += std::string(kSummaryColumn - synopsis.size(), ' ');
        }
        text += std::string(command.summary) + "\n";
    }
}

}  // namespace

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands{
        {"servers",
         "",
         "list Server.csv: index, TAB, address, TAB, server name",
         {},
         RunServers,
         false},
        {"remove",
         "ADDRESS",
         "remove the first server with that address from Server.csv",
         {{}, 1, 1},
         RunRemove,
         false},
        {"export",
         "FILE",
         "write the default setting's watch rows to a CSV file",
         {{}, 1, 1},
         RunExport,
         false},
        {"import",
         "FILE",
         "replace the default setting's watch rows with a CSV file's",
         {{}, 1, 1},
         RunImport,
         false},
        {"convert",
         "--to-sjis|--to-euc",
         "convert standard input between EUC-JP and Shift_JIS",
         {{{"--to-sjis", false}, {"--to-euc", false}}, 0, 0},
         RunConvert,
         false},
        {"setting-body",
         "[--name NAME]",
         "the upload body of the setting text on standard input (raw bytes)",
         {{{"--name", true}}, 0, 0},
         RunSettingBody,
         false},
        {"tree",
         "ADDRESS | --input FILE",
         "print an Agent's directory tree, fetched or from a saved reply",
         {{{"--input", true}}, 0, 1},
         RunTree,
         true},
        {"get-setting",
         "ADDRESS",
         "write an Agent's setting text as received (raw bytes)",
         {{}, 1, 1},
         RunGetSetting,
         true},
        {"put-setting",
         "ADDRESS FILE",
         "upload the setting text in FILE to an Agent",
         {{}, 2, 2},
         RunPutSetting,
         true},
        {"fetch-all",
         "DIR [FLEET]",
         "fetch every server's setting text into DIR/ADDRESS.txt",
         {cli::FleetOptions::Syntax(false), 1, 1},
         cli::RunFetchAll,
         true},
        {"push-all",
         "DIR [FLEET] [--dry-run] [--yes]",
         "upload DIR/ADDRESS.txt to each listed server that has one",
         {WithDryRun(cli::FleetOptions::Syntax(true)), 1, 1},
         cli::RunPushAll,
         true},
        {"diff",
         "DIR [ADDRESS]... [FLEET]",
         "show how each server's setting differs from DIR/ADDRESS.txt",
         {cli::FleetOptions::Syntax(false), 1, kAnyCount},
         cli::RunDiff,
         true},
        {"check",
         "[ADDRESS]... [FLEET]",
         "ask each server for its setting: reachable, credentials, time",
         {cli::FleetOptions::Syntax(false), 0, kAnyCount},
         cli::RunCheck,
         true},
        {"distribute",
         "[FLEET] [--yes]",
         "upload the default setting to every server of Server.csv",
         {cli::FleetOptions::Syntax(true), 0, 0},
         cli::RunDistribute,
         true},
        {"view", "ADDRESS PATH", "print a file of the Agent's machine", {{}, 2, 2}, RunView, true},
        {"log",
         "ADDRESS [--day N]",
         "print the Agent's log of today or N (1-3) days before",
         {{{"--day", true}}, 1, 1},
         RunLog,
         true},
        {"add",
         "ADDRESS",
         "test the Agent at ADDRESS and add it to Server.csv",
         {{}, 1, 1},
         RunAdd,
         true},
        {"discover",
         "[--wait SECONDS] [--to ADDRESS] [--save]",
         "ask for Agents (broadcast, or ADDRESS) and list the new ones",
         {{{"--wait", true}, {"--to", true}, {"--save", false}}, 0, 0},
         RunDiscover,
         true},
    };
    return commands;
}

const CliCommand* FindCliCommand(std::string_view name) {
    const std::vector<CliCommand>& commands = CliCommands();
    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [&](const CliCommand& command) { return command.name == name; });
    return it == commands.end() ? nullptr : &*it;
}

std::string CliHelpText() {
    std::string text = std::string("Usage: ") + std::string(kProgram) +
                       " [OPTION]... COMMAND [ARGUMENT]...\n"
                       "Command-line companion of Kestrelview Manager: the same data directory "
                       "and the same bytes on the wire.\n"
                       "\n"
                       "Options, before the command:\n"
                       "  --data-dir DIR        data directory (Server.csv, Kestrelview.cnf, "
                       "env.csv); default:\n"
                       "                        $KESTRELVIEW_DATA_DIR, else "
                       "$XDG_DATA_HOME/kestrelview when\n"
                       "                        installed, else the program's own directory\n"
                       "  --raw                 write texts as their Shift_JIS bytes, not UTF-8\n"
                       "  --user NAME           Agent user name (default root)\n"
                       "  --password TEXT       Agent password (default plumtree)\n"
                       "  --port N              Agent port, 1024 to 65534 (default 4009)\n"
                       "  --timeout SECONDS     give up a request after this long without "
                       "traffic (default 60)\n"
                       "  --help                show this help; COMMAND --help shows one "
                       "command's\n"
                       "  --version             show the version\n"
                       "\n"
                       "Commands on the local files:\n";
    AppendCommands(text, false);
    text += "\nCommands that talk to Agents:\n";
    AppendCommands(text, true);
    text +=
        "\nFLEET, the options of the commands that run over many servers:\n"
        "  --jobs N              requests in flight at once, each on its own connection,\n"
        "                        1 to 256 (default 32; 1 goes one server after another)\n"
        "  --connect-timeout SECONDS\n"
        "                        give up a connection not up after this long (default 5)\n"
        "  --json                report one JSON object per server per line, then a summary\n"
        "  --yes                 upload without asking (required without a terminal)\n"
        "  --dry-run             push-all: show the differences, send nothing\n"
        "They end with one line per server in Server.csv order (address, name, result,\n"
        "seconds, reason of a failure) and a summary. Ctrl+C starts no further request,\n"
        "abandons the fetches under way and lets the uploads under way end. diff and\n"
        "push-all --dry-run exit 1 when a setting differs.\n"
        "\nFILE and DIR are relative to the working directory. Results go to standard output,\n"
        "messages to standard error. Exit status: 0 success, 1 failure, 2 usage error.\n"
        "Run discover without --to only inside a private network.\n";
    return text;
}

std::string CliCommandHelp(const CliCommand& command) {
    std::string text = "Usage: " + std::string(kProgram) + " [OPTION]... " + Synopsis(command) +
                       "\n" + std::string(command.summary) + "\n";
    if (command.usage.find("[FLEET]") != std::string_view::npos) {
        text +=
            "FLEET: --jobs N (default 32), --connect-timeout SECONDS (default 5), --json; see "
            "'" +
            std::string(kProgram) + " --help'\n";
    }
    return text;
}

}  // namespace kv::cli
