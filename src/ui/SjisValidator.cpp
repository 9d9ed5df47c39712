#include "ui/SjisValidator.h"

#include <QLineEdit>

#include "ui/SjisText.h"

namespace kv::ui {

SjisValidator::SjisValidator(QObject* parent) : QValidator(parent) {}

QValidator::State SjisValidator::validate(QString& input, int&) const {
    return FitsSjis(input) ? Acceptable : Invalid;
}

void SjisValidator::Guard(QLineEdit* edit) {
    edit->setValidator(new SjisValidator(edit));
    QObject::connect(edit, &QLineEdit::inputRejected, edit, [edit] { ShowSjisRefusal(edit); });
}

}  // namespace kv::ui
