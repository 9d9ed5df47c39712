#include "ui/WindowFont.h"

#include <QStringList>

namespace kv::ui {

const QString& WindowFont::Family() {
    static const QString family = QStringLiteral("ＭＳ Ｐゴシック");
    return family;
}

void WindowFont::InstallSubstitutes() {
    QFont::insertSubstitutions(Family(),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic")});
}

QFont WindowFont::Window() {
    QFont font(Family(), 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont WindowFont::Text() {
    QFont font(Family());
    font.setPixelSize(12);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace kv::ui
