#include <string>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "text/Cp932.h"
#include "ui/FileViewWindow.h"
#include "ui/FindBar.h"
#include "ui/SjisTextView.h"
#include "ui/StatusBar.h"
#include "ui/TransferProgress.h"

namespace kv::ui {

namespace {

// Line i: "行" i, a half-width kana and, on every tenth line, "一致" to find.
QString LineOf(int i) {
    return QStringLiteral("行%1 ｱ").arg(i) + (i % 10 == 3 ? QStringLiteral(" 一致") : QString());
}

std::string TextOf(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        const QByteArray utf8 = LineOf(i).toUtf8();
        text +=
            text::Sjis(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        text += "\r\n";
    }
    return text;
}

struct Window {
    explicit Window(int lines)
        : window(QStringLiteral("127.0.0.1 - /big.log"), TextOf(lines), nullptr) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.View()->setFocus();
    }
    SjisTextView* View() { return window.View(); }
    void Keys(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, int times = 1) {
        for (int i = 0; i < times; ++i) {
            QTest::keyClick(View(), key, modifiers);
        }
    }
    // The find bar's search to its end.
    void Find(const QString& needle, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        window.Find()->Needle()->setText(needle);
        QTest::keyClick(
            key == Qt::Key_Return ? static_cast<QWidget*>(window.Find()->Needle()) : &window, key,
            modifiers);
        QTRY_VERIFY(!window.Find()->Searching());
    }
    std::size_t SelectedLine() { return View()->Index().LineOf(View()->SelectionStart()); }

    FileViewWindow window;
};

}  // namespace

class TextViewTest : public QObject {
    Q_OBJECT

private slots:
    void scrollingToTheEndShowsTheLastLine() {
        Window w(5000);
        SjisTextView* view = w.View();
        QCOMPARE(view->Index().LineCount(), std::size_t(5001));
        QCOMPARE(view->LineText(4999), LineOf(4999));
        w.Keys(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view->CaretPosition(), view->Text().size());
        QVERIFY(view->FirstVisibleLine() + view->VisibleLineCount() >= 5001);
        w.Keys(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(view->FirstVisibleLine(), std::size_t(0));
        view->ScrollToEnd();
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    }

    // Keys move by whole characters, a two-byte one included; a selection over several
    // screens copies exactly its text.
    void selectionAcrossScreensCopiesExactlyItsText() {
        Window w(3000);
        SjisTextView* view = w.View();
        w.Keys(Qt::Key_Down, {}, 10);
        w.Keys(Qt::Key_Right, {}, 1);  // past "行", two bytes
        QCOMPARE(view->CaretPosition(), view->Index().LineStart(10) + 2);
        w.Keys(Qt::Key_Left);
        w.Keys(Qt::Key_PageDown, Qt::ShiftModifier, 5);
        const std::size_t last = view->Index().LineOf(view->CaretPosition());
        QVERIFY(last > 10 + 4 * view->VisibleLineCount());
        w.Keys(Qt::Key_Home, Qt::ShiftModifier);
        w.Keys(Qt::Key_C, Qt::ControlModifier);
        QString expected;
        for (std::size_t i = 10; i < last; ++i) {
            expected += LineOf(static_cast<int>(i)) + QLatin1Char('\n');
        }
        QCOMPARE(QApplication::clipboard()->text(), expected);
        // The end of a line and the start of the next are one step apart.
        w.Keys(Qt::Key_End);
        w.Keys(Qt::Key_Right);
        QCOMPARE(view->CaretPosition(), view->Index().LineStart(last + 1));
    }

    // Screen readers get the caret's line, the caret in it and the selection.
    void theCaretsLineAndTheSelectionAreReadable() {
        Window w(100);
        w.Keys(Qt::Key_Down, {}, 13);
        w.Keys(Qt::Key_Right, {}, 2);
        w.Keys(Qt::Key_Down, Qt::ShiftModifier);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w.View());
        QVERIFY(accessible);
        QAccessibleTextInterface* text = accessible->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, text->characterCount()), LineOf(14));
        QCOMPARE(text->cursorPosition(), 2);
        int start = -1;
        int end = -1;
        text->selection(0, &start, &end);
        QCOMPARE(start, 0);
        QCOMPARE(end, 2);
        QCOMPARE(accessible->text(QAccessible::Value),
                 LineOf(13).mid(2) + QLatin1Char('\n') + LineOf(14).left(2));
    }

    void findGoesBothWaysRoundTheTextAndSaysWhenNothingIsThere() {
        Window w(200);
        FindBar* bar = w.window.Find();
        QVERIFY(!bar->isVisible());
        QTest::keyClick(w.View(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QVERIFY(bar->Needle()->hasFocus());

        w.Find(QStringLiteral("一致"), Qt::Key_F3);
        QCOMPARE(w.SelectedLine(), std::size_t(3));
        QCOMPARE(w.View()->SelectedText(), QStringLiteral("一致"));
        w.Find(QStringLiteral("一致"), Qt::Key_F3);
        QCOMPARE(w.SelectedLine(), std::size_t(13));
        w.Find(QStringLiteral("一致"), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(w.SelectedLine(), std::size_t(3));
        QCOMPARE(bar->Status(), QString());
        w.Find(QStringLiteral("一致"), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(w.SelectedLine(), std::size_t(193));  // round the start to the last one
        QVERIFY(!bar->Status().isEmpty());
        QVERIFY(w.View()->Index().LineOf(w.View()->CaretPosition()) >=
                w.View()->FirstVisibleLine());
        w.Find(QStringLiteral("一致"), Qt::Key_F3);
        QCOMPARE(w.SelectedLine(), std::size_t(3));  // round the end to the first one

        w.Find(QStringLiteral("見当たらない"), Qt::Key_Return);
        QCOMPARE(bar->Status(), QStringLiteral("見つかりません"));
        QCOMPARE(w.SelectedLine(), std::size_t(3));
        QTest::keyClick(bar->Needle(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(w.View()->hasFocus());
    }

    void aLargeBodyShowsItsBytesSoFarUntilTheRequestEnds() {
        StatusBar status;
        TransferProgress transfer(&status);
        transfer.Update(512 * 1024, 10 << 20);
        QCOMPARE(status.Transfer(), QString());
        transfer.Update(2 << 20, 10 << 20);
        QCOMPARE(status.Transfer(), QStringLiteral("受信 2.0 MB / 10.0 MB"));
        transfer.Update(0, -1);
        QCOMPARE(status.Transfer(), QString());
        transfer.Update(3 << 20, -1);
        QCOMPARE(status.Transfer(), QStringLiteral("受信 3.0 MB"));
    }
};

}  // namespace kv::ui

QTEST_MAIN(kv::ui::TextViewTest)
#include "tst_textview.moc"
