// Commands as the user starts them: tool buttons, menus, keys, popups, and the windows and
// boxes they open.

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "ModalScript.h"
#include "UiFixture.h"
#include "text/Cp932.h"
#include "ui/FileViewWindow.h"
#include "ui/PropertyGrid.h"
#include "ui/ServerTreeModel.h"
#include "ui/ServerTreeView.h"
#include "ui/SjisTextView.h"
#include "ui/VersionWindow.h"
#include "ui/WatchGridView.h"

using namespace kv::text;
using namespace kv::agent;
using namespace kv::app;
using namespace kv::ui;
using namespace kv;
using namespace kv::test;

namespace {

void Click(MainWindow& window, const char* button) {
    auto* widget = window.findChild<QToolButton*>(QString::fromLatin1(button));
    QVERIFY2(widget, button);
    QVERIFY2(widget->isEnabled(), button);
    QTest::mouseClick(widget, Qt::LeftButton);
}

bool ButtonEnabled(MainWindow& window, const char* button) {
    return window.findChild<QToolButton*>(QString::fromLatin1(button))->isEnabled();
}

std::string SettingWithRows(const std::string& name, const std::string& logPath = "") {
    return "\"/var/log/app.log\",\"ERROR\",\"3\",\"ops@example.com\",\"\"\r\n"
           "\"subject\",\"body\",\"smtp.example.com\",\"kv@example.com\",\"" +
           name + "\"\r\n\"" + logPath + "\"\r\n";
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

public slots:
    // Stands in for the desktop's browser.
    void OpenUrl(const QUrl& url) { opened_.append(url); }

private slots:
    void initTestCase() { PrepareApplication(); }

    void toolButtonsRunTheirCommands() {
        UiFixture f;
        f.Show();
        QVERIFY(f.model->EditCell(1, 1, "/var/log/a"));
        QVERIFY(f.model->EditCell(1, 3, "5"));
        Click(*f.window, "BtnLineCopy");
        WatchGridView* grid = f.window->Grid();
        grid->setCurrentIndex(grid->model()->index(3, 2));
        Click(*f.window, "BtnLinePast");
        QCOMPARE(f.model->Grid().Cell(4, 1), std::string("/var/log/a"));
        QCOMPARE(f.model->Grid().Cell(4, 3), std::string("5"));
        QCOMPARE(grid->model()->index(3, 1).data().toString(), QStringLiteral("/var/log/a"));

        Click(*f.window, "BtnLineDel");
        QCOMPARE(f.model->Grid().Cell(4, 1), std::string());
        QCOMPARE(f.model->Grid().Cell(1, 1), std::string("/var/log/a"));
    }

    void confirmationBoxShowsTheTextWithLineBreaksAndOkCancel() {
        UiFixture f;
        f.Show();
        ModalScript script;
        QStringList buttons;
        script.Then([&buttons](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            for (QAbstractButton* button : box->buttons()) {
                buttons << QString::number(box->standardButton(button));
            }
            box->button(QMessageBox::Cancel)->click();
        });
        f.window->MenuAction(CommandId::Save)->trigger();
        QVERIFY(script.Done());
        QCOMPARE(script.texts,
                 QStringList({QStringLiteral("サーバ一覧を保存します。\nよろしいですか？")}));
        buttons.sort();
        QStringList expected{QString::number(QMessageBox::Ok),
                             QString::number(QMessageBox::Cancel)};
        expected.sort();
        QCOMPARE(buttons, expected);
    }

    void importAndExportGoThroughTheFileDialogs() {
        UiFixture f;
        f.Show();
        const QString source = f.File(QStringLiteral("rows.csv"));
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("SearchCount,FileName\r\n2,/var/log/a\r\nx,/var/log/b\r\n3,/var/log/c\r\n");
        }
        QStringList filters;
        ModalScript script;
        script.Answer(QMessageBox::Ok)
            .Then([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog);
                filters = dialog->nameFilters();
                // Each entry shows its own pattern only, as "*.csv", the first one chosen.
                QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
                QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("*.csv"));
                // Typed, not selectFile(): that races the dialog's file system model.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(source);
                static_cast<QDialog*>(dialog)->accept();  // as the dialog's own OK does
            })
            .Answer(QMessageBox::Ok);
        Click(*f.window, "BtnImport");
        QVERIFY(script.Done());
        QCOMPARE(filters,
                 QStringList({QStringLiteral("*.csv (*.csv)"), QStringLiteral("*.txt (*.txt)"),
                              QStringLiteral("*.* (*)")}));
        QVERIFY(
            script.texts.value(1).startsWith(QStringLiteral("インポート処理が、終了しました。")));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(f.model->Grid().Cell(2, 1), std::string("/var/log/c"));

        // A name without extension gets ".csv".
        const QString target = f.File(QStringLiteral("exported"));
        ModalScript save;
        save.Then([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog);
                QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
                // Typed as the user does: a name without its extension.
                dialog->setDirectory(QFileInfo(target).absolutePath());
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(QFileInfo(target).fileName());
                static_cast<QDialog*>(dialog)->accept();  // as the dialog's own OK does
            })
            .Answer(QMessageBox::Ok);
        Click(*f.window, "BtnExport");
        QVERIFY(save.Done());
        QCOMPARE(save.texts.value(0),
                 QStringLiteral("エクスポートが終了しました。\nエクスポート件数\t2"));
        QVERIFY(f.Read(QStringLiteral("exported.csv")).startsWith("\"FileName\","));
    }

    void mailPageDisablesRowButtonsAndWatchPageEnablesThem() {
        UiFixture f;
        f.Show();
        QTabBar* tabs = f.window->Pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(f.window->Pages()->currentIndex(), 1);
        for (const char* button :
             {"BtnLineCopy", "BtnLinePast", "BtnLineDel", "BtnImport", "BtnExport"}) {
            QVERIFY2(!ButtonEnabled(*f.window, button), button);
        }
        QVERIFY(ButtonEnabled(*f.window, "BtnGrdSave"));
        // The menu entries are left alone by a page switch.
        QVERIFY(f.window->MenuAction(CommandId::LineCopy)->isEnabled());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        for (const char* button :
             {"BtnLineCopy", "BtnLinePast", "BtnLineDel", "BtnImport", "BtnExport"}) {
            QVERIFY2(ButtonEnabled(*f.window, button), button);
        }
    }

    void defaultSettingButtonsAfterStart() {
        UiFixture f;
        f.Show();
        QVERIFY(!ButtonEnabled(*f.window, "BtnReload"));
        QVERIFY(!ButtonEnabled(*f.window, "BtnServerDel"));
        QVERIFY(!ButtonEnabled(*f.window, "BtnGrdReload"));
        QVERIFY(ButtonEnabled(*f.window, "BtnDefaultSet"));
        // The menu twins of the disabled buttons stay available.
        QVERIFY(f.window->MenuAction(CommandId::ServerDel)->isEnabled());
        QVERIFY(f.window->MenuAction(CommandId::Reload)->isEnabled());
        QVERIFY(f.window->MenuAction(CommandId::GrdReload)->isEnabled());
    }

    void selectingServersFollowsThePane() {
        UiFixture f;
        f.LoadServer(1, SettingWithRows("web-one"), {"etc", "hosts"});
        f.Show();
        f.Select(f.model->ServerNode(1));
        QCOMPARE(f.window->ServerName()->text(), QStringLiteral("web-one"));
        QCOMPARE(f.window->Grid()->model()->index(0, 1).data().toString(),
                 QStringLiteral("/var/log/app.log"));
        QVERIFY(f.window->Pages()->isTabVisible(2));
        QVERIFY(!ButtonEnabled(*f.window, "BtnDefaultSet"));
        QVERIFY(ButtonEnabled(*f.window, "BtnReload"));

        // A server not fetched: pages emptied and switched off, name as known so far.
        f.Select(f.model->ServerNode(2));
        QCOMPARE(f.window->ServerName()->text(), QStringLiteral("db01"));
        QVERIFY(!f.window->Pages()->isEnabled());
        QCOMPARE(f.window->Grid()->model()->index(0, 1).data().toString(), QString());
        QVERIFY(f.window->Pages()->isTabVisible(2));

        // Back to the default setting from the log page of a loaded server.
        f.Select(f.model->ServerNode(1));
        QTabBar* tabs = f.window->Pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(f.window->Pages()->currentIndex(), 2);
        f.Select(f.model->ServerNode(0));
        QVERIFY(f.window->Pages()->isEnabled());
        QVERIFY(!f.window->Pages()->isTabVisible(2));
        QCOMPARE(f.window->Pages()->currentIndex(), 0);
        QVERIFY(ButtonEnabled(*f.window, "BtnLineCopy"));
    }

    void deletingAServerLeavesPaneAndModelOnTheSameNeighbour() {
        UiFixture f({"web01,127.0.0.2", "db01,127.0.0.3", "mail01,127.0.0.4"});
        f.LoadServer(1, SettingWithRows("web-one"), {"etc", "hosts"});
        f.Show();
        f.Select(f.model->ServerNode(1));
        QCOMPARE(f.window->ServerName()->text(), QStringLiteral("web-one"));
        ModalScript script;
        script.Answer(QMessageBox::Ok);
        Click(*f.window, "BtnServerDel");
        QVERIFY(script.Done());
        QCOMPARE(f.window->Tree()->model()->rowCount(), 3);
        const NodeTree::Id selected = f.model->SelectedNode();
        QCOMPARE(f.window->Tree()->currentIndex(), f.window->TreeModel()->IndexOf(selected));
        QCOMPARE(f.model->Pane().Caption(selected), std::string("127.0.0.3"));
        QCOMPARE(f.window->ServerName()->text(), QStringLiteral("db01"));
        QCOMPARE(f.model->Servers().Entry(1).IPAddress, std::string("127.0.0.3"));

        // A node deep in the deleted server's tree was selected.
        const NodeTree::Id file = f.LoadServer(2, SettingWithRows("mail-one"), {"var", "spool"});
        f.window->Tree()->expandAll();
        f.Select(file);
        ModalScript again;
        again.Answer(QMessageBox::Ok);
        Click(*f.window, "BtnServerDel");
        QVERIFY(again.Done());
        QCOMPARE(f.window->Tree()->model()->rowCount(), 2);
        QCOMPARE(f.window->Tree()->currentIndex(),
                 f.window->TreeModel()->IndexOf(f.model->SelectedNode()));
        QCOMPARE(f.window->ServerName()->text(), QStringLiteral("db01"));
    }

    void logPageScrollsToTheEndOnlyWhileTheCaretIsAtTheStart() {
        UiFixture f;
        f.LoadServer(1, SettingWithRows("web-one", "/var/log/kv/20260307.log"), {"etc", "hosts"});
        std::string& log = f.requests.files["127.0.0.2|/var/log/kv/20260307.log"];
        for (int line = 1; line <= 200; ++line) {
            log += "line " + std::to_string(line) + "\n";
        }
        f.Show();
        f.Select(f.model->ServerNode(1));
        ui::SjisTextView* text = f.window->Log();
        QCOMPARE(text->CaretPosition(), std::size_t(0));
        QTabBar* tabs = f.window->Pages()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(text->CaretPosition(), text->Text().size());
        QVERIFY(text->hasFocus());
        QVERIFY(text->verticalScrollBar()->value() > 0);

        text->SetCaretPosition(5);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(text->CaretPosition(), std::size_t(5));
    }

    void f1OpensTheManualFromAnywhere() {
        UiFixture f;
        f.Show();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "OpenUrl");
        opened_.clear();
        QTest::keyClick(f.window->Tree(), Qt::Key_F1);
        f.window->Grid()->FocusEditor();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(opened_.first().toString(),
                 QStringLiteral("https://www.brindlecove.example/kestrelview/support.html"));
    }

    void versionWindowStaysUntilItsPictureIsClicked() {
        UiFixture f;
        f.Show();
        ModalScript script;
        bool checked = false;
        script.Then([&checked](QWidget* modal) {
            auto* version = qobject_cast<VersionWindow*>(modal);
            QVERIFY(version);
            QVERIFY(version->windowFlags() & Qt::FramelessWindowHint);
            QCOMPARE(version->size(), QSize(480, 270));
            QCOMPARE(version->geometry().center(), version->screen()->geometry().center());
            auto* picture = version->findChild<QLabel*>(QStringLiteral("Image1"));
            QVERIFY(picture);
            QCOMPARE(picture->pixmap().size(), QSize(480, 270));
            QTest::keyClick(version, Qt::Key_Escape);
            QVERIFY(version->isVisible());
            QTest::mouseClick(version, Qt::LeftButton, {}, QPoint(10, 10));
            QVERIFY(version->isVisible());  // the dialog itself is not the picture
            QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(240, 135));
            checked = !version->isVisible();
        });
        Click(*f.window, "BtnVersion");
        QVERIFY(checked);
    }

    void closeQuestionCancelKeepsWindowNoLeavesServerListAlone() {
        UiFixture f;
        f.Show();
        const QByteArray before = f.Read(QStringLiteral("Server.csv"));
        {
            ModalScript script;
            script.Answer(QMessageBox::Cancel);
            f.window->close();
            QVERIFY(script.Done());
            QVERIFY(f.window->isVisible());
            QCOMPARE(script.texts.value(0),
                     QStringLiteral("サーバ一覧を保存して終了しますか？\n"
                                    "「No」を選択すると設定を保存せずに終了します。\n"
                                    "よろしいですか？"));
        }
        {
            ModalScript script;
            script.Answer(QMessageBox::No);
            Click(*f.window, "BtnClose");
            QVERIFY(script.Done());
            QVERIFY(!f.window->isVisible());
        }
        QCOMPARE(f.Read(QStringLiteral("Server.csv")), before);
    }

    void treePopupOpensBesideTheCursorForTheSelectedNode() {
        UiFixture f;
        const NodeTree::Id file =
            f.LoadServer(1, SettingWithRows("web-one"), {"var", "log", "messages"});
        f.Show();
        f.window->Tree()->expandAll();
        f.Select(file);
        ServerTreeView* tree = f.window->Tree();
        // Press on another node: the menu acts on the selected one, which stays selected.
        const QRect other =
            tree->visualRect(f.window->TreeModel()->IndexOf(f.model->ServerNode(2)));
        QTest::mousePress(tree->viewport(), Qt::RightButton, {}, other.center());
        QMenu* popup = f.window->TreePopup();
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(popup->pos(), tree->viewport()->mapToGlobal(other.center()) + QPoint(8, -10));
        QCOMPARE(f.model->SelectedNode(), file);
        const QList<QAction*> entries = popup->actions();
        QVERIFY(entries[0]->isEnabled());
        QVERIFY(entries[2]->isEnabled() && entries[3]->isEnabled() && entries[4]->isEnabled() &&
                entries[6]->isEnabled());
        // "選択行の監視ファイルと置き換える" writes the path into the current row.
        entries[2]->trigger();
        popup->hide();
        QCOMPARE(f.model->Grid().Cell(1, 1), std::string("/var/log/messages"));
        QCOMPARE(f.window->Pages()->currentIndex(), 0);

        f.Select(f.model->ServerNode(2));
        f.window->OpenTreePopupAt(tree->mapToGlobal(QPoint(40, 40)));
        QVERIFY(entries[0]->isEnabled());
        QVERIFY(!entries[2]->isEnabled() && !entries[3]->isEnabled() && !entries[4]->isEnabled() &&
                !entries[6]->isEnabled());
        popup->hide();
    }

    void dropOnTheGridTakesOnlyAFileNodeFromThePane() {
        UiFixture f;
        const NodeTree::Id file = f.LoadServer(1, SettingWithRows("web-one"), {"etc", "hosts"});
        f.Show();
        f.window->Tree()->expandAll();
        f.Select(file);
        WatchGridView* grid = f.window->Grid();
        grid->setCurrentIndex(grid->model()->index(0, 3));  // count column: first free row
        QWidget* target = grid->viewport();
        const QPoint at = grid->visualRect(grid->model()->index(5, 3)).center();

        const auto drop = [&](const QMimeData* data) {
            QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enter);
            if (!enter.isAccepted()) {
                return false;
            }
            QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &dropped);
            return dropped.isAccepted();
        };

        QMimeData foreign;
        foreign.setText(QStringLiteral("/etc/passwd"));
        QVERIFY(!drop(&foreign));

        std::unique_ptr<QMimeData> fromPane(
            f.window->TreeModel()->mimeData({f.window->TreeModel()->IndexOf(file)}));
        QVERIFY(drop(fromPane.get()));
        QCOMPARE(f.model->Grid().Cell(2, 1), std::string("/etc/hosts"));  // row 1 is taken
        QCOMPARE(f.model->Grid().Cell(6, 3), std::string());

        // The selected node decides: a directory is not offered.
        f.Select(f.model->Pane().Parent(file));
        QVERIFY(!drop(fromPane.get()));
    }

    void portEditorRefusesAPortOutOfRangeWithTheMessage() {
        UiFixture f;
        f.Show();
        PropertyGrid* grid = f.window->Network();
        const auto type = [&](const QString& text) {
            grid->setCurrentCell(2, 1);
            grid->editItem(grid->item(2, 1));
            auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(2, 1)));
            QVERIFY(editor);
            editor->selectAll();
            QTest::keyClicks(editor, text);
            QPointer<QLineEdit> open(editor);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(open.isNull());  // the item view commits after the key is handled
        };
        {
            ModalScript script;
            script.Answer(QMessageBox::Ok);
            type(QStringLiteral("80"));
            QVERIFY(script.Done());
            QCOMPARE(script.texts,
                     QStringList({QStringLiteral("ポートの指定範囲は1024-65534です。")}));
            QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("4009"));
            QCOMPARE(f.model->Connection().AgentPort(), std::string("4009"));
        }
        {
            ModalScript script;
            type(QStringLiteral("80a8-0x"));  // only digits reach the item
            QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("8080"));
            QCOMPARE(f.requests.port, std::string("8080"));
            QVERIFY(script.texts.isEmpty());
        }
        type(QStringLiteral("1234567"));
        QCOMPARE(grid->item(2, 1)->text(), QStringLiteral("12345"));
    }

    void fileViewsAreListedUntilClosedAndGoWithTheWindow() {
        UiFixture f;
        f.Show();
        f.port.OpenFileView("127.0.0.2 - /etc/hosts", "line1\r\nline2\r\n");
        f.port.OpenFileView(Sjis("127.0.0.2 - /日本語.txt"), Sjis("ログ\r\n"));
        QCOMPARE(f.window->FileViews().size(), 2);
        QPointer<FileViewWindow> first = f.window->FileViews().at(0);
        QPointer<FileViewWindow> second = f.window->FileViews().at(1);
        QCOMPARE(first->windowTitle(), QStringLiteral("127.0.0.2 - /etc/hosts"));
        QCOMPARE(first->size(), QSize(696, 480));
        QCOMPARE(first->View()->Text(), "line1\r\nline2\r\n");
        QCOMPARE(second->windowTitle(), QStringLiteral("127.0.0.2 - /日本語.txt"));
        QCOMPARE(second->View()->LineText(0), QStringLiteral("ログ"));

        first->close();
        QTRY_VERIFY(first.isNull());
        QCOMPARE(f.window->FileViews().size(), 1);
        QCOMPARE(f.window->FileViews().at(0), second.data());

        ModalScript script;
        script.Answer(QMessageBox::No);
        f.window->close();
        QTRY_VERIFY(second.isNull());
        QVERIFY(f.window->FileViews().isEmpty());
    }

private:
    QList<QUrl> opened_;
};

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
