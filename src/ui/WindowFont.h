#pragma once

#include <QFont>

namespace kv::ui {

// The window font "ＭＳ Ｐゴシック", mapped to a Japanese proportional Gothic font that
// Debian provides (IPA P Gothic, or Noto Sans CJK JP).
class WindowFont {
public:
    static const QString& Family();
    // Makes the family resolve to an installed Japanese font; call once before any widget.
    static void InstallSubstitutes();
    // The window font: 9 points.
    static QFont Window();
    // The text boxes of the log page and of the file view: 12 pixels high.
    static QFont Text();
};

}  // namespace kv::ui
