#include "ui/LogPage.h"

#include <functional>

#include <QComboBox>
#include <QVBoxLayout>

#include "app/ManagerModel.h"
#include "ui/FindBar.h"
#include "ui/SjisText.h"
#include "ui/SjisTextView.h"

namespace kv::ui {

LogPage::LogPage(QWidget* parent)
    : QWidget(parent),
      choice_(new QComboBox(this)),
      view_(new SjisTextView(this)),
      find_(new FindBar(view_, this)) {
    setObjectName(QStringLiteral("TabLog"));
    choice_->setObjectName(QStringLiteral("ValLogIndex"));
    choice_->setEditable(false);
    for (const std::string& choice : app::ManagerModel::LogChoices()) {
        choice_->addItem(FromSjis(choice));
    }
    choice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    view_->setObjectName(QStringLiteral("MemLog"));
    view_->setAccessibleName(QStringLiteral("ログファイル"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(choice_, 0, Qt::AlignLeft);
    layout->addWidget(view_, 1);
    layout->addWidget(find_);
}

void LogPage::ShowLog(std::string_view text) {
    // The model may have rebuilt the same text in the same buffer; only its bytes tell.
    const std::uint64_t hash = std::hash<std::string_view>()(text);
    const std::string_view shown = view_->Text();
    if (text.data() == shown.data() && text.size() == shown.size() && hash == shownHash_) {
        return;
    }
    shownHash_ = hash;
    view_->ShowText(text);
}

}  // namespace kv::ui
