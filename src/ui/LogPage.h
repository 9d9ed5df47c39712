#pragma once

#include <cstdint>
#include <string_view>

#include <QWidget>

class QComboBox;

namespace kv::ui {

class FindBar;
class SjisTextView;

// The log page "ログファイル": the day choice above the log's text, with a find bar. The
// text stays with the model that prepared it; the page only shows it.
class LogPage : public QWidget {
    Q_OBJECT

public:
    explicit LogPage(QWidget* parent = nullptr);

    QComboBox* Choice() const { return choice_; }
    SjisTextView* View() const { return view_; }
    FindBar* Find() const { return find_; }

    // Shows the model's text, which must stay as it is until the next call. Showing the
    // same text again keeps the caret and the view where they are.
    void ShowLog(std::string_view text);

private:
    QComboBox* choice_;
    SjisTextView* view_;
    FindBar* find_;
    std::uint64_t shownHash_ = 0;
};

}  // namespace kv::ui
