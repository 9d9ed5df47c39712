#include "ui/FileViewWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/WindowFont.h"

namespace kv::ui {

FileViewWindow::FileViewWindow(const QString& caption, const QString& text, QWidget* owner)
    : QWidget(owner, Qt::Window), view_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("FrmFileView"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    resize(kWidth, kHeight);
    view_->setObjectName(QStringLiteral("MemFileView"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view_->setFont(WindowFont::Text());
    view_->setPlainText(text);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
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
