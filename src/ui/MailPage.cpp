#include "ui/MailPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "ui/SjisPlainTextEdit.h"
#include "ui/SjisValidator.h"

namespace kv::ui {

namespace {

QLineEdit* Field(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    SjisValidator::Guard(edit);
    return edit;
}

}  // namespace

const QStringList& MailPage::Placeholders() {
    static const QStringList names{
        QStringLiteral("\\ServerName\\"), QStringLiteral("\\IPAddress\\"),
        QStringLiteral("\\WatchFile\\"),  QStringLiteral("\\WatchString\\"),
        QStringLiteral("\\WatchNum\\"),   QStringLiteral("\\ResultLine\\"),
    };
    return names;
}

MailPage::MailPage(QWidget* parent)
    : QWidget(parent),
      subject_(Field("EdtSubject", this)),
      body_(new SjisPlainTextEdit(this)),
      smtpServer_(Field("SMTPServer", this)),
      fromAddress_(Field("FromMailAddress", this)) {
    setObjectName(QStringLiteral("TabMessage"));
    body_->setObjectName(QStringLiteral("MemBody"));
    body_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A TAB cannot be carried by the setting text; the key moves the focus instead.
    body_->setTabChangesFocus(true);

    auto* legend = new QHBoxLayout;
    legend->setSpacing(12);
    for (const QString& name : Placeholders()) {
        auto* label = new QLabel(name, this);
        label->setObjectName(QStringLiteral("Legend"));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        legend->addWidget(label);
    }
    legend->addStretch(1);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setVerticalSpacing(6);
    int row = 0;
    const auto addRow = [&](const QString& caption, QWidget* field, Qt::Alignment align) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        layout->addWidget(label, row, 0, align);
        layout->addWidget(field, row, 1);
        ++row;
    };
    addRow(QStringLiteral("件名（Subject)"), subject_, Qt::AlignVCenter);
    addRow(QStringLiteral("本文（Body)"), body_, Qt::AlignTop);
    layout->addLayout(legend, row++, 0, 1, 2);
    addRow(QStringLiteral("SMTPサーバ"), smtpServer_, Qt::AlignVCenter);
    addRow(QStringLiteral("送信元メールアドレス"), fromAddress_, Qt::AlignVCenter);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
}

}  // namespace kv::ui
