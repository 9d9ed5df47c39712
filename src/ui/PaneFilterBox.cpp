#include "ui/PaneFilterBox.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include "app/ManagerModel.h"
#include "ui/ServerTreeModel.h"
#include "ui/ServerTreeView.h"
#include "ui/SjisText.h"

namespace kv::ui {

namespace {

// A slice stays well under a frame, so typing and painting go on while a search runs.
constexpr qint64 kSliceMs = 8;
constexpr std::size_t kNodesPerCheck = 4096;

}  // namespace

PaneFilterBox::PaneFilterBox(app::ManagerModel& model, ServerTreeView& view,
                             ServerTreeModel& treeModel, QWidget* parent)
    : QWidget(parent),
      model_(model),
      view_(view),
      treeModel_(treeModel),
      edit_(new QLineEdit(this)),
      count_(new QLabel(this)) {
    setObjectName(QStringLiteral("PnlTreeFilter"));
    edit_->setObjectName(QStringLiteral("EdtTreeFilter"));
    edit_->setPlaceholderText(QStringLiteral("名前またはパスで検索 (Ctrl+L)"));
    edit_->setClearButtonEnabled(true);
    edit_->installEventFilter(this);
    count_->setObjectName(QStringLiteral("LblTreeFilterCount"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_, 1);
    layout->addWidget(count_);

    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &PaneFilterBox::Focus);
    }
    slice_.setSingleShot(true);
    slice_.setInterval(0);
    connect(&slice_, &QTimer::timeout, this, &PaneFilterBox::RunSlice);
    connect(edit_, &QLineEdit::textChanged, this, &PaneFilterBox::TextChanged);
    // A search walks the tree as it was: any change of it means starting again.
    connect(&treeModel_, &ServerTreeModel::TreeChanged, this, [this] {
        if (!pattern_.empty()) {
            StartSearch();
        }
    });
}

PaneFilterBox::~PaneFilterBox() = default;

void PaneFilterBox::Focus() {
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

bool PaneFilterBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            SelectNextMatch();
            return true;
        }
        if (key == Qt::Key_Escape) {
            if (edit_->text().isEmpty()) {
                view_.setFocus(Qt::OtherFocusReason);
            } else {
                edit_->clear();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PaneFilterBox::SelectNextMatch() {
    const agent::PaneFilter* filter = treeModel_.Filter();
    if (!filter || search_) {
        return;
    }
    const QModelIndex next =
        treeModel_.IndexOf(filter->NextMatch(model_.Pane(), model_.SelectedNode()));
    if (next.isValid()) {
        view_.setCurrentIndex(next);
        view_.scrollTo(next);
    }
}

void PaneFilterBox::TextChanged(const QString& text) {
    const std::optional<std::string> sjis = ToSjis(text);
    // A character Shift_JIS lacks is in no name, and neither is a line feed.
    pattern_ = sjis ? *sjis : std::string("\n");
    if (pattern_.empty()) {
        ShowAll();
        return;
    }
    if (!filtered_ && !search_) {
        expanded_ = view_.ExpandedNodes();
    }
    StartSearch();
}

void PaneFilterBox::StartSearch() {
    search_ = std::make_unique<agent::PaneSearch>(model_.Pane(), pattern_, model_.SelectedNode());
    count_->setText(QStringLiteral("検索中…"));
    slice_.start();
}

void PaneFilterBox::RunSlice() {
    if (!search_) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (!search_->Step(kNodesPerCheck)) {
        if (clock.elapsed() >= kSliceMs) {
            slice_.start();
            return;
        }
    }
    std::unique_ptr<agent::PaneFilter> filter = search_->Take();
    search_.reset();
    Show(std::move(filter));
}

void PaneFilterBox::Show(std::unique_ptr<agent::PaneFilter> filter) {
    const std::size_t matches = filter->Matches().size();
    filtered_ = true;
    treeModel_.SetFilter(std::move(filter));
    view_.expandAll();
    count_->setText(QStringLiteral("%1 件").arg(matches));
    emit FilterShown();
}

void PaneFilterBox::ShowAll() {
    search_.reset();
    slice_.stop();
    count_->clear();
    if (!filtered_) {
        return;
    }
    filtered_ = false;
    treeModel_.SetFilter(nullptr);
    view_.ExpandNodes(expanded_);
    expanded_.clear();
    // The selection may lie below a node that was collapsed: show it.
    const QModelIndex current = treeModel_.IndexOf(model_.SelectedNode());
    if (current.isValid()) {
        view_.scrollTo(current);
    }
}

}  // namespace kv::ui
