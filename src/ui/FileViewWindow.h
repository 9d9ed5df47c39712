#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace kv::ui {

// A modeless window showing one remote file, read-only. It destroys itself once closed.
class FileViewWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 696;
    static constexpr int kHeight = 480;

    FileViewWindow(const QString& caption, const QString& text, QWidget* owner);

    QPlainTextEdit* View() const { return view_; }

signals:
    void Closing(FileViewWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPlainTextEdit* view_;
};

}  // namespace kv::ui
