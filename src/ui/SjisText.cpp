#include "ui/SjisText.h"

#include <algorithm>

#include <QApplication>
#include <QToolTip>
#include <QWidget>

#include "text/Cp932.h"

namespace kv::ui {

namespace {

// Shift_JIS (CP932) keeps ASCII as it is; most cell texts are paths and addresses, so they
// skip the converter.
bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

QString FromSjis(std::string_view sjis) {
    if (IsAscii(sjis)) {
        return QString::fromLatin1(sjis.data(), static_cast<qsizetype>(sjis.size()));
    }
    const std::string utf8 = text::Cp932ToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString FromSjisLines(std::string_view sjis) {
    return FromSjis(sjis).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::optional<std::string> ToSjis(const QString& text) {
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        return text.toLatin1().toStdString();
    }
    const QByteArray utf8 = text.toUtf8();
    return text::Utf8ToCp932(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
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

}  // namespace kv::ui
