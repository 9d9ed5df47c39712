#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace kv::ui {

class SjisPlainTextEdit;

// The mail message page: subject, body with the legend of its placeholders, SMTP server and
// sender address.
class MailPage : public QWidget {
    Q_OBJECT

public:
    // The placeholders a body may contain; the Agent expands them.
    static const QStringList& Placeholders();

    explicit MailPage(QWidget* parent = nullptr);

    QLineEdit* Subject() const { return subject_; }
    SjisPlainTextEdit* Body() const { return body_; }
    QLineEdit* SmtpServer() const { return smtpServer_; }
    QLineEdit* FromAddress() const { return fromAddress_; }

private:
    QLineEdit* subject_;
    SjisPlainTextEdit* body_;
    QLineEdit* smtpServer_;
    QLineEdit* fromAddress_;
};

}  // namespace kv::ui
