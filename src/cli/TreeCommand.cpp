#include "cli/TreeCommand.h"

#include <optional>
#include <string>

#include "agent/SubtreeBuilder.h"
#include "agent/TreeList.h"
#include "cli/DataFiles.h"
#include "cli/TreeLines.h"
#include "cli/UsageError.h"
#include "settings/FetchAndSave.h"

namespace kv::cli {

int RunTree(CliContext& context, const CommandArguments& arguments) {
    const std::optional<std::string> input = arguments.Value("--input");
    if (input.has_value() == (arguments.Count() == 1)) {
        throw UsageError("tree needs either ADDRESS or --input FILE");
    }
    std::string reply;
    std::string server;
    if (input) {
        reply = ReadArgumentFile(*input);
    } else {
        server = context.terminal.FromArgument(arguments.Positional(0), "ADDRESS");
        if (!context.Session().Requests().FetchTree(server, reply)) {
            context.terminal.Message(settings::FetchAndSave::CommunicationFailedMessage());
            return 1;
        }
    }

    agent::NodeTree tree;
    const agent::NodeTree::Id serverNode =
        tree.Append(agent::NodeTree::kNone, server, agent::Picture::ServerNotLoaded,
                    agent::Picture::ServerNotLoaded);
    agent::TreeProgress progress;
    agent::NodeTree::Id root = agent::NodeTree::kNone;
    try {
        root = agent::BuildServerSubtree(tree, serverNode, reply, progress);
    } catch (const agent::ETreeViewError& error) {
        context.terminal.Note("bad tree reply: line " + std::to_string(error.LineNumber()) +
                              " is indented to level " + std::to_string(error.Level()) +
                              ", more than one level below the line before it");
        context.terminal.Message(error.what());
        return 1;
    }
    WriteTreeLines(tree, root, [&](std::string_view piece) { context.terminal.Print(piece); });
    return 0;
}

}  // namespace kv::cli
