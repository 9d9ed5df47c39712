#pragma once

#include <string>

#include <QWidget>

namespace kv {

namespace ui {
class FindBar;
class SjisTextView;
}  // namespace ui

// A modeless window showing one remote file, read-only, with a find bar (Ctrl+F). It
// destroys itself once closed.
class FileViewWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 696;
    static constexpr int kHeight = 480;

    // `text` is the prepared Shift_JIS text; the window keeps it.
    FileViewWindow(const QString& caption, std::string text, QWidget* owner);

    ui::SjisTextView* View() const { return view_; }
    ui::FindBar* Find() const { return find_; }

signals:
    void Closing(FileViewWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ui::SjisTextView* view_;
    ui::FindBar* find_;
};

}  // namespace kv::ui
