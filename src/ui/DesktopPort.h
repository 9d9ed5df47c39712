#pragma once

#include <QString>

#include "app/UserPort.h"

class QWidget;

namespace kv::ui {

class AddServerDialog;
class MainWindow;
class VersionWindow;

// The presentation model's way to the user, with Qt: message boxes, file dialogs, the
// cursor, the browser, the version window, the add-server dialog and the file views.
class DesktopPort : public app::UserPort {
public:
    DesktopPort();
    ~DesktopPort() override;
    DesktopPort(const DesktopPort&) = delete;
    DesktopPort& operator=(const DesktopPort&) = delete;

    // The main window owns the dialogs and takes the focus moves and the file views.
    void Attach(MainWindow* window);
    VersionWindow* Version() const { return version_; }
    AddServerDialog* AddServer() const { return addServer_; }

    bool ConfirmOkCancel(std::string_view text) override;
    app::YesNoCancel AskYesNoCancel(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    void ReportError(std::string_view text) override;
    std::optional<std::string> ChooseOpenFile(const app::FileDialogOptions& options) override;
    std::optional<std::string> ChooseSaveFile(const app::FileDialogOptions& options) override;
    void SetBusyCursor(bool busy) override;
    void MoveFocus(app::FocusTarget target) override;
    void CloseMainWindow() override;
    void OpenWebPage(std::string_view url) override;
    void ShowVersionWindow() override;
    bool ShowAddServerDialog(const app::TryAddress& tryAddress) override;
    void OpenFileView(std::string_view caption, std::string text) override;

    // "*.csv|*.csv" filters as Qt name filters ("*.*" matches every name).
    static QStringList NameFilters(const app::FileDialogOptions& options);

private:
    std::optional<std::string> ChooseFile(const app::FileDialogOptions& options, bool save);
    QWidget* Owner() const;

    MainWindow* window_ = nullptr;
    VersionWindow* version_ = nullptr;
    AddServerDialog* addServer_ = nullptr;
    int busy_ = 0;
};

}  // namespace kv::ui
