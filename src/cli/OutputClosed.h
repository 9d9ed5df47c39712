#pragma once

namespace kv::cli {

// Standard output's reader went away (| head): the command ends quietly with status 0, as
// `cat` does.
struct OutputClosed {};

}  // namespace kv::cli
