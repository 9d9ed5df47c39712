#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace kv::cli {

// Where the command line meets the terminal. The system's texts are Shift_JIS (CP932): they
// go out as UTF-8, invalid bytes as U+FFFD, unless raw output was asked for, which writes
// their exact bytes. Texts typed on the command line come in the same way.
class Terminal {
public:
    Terminal(std::ostream& out, std::ostream& err, bool raw);

    // A Shift_JIS text to standard output.
    void Print(std::string_view sjis);
    // Bytes to standard output, never converted. Both throw cli::OutputClosed once the
    // reader of standard output has gone away.
    void Write(std::string_view bytes);
    bool Raw() const { return raw_; }
    // A Shift_JIS message of the system to standard error, followed by a line end.
    void Message(std::string_view sjis);
    // A message in the terminal's own encoding (the program's notes, file names, system
    // errors) to standard error, followed by a line end.
    void Note(std::string_view text);

    // A text from the command line as Shift_JIS. Throws UsageError naming `what` when it
    // holds a character Shift_JIS cannot carry.
    std::string FromArgument(std::string_view text, std::string_view what) const;

private:
    std::ostream& out_;
    std::ostream& err_;
    bool raw_;
    std::string utf8_;  // the conversion's room, kept for the next piece
};

}  // namespace kv::cli
