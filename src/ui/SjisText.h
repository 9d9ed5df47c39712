#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QString>

class QWidget;

namespace kv::ui {

// The window's edge between the core's Shift_JIS (CP932) bytes and Qt's Unicode.

// Bytes CP932 cannot decode are shown as U+FFFD.
QString FromSjis(std::string_view sjis);
// The same, with CR LF line ends as Qt's line feeds, for multi-line views and messages.
QString FromSjisLines(std::string_view sjis);
// nullopt when the text holds a character CP932 cannot represent.
std::optional<std::string> ToSjis(const QString& text);
bool FitsSjis(const QString& text);

// The message shown when typed or pasted text is refused.
QString SjisRefusalText();
// Shows the refusal as a tool tip beside `widget`, without taking the keyboard focus away
// from an editor in the middle of its edit.
void ShowSjisRefusal(QWidget* widget);

}  // namespace kv::ui
