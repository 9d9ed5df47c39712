#include "ui/AddServerDialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "ui/SjisText.h"
#include "ui/WindowFont.h"

namespace kv::ui {

namespace {
constexpr int kDigits = 3;
}

AddServerDialog::AddServerDialog(QWidget* parent)
    : QDialog(parent),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("FrmAddServer"));
    setWindowTitle(QStringLiteral("サーバ追加"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    QFont font = WindowFont::Window();
    font.setPixelSize(12);
    setFont(font);

    auto* frame = new QGroupBox(this);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        auto* field = new QLineEdit(frame);
        field->setObjectName(QStringLiteral("MskIP%1").arg(i + 1));
        field->setInputMask(QStringLiteral("000;_"));
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(40);
        field->installEventFilter(this);
        const int index = static_cast<int>(i);
        connect(field, &QLineEdit::textEdited, this, [this, index] { FieldEdited(index); });
        fields_[i] = field;
        if (i > 0) {
            row->addWidget(new QLabel(QStringLiteral("."), frame));
        }
        row->addWidget(field);
    }
    row->addStretch(1);
    auto* inFrame = new QVBoxLayout(frame);
    inFrame->addWidget(new QLabel(QStringLiteral("IPアドレス"), frame));
    inFrame->addLayout(row);

    ok_->setObjectName(QStringLiteral("BtnOk"));
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &AddServerDialog::BtnOkClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
}

QString AddServerDialog::Value(int i) const {
    return Field(i)->text();
}

bool AddServerDialog::Run(const TryAddress& tryAddress) {
    tryAddress_ = tryAddress;
    const bool added = exec() == QDialog::Accepted;
    tryAddress_ = nullptr;
    return added;
}

void AddServerDialog::showEvent(QShowEvent* event) {
    for (QLineEdit* field : fields_) {
        field->clear();
    }
    QDialog::showEvent(event);
    fields_[0]->setFocus(Qt::OtherFocusReason);
    fields_[0]->setCursorPosition(0);
}

void AddServerDialog::FocusAfter(int i) {
    if (i + 1 < static_cast<int>(fields_.size())) {
        QLineEdit* next = Field(i + 1);
        next->setFocus(Qt::TabFocusReason);
        next->setCursorPosition(0);
    } else {
        ok_->setFocus(Qt::TabFocusReason);
    }
}

void AddServerDialog::FieldEdited(int i) {
    if (Value(i).size() == kDigits) {
        FocusAfter(i);
    }
}

bool AddServerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->text() == QStringLiteral(".")) {
        for (std::size_t i = 0; i + 1 < fields_.size(); ++i) {
            if (watched == fields_[i]) {
                FocusAfter(static_cast<int>(i));
            }
        }
        return true;  // a "." is never entered; in the last field it does nothing
    }
    return QDialog::eventFilter(watched, event);
}

void AddServerDialog::BtnOkClick() {
    QStringList parts;
    for (int i = 0; i < static_cast<int>(fields_.size()); ++i) {
        parts.append(Value(i));
    }
    if (parts.contains(QString())) {
        QMessageBox::information(this, windowTitle(), QStringLiteral("不正なIPアドレスです。"));
        fields_[0]->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!tryAddress_) {
        return;
    }
    app::AddAttempt attempt;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        setEnabled(false);
        const auto restore = qScopeGuard([this] {
            setEnabled(true);
            QApplication::restoreOverrideCursor();
        });
        attempt = tryAddress_(parts.join(QLatin1Char('.')).toStdString());
    }
    // Said only now, with the dialog enabled and the hourglass gone.
    if (attempt.Added) {
        accept();
    } else if (!attempt.Message.empty()) {
        QMessageBox::information(this, windowTitle(), FromSjisLines(attempt.Message));
    }
}

}  // namespace kv::ui
