#pragma once

#include <string>

#include <QWidget>

namespace kv::ui {

class FindBar;
class SjisTextView;

// A modeless window showing one remote file, read-only, with a find bar (Ctrl+F). It
// destroys itself once closed.
class FileViewWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 696;
    static constexpr int kHeight = 480;

    // `text` is the prepared Shift_JIS text; the window keeps it.
    FileViewWindow(const QString& caption, std::string text, QWidget* owner);

    SjisTextView* View() const { return view_; }
    FindBar* Find() const { return find_; }

signals:
    void Closing(FileViewWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SjisTextView* view_;
    FindBar* find_;
};

}  // namespace kv::ui
