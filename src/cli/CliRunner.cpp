#include "cli/CliRunner.h"

#include <chrono>
#include <exception>
#include <memory>

#include "agent/ConnectionSettings.h"
#include "cli/CliCommands.h"
#include "cli/CommandLine.h"
#include "cli/OutputClosed.h"
#include "cli/Terminal.h"
#include "cli/UsageError.h"
#include "settings/BuildInfo.h"
#include "settings/DataDirectory.h"

namespace kv::cli {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

int UsageFailure(std::ostream& err, const std::string& text, const CliCommand* command) {
    err << "kestrelviewctl: " << text << "\n";
    if (command != nullptr) {
        err << CliCommandHelp(*command);
    } else {
        err << "Try 'kestrelviewctl --help'.\n";
    }
    return kUsage;
}

// The options' texts as the Agent gets them; false (and the message told) for a port the
// Manager would refuse.
bool ApplyConnection(const GlobalOptions& options, const Terminal& terminal,
                     agent::ConnectionSettings& connection) {
    connection.SetUser(terminal.FromArgument(options.user, "--user"));
    connection.SetPassword(terminal.FromArgument(options.password, "--password"));
    return connection.SetPort(options.port) != agent::ConnectionSettings::PortResult::Refused;
}

}  // namespace

int RunCli(const CliEnvironment& environment, std::istream& in, std::ostream& out,
           std::ostream& err) {
    CommandLine line;
    const CliCommand* command = nullptr;
    try {
        line = ParseCommandLine(environment.arguments);
        if (line.options.help) {
            out << CliHelpText();
            return kSuccess;
        }
        if (line.options.version) {
            out << "kestrelviewctl " << settings::kVersion << "\n";
            return kSuccess;
        }
        if (line.command.empty()) {
            throw UsageError("no command given");
        }
        command = FindCliCommand(line.command);
        if (command == nullptr) {
            throw UsageError("unknown command '" + line.command + "'");
        }
    } catch (const UsageError& error) {
        return UsageFailure(err, error.what(), command);
    }

    Terminal terminal(out, err, line.options.raw);
    try {
        const CommandArguments arguments(line.arguments, command->syntax);
        if (arguments.Help()) {
            out << CliCommandHelp(*command);
            return kSuccess;
        }
        agent::ConnectionSettings connection;
        if (!ApplyConnection(line.options, terminal, connection)) {
            terminal.Message(agent::ConnectionSettings::PortRangeMessage());
            return kUsage;
        }
        std::vector<std::string> dataDirOption;
        if (line.options.dataDir) {
            dataDirOption = {"--data-dir", *line.options.dataDir};
        }
        CliContext context{
            terminal,
            in,
            settings::ResolveDataDirectory(dataDirOption, environment.dataDirVariable,
                                           environment.executablePath),
            nullptr,
            connection,
            std::chrono::seconds(line.options.timeoutSeconds)};
        if (command->needsNetwork) {
            context.session = std::make_unique<AgentSession>(
                connection, std::chrono::seconds(line.options.timeoutSeconds));
        }
        const int status = command->handler(context, arguments);
        out.flush();
        return status;
    } catch (const UsageError& error) {
        out.flush();
        return UsageFailure(err, error.what(), command);
    } catch (const OutputClosed&) {
        // The reader went away, maybe seen by a printing thread whose errno main never sees:
        // no failure, and the stream's failed state must not make one at exit.
        out.clear();
        return kSuccess;
    } catch (const std::exception& error) {
        terminal.Note(std::string("kestrelviewctl: ") + error.what());
        return kFailure;
    }
}

}  // namespace kv::cli
