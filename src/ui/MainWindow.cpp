#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ManagerModel.h"
#include "ui/BusyAnimation.h"
#include "ui/ConnectionPane.h"
#include "ui/FileViewWindow.h"
#include "ui/LogPage.h"
#include "ui/MailPage.h"
#include "ui/PaneFilterBox.h"
#include "ui/PropertyGrid.h"
#include "ui/ServerTreeModel.h"
#include "ui/ServerTreeView.h"
#include "ui/SjisPlainTextEdit.h"
#include "ui/SjisText.h"
#include "ui/SjisTextView.h"
#include "ui/StatusBar.h"
#include "ui/WatchGridView.h"
#include "ui/WindowFont.h"

namespace kv::ui {

namespace {

bool IsCellCommand(app::CommandId id) {
    return id == app::CommandId::CellCut || id == app::CommandId::CellCopy ||
           id == app::CommandId::CellPaste || id == app::CommandId::CellDelete;
}

// Editing on: the system's window colour; off: its button face.
void SetEditingColours(QWidget* widget, bool editing) {
    QPalette colours = widget->palette();
    const QPalette system;
    const QColor base = system.color(QPalette::Active, editing ? QPalette::Base : QPalette::Button);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, base);
    }
    widget->setPalette(colours);
}

void SetTextKeepingCaret(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
}

}  // namespace

MainWindow::MainWindow(app::ManagerModel& model, QWidget* parent)
    : QMainWindow(parent), model_(model) {
    setObjectName(QStringLiteral("FrmKestrelview"));
    setWindowTitle(FromSjis(app::ManagerModel::ApplicationTitle()));
    setWindowIcon(QIcon(QStringLiteral(":/kestrelview.png")));
    resize(app::StatusLayout::kWindowWidth, app::StatusLayout::kWindowHeight);

    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    actions_.BuildMenus(menuBar(), [this](app::CommandId id) { RunCommand(id); });
    mainBar_ = BuildToolBar("ToolBar1", app::MainToolBarLayout());
    addToolBar(Qt::TopToolBarArea, mainBar_);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setHandleWidth(app::StatusLayout::kSplitterWidth);
    splitter_->setChildrenCollapsible(false);
    splitter_->setOpaqueResize(true);
    splitter_->addWidget(BuildLeftPane());
    splitter_->addWidget(BuildRightPanel());
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({app::StatusLayout::kLeftPaneWidth,
                         app::StatusLayout::kWindowWidth - app::StatusLayout::kLeftPaneWidth});
    setCentralWidget(splitter_);
    connect(splitter_, &QSplitter::splitterMoved, this,
            [this] { model_.MoveSplitter(tree_->width()); });

    status_ = new StatusBar(this);
    setStatusBar(status_);

    const CommandActions::Run runPopup = [this](app::CommandId id) { RunPopupCommand(id); };
    treePopup_ = actions_.BuildPopup("PopTreeMenu", app::TreePopupLayout(), runPopup);
    gridPopup_ = actions_.BuildPopup("PopGridMenu", app::GridPopupLayout(), runPopup);
    ConnectEditors();

    model_.AddObserver(this);
    ModelChanged(~app::ChangeMask{0} & ~static_cast<app::ChangeMask>(app::Change::LogScrollToEnd) &
                 ~static_cast<app::ChangeMask>(app::Change::LogActivated));
    CentreOnScreen();
}

MainWindow::~MainWindow() {
    model_.RemoveObserver(this);
}

// ---- Building ------------------------------------------------------------------------

QToolBar* MainWindow::BuildToolBar(const char* name, const std::vector<app::BarItem>& items) {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFixedHeight(kToolBarHeight);
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->toggleViewAction()->setVisible(false);
    // Taking the focus here is how a command commits a cell edit in progress.
    bar->setFocusPolicy(Qt::ClickFocus);
    if (&items == &app::MainToolBarLayout()) {
        serverName_ = new QLineEdit(bar);
        serverName_->setObjectName(QStringLiteral("EdtServerName"));
        serverName_->setReadOnly(true);
        serverName_->setFixedWidth(kServerNameWidth);
        serverName_->setFocusPolicy(Qt::ClickFocus);
        bar->addWidget(serverName_);
        bar->addSeparator();
    }
    actions_.AddButtons(bar, items, [this](app::CommandId id) { RunCommand(id); });
    return bar;
}

QWidget* MainWindow::BuildLeftPane() {
    auto* pane = new QWidget(this);
    pane->setObjectName(QStringLiteral("PnlServer"));
    pane->setMinimumWidth(app::StatusLayout::kMinTreeWidth);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    tree_ = new ServerTreeView(pane);
    treeModel_ = new ServerTreeModel(
        model_.Pane(),
        [this](agent::NodeTree::Observer* observer) { model_.ObservePane(observer); }, this);
    tree_->setModel(treeModel_);
    treeFilter_ = new PaneFilterBox(model_, *tree_, *treeModel_, pane);
    layout->addWidget(treeFilter_);
    layout->addWidget(tree_, 1);

    network_ = new ConnectionPane(model_, pane);
    layout->addWidget(network_);
    return pane;
}

QWidget* MainWindow::BuildRightPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PnlWatch"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    gridBar_ = BuildToolBar("TolGrd", app::GridToolBarLayout());
    layout->addWidget(gridBar_);

    pages_ = new QTabWidget(panel);
    pages_->setObjectName(QStringLiteral("PagWatch"));
    grid_ = new WatchGridView(model_, pages_);
    auto* watchPage = new QWidget(pages_);
    watchPage->setObjectName(QStringLiteral("TabWatch"));
    auto* watchLayout = new QVBoxLayout(watchPage);
    watchLayout->setContentsMargins(0, 0, 0, 0);
    watchLayout->addWidget(grid_);
    pages_->addTab(watchPage, QStringLiteral("ファイル監視設定"));

    mail_ = new MailPage(pages_);
    pages_->addTab(mail_, QStringLiteral("メールメッセージ設定"));

    logPage_ = new LogPage(pages_);
    logChoice_ = logPage_->Choice();
    log_ = logPage_->View();
    pages_->addTab(logPage_, QStringLiteral("ログファイル"));

    layout->addWidget(pages_, 1);
    return panel;
}

void MainWindow::ConnectEditors() {
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!following_ && !treeModel_->Removing()) {
                    model_.SelectNode(ServerTreeModel::NodeOf(current));
                }
            });
    // The presentation model picks the node to show after a removal; the view follows it.
    connect(treeModel_, &QAbstractItemModel::rowsRemoved, this, &MainWindow::RefreshSelection);
    connect(treeModel_, &QAbstractItemModel::modelReset, this, &MainWindow::RefreshSelection);
    connect(tree_, &QAbstractItemView::doubleClicked, this, [this] { model_.DoubleClickNode(); });
    connect(tree_, &ServerTreeView::RightButtonPressed, this, &MainWindow::OpenTreePopupAt);
    connect(grid_, &WatchGridView::ContextMenuRequested, this,
            [this](const QPoint& at) { gridPopup_->popup(at); });

    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
        if (!following_ && page >= 0) {
            model_.ChangePage(static_cast<app::ManagerModel::Page>(page));
        }
    });
    connect(logChoice_, &QComboBox::activated, this,
            [this](int index) { model_.ChooseLogDay(static_cast<std::size_t>(index)); });

    for (QLineEdit* field : {mail_->Subject(), mail_->SmtpServer(), mail_->FromAddress()}) {
        connect(field, &QLineEdit::textEdited, this, [this, field] { EditMailField(field); });
    }
    connect(mail_->Body(), &QPlainTextEdit::textChanged, this, [this] {
        if (!following_) {
            EditMailField(mail_->Body());
        }
    });
}

void MainWindow::CentreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(0, 0), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }
}

PropertyGrid* MainWindow::Network() const {
    return network_;
}

// ---- User actions --------------------------------------------------------------------

void MainWindow::RunCommand(app::CommandId id) {
    model_.Execute(id);
}

void MainWindow::RunPopupCommand(app::CommandId id) {
    if (IsCellCommand(id)) {
        grid_->RunCellCommand(id);
    } else {
        RunCommand(id);
    }
}

void MainWindow::OpenTreePopupAt(const QPoint& globalPos) {
    model_.OpenTreePopup();
    RefreshEnabling();
    treePopup_->popup(globalPos + kTreePopupOffset);
}

void MainWindow::EditMailField(QWidget* field) {
    bool stored = false;
    if (field == mail_->Body()) {
        const std::string text = ToSjis(mail_->Body()->toPlainText()).value_or(std::string());
        stored = model_.EditBody(text);
    } else {
        const auto* edit = static_cast<QLineEdit*>(field);
        const std::string text = ToSjis(edit->text()).value_or(std::string());
        if (edit == mail_->Subject()) {
            stored = model_.EditSubject(text);
        } else if (edit == mail_->SmtpServer()) {
            stored = model_.EditSmtpServer(text);
        } else {
            stored = model_.EditFromAddress(text);
        }
    }
    if (!stored) {
        RefreshMail();
    }
}

void MainWindow::MoveFocus(app::FocusTarget target) {
    switch (target) {
        case app::FocusTarget::GridToolBar:
            grid_->CommitEdit();
            gridBar_->setFocus(Qt::OtherFocusReason);
            break;
        case app::FocusTarget::Grid:
            grid_->FocusEditor();
            break;
        case app::FocusTarget::Pane:
            tree_->setFocus(Qt::OtherFocusReason);
            break;
        case app::FocusTarget::Log:
            log_->setFocus(Qt::OtherFocusReason);
            break;
    }
}

void MainWindow::OpenFileView(const QString& caption, std::string text) {
    auto* view = new FileViewWindow(caption, std::move(text), this);
    connect(view, &FileViewWindow::Closing, this,
            [this](FileViewWindow* closing) { fileViews_.removeOne(closing); });
    fileViews_.append(view);
    view->show();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        model_.FormShow();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!model_.MainWindowEnabled() || !model_.FormCloseQuery()) {
        event->ignore();
        return;
    }
    // Viewers go with the window, in the order they were opened.
    const QList<FileViewWindow*> views = fileViews_;
    for (FileViewWindow* view : views) {
        view->close();
    }
    event->accept();
}

// ---- Following the model -------------------------------------------------------------

void MainWindow::ModelChanged(app::ChangeMask what) {
    following_ = true;
    if (app::Has(what, app::Change::Selection)) {
        RefreshSelection();
    }
    if (app::Has(what, app::Change::Grid)) {
        grid_->RefreshCells();
    }
    if (app::Has(what, app::Change::CurrentCell)) {
        grid_->RefreshCurrentCell();
    }
    if (app::Has(what, app::Change::Mail)) {
        RefreshMail();
    }
    if (app::Has(what, app::Change::ServerName)) {
        SetTextKeepingCaret(serverName_, FromSjis(model_.ServerNameText()));
    }
    if (app::Has(what, app::Change::Status)) {
        status_->SetText(FromSjis(model_.StatusText()));
    }
    if (app::Has(what, app::Change::Progress)) {
        status_->Progress()->setValue(model_.ProgressPosition());
    }
    if (app::Has(what, app::Change::Animation)) {
        status_->Animation()->SetActive(model_.AnimationRunning());
    }
    if (app::Has(what, app::Change::Enabling)) {
        RefreshEnabling();
    }
    if (app::Has(what, app::Change::LogTab)) {
        pages_->setTabVisible(static_cast<int>(app::ManagerModel::Page::Log),
                              model_.LogTabVisible());
    }
    if (app::Has(what, app::Change::ActivePage) || app::Has(what, app::Change::LogTab)) {
        pages_->setCurrentIndex(static_cast<int>(model_.ActivePage()));
    }
    if (app::Has(what, app::Change::LogText)) {
        RefreshLogText();
    }
    if (app::Has(what, app::Change::LogIndex)) {
        logChoice_->setCurrentIndex(static_cast<int>(model_.LogIndex()));
    }
    if (app::Has(what, app::Change::Connection)) {
        network_->Refresh();
    }
    if (app::Has(what, app::Change::Layout)) {
        const app::StatusLayout& layout = model_.Layout();
        status_->SetGeometryFor(layout.ProgressBarWidth(), layout.StatusPanel0Width(),
                                layout.AnimationLeft());
    }
    if (app::Has(what, app::Change::WindowEnabled)) {
        SetInputEnabled(model_.MainWindowEnabled());
    }
    if (app::Has(what, app::Change::LogScrollToEnd)) {
        ScrollLogToEnd();
    }
    if (app::Has(what, app::Change::LogActivated) && log_->CaretPosition() == 0) {
        ScrollLogToEnd();
        log_->setFocus(Qt::OtherFocusReason);
    }
    following_ = false;
}

void MainWindow::RefreshEnabling() {
    actions_.RefreshEnabling(model_);
    pages_->setEnabled(model_.IsEnabled(app::Control::PagWatch));
    logChoice_->setEnabled(model_.IsEnabled(app::Control::ValLogIndex));
    const bool editing = model_.WatchEditing();
    grid_->SetEditingColours(editing);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             mail_->Subject(), mail_->Body(), mail_->SmtpServer(), mail_->FromAddress(), log_}) {
        SetEditingColours(widget, editing);
    }
}

void MainWindow::RefreshMail() {
    const settings::MailSetting& mail = model_.Mail();
    const bool wasFollowing = following_;
    following_ = true;
    SetTextKeepingCaret(mail_->Subject(), FromSjis(mail.MailSubject));
    SetTextKeepingCaret(mail_->SmtpServer(), FromSjis(mail.SMTPServer));
    SetTextKeepingCaret(mail_->FromAddress(), FromSjis(mail.FromMailAddress));
    const QString body = FromSjisLines(mail.MailBody);
    if (mail_->Body()->toPlainText() != body) {
        mail_->Body()->setPlainText(body);
    }
    following_ = wasFollowing;
}

void MainWindow::RefreshSelection() {
    const QModelIndex target = treeModel_->IndexOf(model_.SelectedNode());
    if (target == tree_->currentIndex()) {
        return;
    }
    const bool wasFollowing = following_;
    following_ = true;
    if (target.isValid()) {
        tree_->setCurrentIndex(target);
        tree_->scrollTo(target);
    } else {
        tree_->selectionModel()->clearCurrentIndex();
        tree_->clearSelection();
    }
    following_ = wasFollowing;
}

void MainWindow::RefreshLogText() {
    logPage_->ShowLog(model_.LogText());
}

void MainWindow::ScrollLogToEnd() {
    log_->ScrollToEnd();
}

void MainWindow::SetInputEnabled(bool enabled) {
    // Dialogs that a command opens stay usable: only the window's own controls go.
    for (QWidget* part : std::initializer_list<QWidget*>{menuBar(), mainBar_, centralWidget()}) {
        part->setEnabled(enabled);
    }
}

}  // namespace kv::ui
