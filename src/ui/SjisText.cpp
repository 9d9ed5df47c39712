#include "ui/SjisText.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>

#include "text/Cp932.h"

namespace kv {

QString FromSjis(std::string_view sjis) {
    const std::string utf8 = Cp932ToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString FromSjisLines(std::string_view sjis) {
    return FromSjis(sjis).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::optional<std::string> ToSjis(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

bool FitsSjis(const QString& text) {
    return ToSjis(text).has_value();
}

QString SjisRefusalText() {
    return QStringLiteral("Shift_JIS で表せない文字は入力できません。");
}

void ShowSjisRefusal(QWidget* widget) {
    QApplication::beep();
    if (widget) {
        QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), SjisRefusalText(),
                           widget);
    }
}

}  // namespace kv
