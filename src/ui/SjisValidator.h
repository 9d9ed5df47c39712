#pragma once

#include <QValidator>

class QLineEdit;

namespace kv::ui {

// Refuses, as it is typed or pasted, any text that Shift_JIS cannot hold.
class SjisValidator : public QValidator {
    Q_OBJECT

public:
    explicit SjisValidator(QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;

    // Puts a validator on `edit` that also tells the user why an input was refused.
    static void Guard(QLineEdit* edit);
};

}  // namespace kv::ui
