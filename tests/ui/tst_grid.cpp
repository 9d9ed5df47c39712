// The settings grid's in-place editor and the mail page: commit on focus change, Tab, the
// count column's key filter, the cell edit commands through the clipboard, the editing
// colours, and text that Shift_JIS cannot hold.

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include "ModalScript.h"
#include "UiFixture.h"
#include "text/Cp932.h"
#include "ui/MailPage.h"
#include "ui/ServerTreeView.h"
#include "ui/SjisPlainTextEdit.h"
#include "ui/SjisTextView.h"
#include "ui/WatchGridView.h"

using namespace kv::text;
using namespace kv::app;
using namespace kv::ui;
using namespace kv;
using namespace kv::test;

namespace {

// Opens the editor on grid row `row` (1-based), column `column`, as a click does.
QLineEdit* EditCell(MainWindow& window, int row, int column) {
    WatchGridView* grid = window.Grid();
    grid->setCurrentIndex(grid->model()->index(row - 1, column));
    grid->setFocus();
    grid->edit(grid->currentIndex());
    return grid->Editor();
}

// A key press with text but no key code, as an input method delivers a character.
void TypeText(QWidget* widget, const QString& text) {
    QTest::sendKeyEvent(QTest::KeyAction::Click, widget, Qt::Key_unknown, text, {});
}

const QString kHangul = QStringLiteral("한");  // outside Shift_JIS

}  // namespace

class GridTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareApplication(); }

    void editorCommitsOnFocusChangeOnly() {
        UiFixture f;
        f.Show();
        QLineEdit* editor = EditCell(*f.window, 2, 1);
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("/var/log/syslog"));
        QCOMPARE(f.model->Grid().Cell(2, 1), std::string());  // still in the editor
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(2, 1), std::string("/var/log/syslog"));
        QCOMPARE(f.window->Grid()->model()->index(1, 1).data().toString(),
                 QStringLiteral("/var/log/syslog"));
    }

    void commandsCommitTheEditBeforeReadingTheGrid() {
        UiFixture f;
        f.Show();
        QLineEdit* editor = EditCell(*f.window, 1, 2);
        QTest::keyClicks(editor, QStringLiteral("ERROR"));
        // Copy row moves the focus to the grid tool bar first.
        f.model->Execute(CommandId::LineCopy);
        QCOMPARE(f.model->LineCopyBuffer().at(1), std::string("ERROR"));
    }

    void tabMovesBetweenCellsWithTheEditorOpen() {
        UiFixture f;
        f.Show();
        QLineEdit* editor = EditCell(*f.window, 1, 1);
        QTest::keyClicks(editor, QStringLiteral("/a"));
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(f.model->Grid().Cell(1, 1), std::string("/a"));
        QCOMPARE(f.model->Grid().CurrentColumn(), 2u);
        QVERIFY(f.window->Grid()->Editor());
        QTest::keyClicks(f.window->Grid()->Editor(), QStringLiteral("word"));
        QTest::keyClick(f.window->Grid()->Editor(), Qt::Key_Tab);
        QCOMPARE(f.model->Grid().Cell(1, 2), std::string("word"));
        QCOMPARE(f.model->Grid().CurrentColumn(), 3u);
    }

    void countColumnTakesDigitsAndBackspaceOnly() {
        UiFixture f;
        f.Show();
        QLineEdit* editor = EditCell(*f.window, 3, 3);
        QTest::keyClicks(editor, QStringLiteral("1a-2 x"));
        TypeText(editor, QStringLiteral("５"));  // a full-width digit is no digit either
        QCOMPARE(editor->text(), QStringLiteral("12"));
        QTest::keyClick(editor, Qt::Key_Backspace);
        QCOMPARE(editor->text(), QStringLiteral("1"));
        QTest::keyClicks(editor, QStringLiteral("0"));
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(3, 3), std::string("10"));

        // Other columns take any text.
        editor = EditCell(*f.window, 3, 2);
        QTest::keyClicks(editor, QStringLiteral("a-1"));
        QCOMPARE(editor->text(), QStringLiteral("a-1"));
    }

    void textOutsideShiftJisIsRefusedAtEntry() {
        UiFixture f;
        f.Show();
        QLineEdit* editor = EditCell(*f.window, 1, 4);
        TypeText(editor, QStringLiteral("運用"));
        TypeText(editor, kHangul);
        TypeText(editor, QStringLiteral("😀"));
        QCOMPARE(editor->text(), QStringLiteral("運用"));
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(1, 4), Sjis("運用"));

        MailPage* mail = f.window->Mail();
        f.window->Pages()->setCurrentIndex(1);
        mail->Subject()->setFocus();
        TypeText(mail->Subject(), QStringLiteral("障害"));
        TypeText(mail->Subject(), kHangul);
        QCOMPARE(mail->Subject()->text(), QStringLiteral("障害"));
        QCOMPARE(f.model->Mail().MailSubject, Sjis("障害"));

        mail->Body()->setFocus();
        TypeText(mail->Body(), QStringLiteral("本文"));
        TypeText(mail->Body(), kHangul);
        QApplication::clipboard()->setText(kHangul + QStringLiteral("x"));
        mail->Body()->paste();
        QCOMPARE(mail->Body()->toPlainText(), QStringLiteral("本文"));
        QCOMPARE(f.model->Mail().MailBody, Sjis("本文"));
    }

    void bodyLineBreaksReachTheModelAsCrLf() {
        UiFixture f;
        f.Show();
        MailPage* mail = f.window->Mail();
        f.window->Pages()->setCurrentIndex(1);
        mail->Body()->setFocus();
        QTest::keyClicks(mail->Body(), QStringLiteral("one"));
        QTest::keyClick(mail->Body(), Qt::Key_Return);
        QTest::keyClicks(mail->Body(), QStringLiteral("two"));
        QCOMPARE(f.model->Mail().MailBody, std::string("one\r\ntwo"));
        // A TAB cannot be carried by the setting text: it moves the focus instead.
        QTest::keyClick(mail->Body(), Qt::Key_Tab);
        QCOMPARE(f.model->Mail().MailBody, std::string("one\r\ntwo"));
        QVERIFY(!mail->Body()->hasFocus());
    }

    void refusedCellTextShowsTheModelsMessageAndKeepsTheOldText() {
        UiFixture f;
        f.Show();
        QVERIFY(f.model->EditCell(1, 1, "/old"));
        QLineEdit* editor = EditCell(*f.window, 1, 1);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("/a\"b"));
        ModalScript script;
        script.Answer(QMessageBox::Ok);
        f.window->Tree()->setFocus();
        QTRY_VERIFY(script.Done());
        QCOMPARE(script.texts.size(), 1);
        QCOMPARE(f.model->Grid().Cell(1, 1), std::string("/old"));
        QCOMPARE(f.window->Grid()->model()->index(0, 1).data().toString(), QStringLiteral("/old"));
    }

    void undecodableBytesSurviveAVisitToTheCell() {
        UiFixture f;
        f.Show();
        const std::string odd = "/log/\x82";  // a lead byte without its trail byte
        QVERIFY(f.model->EditCell(1, 1, odd));
        EditCell(*f.window, 1, 1);
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(1, 1), odd);
    }

    void cellCommandsGoThroughTheClipboard() {
        UiFixture f;
        f.Show();
        QVERIFY(f.model->EditCell(2, 1, "/etc/hosts"));
        WatchGridView* grid = f.window->Grid();
        QLineEdit* editor = EditCell(*f.window, 2, 1);
        editor->selectAll();
        grid->RunCellCommand(CommandId::CellCut);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("/etc/hosts"));
        QCOMPARE(grid->Editor()->text(), QString());

        QApplication::clipboard()->setText(QStringLiteral("/etc/motd"));
        grid->RunCellCommand(CommandId::CellPaste);
        QCOMPARE(grid->Editor()->text(), QStringLiteral("/etc/motd"));

        grid->Editor()->setSelection(0, 4);
        grid->RunCellCommand(CommandId::CellCopy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("/etc"));
        grid->RunCellCommand(CommandId::CellDelete);
        QCOMPARE(grid->Editor()->text(), QStringLiteral("/motd"));
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(2, 1), std::string("/motd"));

        // Cell popup entries act on the grid's current cell even with no editor open.
        QApplication::clipboard()->setText(QStringLiteral("7"));
        grid->setCurrentIndex(grid->model()->index(4, 3));
        f.window->GridPopup()->actions().at(2)->trigger();
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(5, 3), std::string("7"));
    }

    void editingColoursFollowTheEditingSwitch() {
        UiFixture f;
        f.Show();
        const QPalette system;
        const QColor window = system.color(QPalette::Active, QPalette::Base);
        const QColor face = system.color(QPalette::Active, QPalette::Button);
        QCOMPARE(f.window->Grid()->palette().color(QPalette::Base), window);
        QCOMPARE(f.window->Mail()->Subject()->palette().color(QPalette::Base), window);
        f.model->SetWatchEditing(false);
        QCOMPARE(f.window->Grid()->palette().color(QPalette::Base), face);
        QCOMPARE(f.window->Mail()->Body()->palette().color(QPalette::Base), face);
        QCOMPARE(f.window->Log()->palette().color(QPalette::Base), face);
        QVERIFY(!f.window->Pages()->isEnabled());
        f.model->SetWatchEditing(true);
        QCOMPARE(f.window->Mail()->FromAddress()->palette().color(QPalette::Base), window);
        QVERIFY(f.window->Pages()->isEnabled());
    }

    void modelChangesReachAnOpenEditor() {
        UiFixture f;
        f.Show();
        QLineEdit* editor = EditCell(*f.window, 1, 1);
        QVERIFY(editor);
        QVERIFY(f.model->EditCell(1, 1, "/from/model"));
        QCOMPARE(f.window->Grid()->Editor()->text(), QStringLiteral("/from/model"));
        f.window->Tree()->setFocus();
        QCOMPARE(f.model->Grid().Cell(1, 1), std::string("/from/model"));
    }
};

QTEST_MAIN(GridTest)
#include "tst_grid.moc"
