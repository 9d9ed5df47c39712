#pragma once

#include <array>
#include <functional>
#include <string>

#include <QDialog>

#include "app/UserPort.h"

class QLineEdit;
class QPushButton;

namespace kv::ui {

// The add-server dialog: four address fields of up to three digits each. OK composes the
// address exactly as typed and hands it to a test that fetches the server; the dialog closes
// with OK only when the test added the server.
class AddServerDialog : public QDialog {
    Q_OBJECT

public:
    using TryAddress = app::TryAddress;
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 162;

    explicit AddServerDialog(QWidget* parent = nullptr);

    // Empties the fields, shows the dialog modally and runs `tryAddress` on every OK whose
    // fields are all filled. True when it closed with OK.
    bool Run(const TryAddress& tryAddress);

    QLineEdit* Field(int i) const { return fields_.at(static_cast<std::size_t>(i)); }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // The field's digits, blanks dropped.
    QString Value(int i) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BtnOkClick();
    void FieldEdited(int i);
    void FocusAfter(int i);

    std::array<QLineEdit*, 4> fields_{};
    QPushButton* ok_;
    QPushButton* cancel_;
    TryAddress tryAddress_;
};

}  // namespace kv::ui
