#include "ui/FileViewWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/FindBar.h"
#include "ui/SjisTextView.h"

namespace kv::ui {

FileViewWindow::FileViewWindow(const QString& caption, std::string text, QWidget* owner)
    : QWidget(owner, Qt::Window), view_(new SjisTextView(this)), find_(nullptr) {
    setObjectName(QStringLiteral("FrmFileView"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    resize(kWidth, kHeight);
    view_->setObjectName(QStringLiteral("MemFileView"));
    view_->setAccessibleName(caption);
    view_->SetText(std::move(text));
    find_ = new FindBar(view_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_, 1);
    layout->addWidget(find_);
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        QRect area(QPoint(0, 0), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }
}

void FileViewWindow::closeEvent(QCloseEvent* event) {
    emit Closing(this);
    QWidget::closeEvent(event);
}

}  // namespace kv::ui
