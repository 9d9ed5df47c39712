#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::app {

enum class YesNoCancel { Yes, No, Cancel };

// Where the window moves the keyboard focus when the model asks. Moving it to the grid
// tool bar commits a cell edit in progress, which is how commands read a finished grid.
enum class FocusTarget { GridToolBar, Grid, Pane, Log };

// One filter line of a file dialog: the text shown and its pattern.
struct FileFilter {
    std::string Label;
    std::string Pattern;
};

struct FileDialogOptions {
    std::string DefaultExtension;  // without the dot
    std::vector<FileFilter> Filters;
    std::size_t FilterIndex = 0;
    std::string FileName;  // proposed name (from the dialog's previous use), may be empty
};

// One OK of the add-server dialog: the server was added, or the message to show once the
// dialog is enabled again without the hourglass (empty: nothing to say).
struct AddAttempt {
    bool Added = false;
    std::string Message;
};
using TryAddress = std::function<AddAttempt(const std::string&)>;

// Everything the model needs from the user and the desktop. The window implements it with
// Qt; tests implement it with scripted answers. Texts are Shift_JIS; file names are the
// system's own path bytes.
class UserPort {
public:
    virtual ~UserPort() = default;

    // Confirmation box with OK and Cancel; true only for OK.
    virtual bool ConfirmOkCancel(std::string_view text) = 0;
    // Box with Yes, No and Cancel; dismissing it counts as Cancel.
    virtual YesNoCancel AskYesNoCancel(std::string_view text) = 0;
    // Plain message box.
    virtual void ShowMessage(std::string_view text) = 0;
    // The application's error report: a message box with a failure's own text.
    virtual void ReportError(std::string_view text) = 0;

    // File dialogs: the chosen path, or nullopt when the user cancelled.
    virtual std::optional<std::string> ChooseOpenFile(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileDialogOptions& options) = 0;

    // Hourglass cursor for the whole application while on.
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void MoveFocus(FocusTarget target) = 0;

    // Asks the main window to close; the window then runs the close question as for its
    // own close box.
    virtual void CloseMainWindow() = 0;

    // Opens a page in the system's browser; the outcome is not examined.
    virtual void OpenWebPage(std::string_view url) = 0;
    // Shows the version window modally and returns when it has closed.
    virtual void ShowVersionWindow() = 0;

    // Shows the add-server dialog modally. The dialog validates its four fields itself,
    // then calls `tryAddress` with the composed address; an attempt that added the server
    // closes the dialog with OK; otherwise it shows the attempt's message and stays
    // open with its fields. Returns true when it closed with OK.
    virtual bool ShowAddServerDialog(const TryAddress& tryAddress) = 0;
    // Opens a modeless file view window with the given caption and prepared text, which
    // the window takes over (a large text is held once); it keeps its list of open viewers.
    virtual void OpenFileView(std::string_view caption, std::string text) = 0;
};

}  // namespace kv::app
