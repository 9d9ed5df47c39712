#include "ui/VersionWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include "settings/BuildInfo.h"
#include "ui/JpegImage.h"

namespace kv::ui {

VersionWindow::VersionWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), image1_(new QLabel(this)) {
    setObjectName(QStringLiteral("FrmVersion"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(0, 0, kWidth, kHeight);
    QFile file(QStringLiteral(":/version.jpg"));
    if (file.open(QIODevice::ReadOnly)) {
        image1_->setPixmap(QPixmap::fromImage(JpegImage::Decode(file.readAll())));
    }
    image1_->setToolTip(
        QStringLiteral("Kestrelview Manager %1").arg(QLatin1String(settings::kVersion)));
    image1_->installEventFilter(this);
}

int VersionWindow::exec() {
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen) {
        QRect area(QPoint(0, 0), size());
        area.moveCenter(screen->geometry().center());
        move(area.topLeft());
    }
    return QDialog::exec();
}

bool VersionWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == image1_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// The window has no close button; Esc does not close it either.
void VersionWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kv::ui
