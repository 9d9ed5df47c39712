#pragma once

#include <string>
#include <vector>

#include <QList>
#include <QMainWindow>

#include "app/CommandTable.h"
#include "app/ModelObserver.h"
#include "app/UserPort.h"
#include "ui/CommandActions.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QSplitter;
class QTabWidget;
class QToolBar;

namespace kv::app {
class ManagerModel;
}

namespace kv::ui {

class ConnectionPane;
class FileViewWindow;
class LogPage;
class MailPage;
class PaneFilterBox;
class PropertyGrid;
class ServerTreeModel;
class SjisTextView;
class ServerTreeView;
class StatusBar;
class WatchGridView;

// The Manager's main window. It shows what the presentation model holds, forwards every
// user action to it and repaints on its change notices; it decides nothing itself.
class MainWindow : public QMainWindow, private app::ModelObserver {
    Q_OBJECT

public:
    static constexpr int kToolBarHeight = 26;
    static constexpr int kServerNameWidth = 145;
    static constexpr QPoint kTreePopupOffset{8, -10};

    explicit MainWindow(app::ManagerModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Ports the model reaches through DesktopPort.
    void MoveFocus(app::FocusTarget target);
    void OpenFileView(const QString& caption, std::string text);
    const QList<FileViewWindow*>& FileViews() const { return fileViews_; }

    // The tool button's and the main menu entry's action of a command (null if none).
    QAction* ButtonAction(app::CommandId id) const { return actions_.Button(id); }
    QAction* MenuAction(app::CommandId id) const { return actions_.MenuEntry(id); }
    QMenu* TreePopup() const { return treePopup_; }
    QMenu* GridPopup() const { return gridPopup_; }
    ServerTreeView* Tree() const { return tree_; }
    ServerTreeModel* TreeModel() const { return treeModel_; }
    PaneFilterBox* TreeFilter() const { return treeFilter_; }
    WatchGridView* Grid() const { return grid_; }
    MailPage* Mail() const { return mail_; }
    QTabWidget* Pages() const { return pages_; }
    SjisTextView* Log() const { return log_; }
    QComboBox* LogChoice() const { return logChoice_; }
    PropertyGrid* Network() const;
    StatusBar* Status() const { return status_; }
    QSplitter* Splitter() const { return splitter_; }
    QLineEdit* ServerName() const { return serverName_; }

    // The tree popup as a right-button press at `globalPos` opens it.
    void OpenTreePopupAt(const QPoint& globalPos);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ModelChanged(app::ChangeMask what) override;

    QToolBar* BuildToolBar(const char* name, const std::vector<app::BarItem>& items);
    QWidget* BuildLeftPane();
    QWidget* BuildRightPanel();
    void ConnectEditors();
    void CentreOnScreen();

    void RunCommand(app::CommandId id);
    // A popup entry: the cell editor's own commands go to the grid.
    void RunPopupCommand(app::CommandId id);
    void SetInputEnabled(bool enabled);
    void RefreshEnabling();
    void RefreshMail();
    void RefreshSelection();
    void RefreshLogText();
    void ScrollLogToEnd();
    void EditMailField(QWidget* field);

    app::ManagerModel& model_;
    CommandActions actions_{this};
    QList<FileViewWindow*> fileViews_;

    QToolBar* mainBar_ = nullptr;
    QToolBar* gridBar_ = nullptr;
    QLineEdit* serverName_ = nullptr;
    QSplitter* splitter_ = nullptr;
    ServerTreeView* tree_ = nullptr;
    ServerTreeModel* treeModel_ = nullptr;
    PaneFilterBox* treeFilter_ = nullptr;
    ConnectionPane* network_ = nullptr;
    QTabWidget* pages_ = nullptr;
    WatchGridView* grid_ = nullptr;
    MailPage* mail_ = nullptr;
    QComboBox* logChoice_ = nullptr;
    LogPage* logPage_ = nullptr;
    SjisTextView* log_ = nullptr;
    StatusBar* status_ = nullptr;
    QMenu* treePopup_ = nullptr;
    QMenu* gridPopup_ = nullptr;

    bool shown_ = false;
    // Set while the window itself moves a widget to the model's state, so that the
    // widget's change signal is not taken for a user action.
    bool following_ = false;
};

}  // namespace kv::ui
