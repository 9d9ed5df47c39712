// The main window as built: captions, hints, icons, sizes and the splitter rule.

#include <QAction>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "UiFixture.h"
#include "ui/BusyAnimation.h"
#include "ui/MailPage.h"
#include "ui/PropertyGrid.h"
#include "ui/ServerTreeView.h"
#include "ui/SjisPlainTextEdit.h"
#include "ui/SjisTextView.h"
#include "ui/StatusBar.h"
#include "ui/WatchGridModel.h"
#include "ui/WatchGridView.h"
#include "ui/WindowFont.h"

using namespace kv::app;
using namespace kv::ui;
using namespace kv;
using namespace kv::test;

namespace {

QStringList ToolBarContents(QToolBar* bar) {
    QStringList items;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("|");
        } else if (!action->objectName().isEmpty()) {
            items << action->objectName() + QLatin1Char('=') + action->toolTip();
        }
    }
    return items;
}

QStringList MenuContents(QMenu* menu) {
    QStringList items;
    for (QAction* action : menu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("|") : action->text());
    }
    return items;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareApplication(); }

    void windowCaptionSizeAndFont() {
        UiFixture f;
        f.Show();
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Kestrelview Manager Ver2.00"));
        QCOMPARE(f.window->size(), QSize(925, 686));
        QCOMPARE(QApplication::font().family(), WindowFont::Family());
        QCOMPARE(QApplication::font().pointSize(), 9);
        // The Windows font name must land on an installed Japanese Gothic font.
        if (QFontDatabase::families().contains(QStringLiteral("IPAPGothic"))) {
            QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("IPAPGothic"));
        }
    }

    void mainToolBarHoldsNameBoxAndButtonsWithHints() {
        UiFixture f;
        f.Show();
        auto* bar = f.window->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        QVERIFY(bar);
        QCOMPARE(bar->height(), 26);
        QLineEdit* name = f.window->ServerName();
        QCOMPARE(name->width(), 145);
        QVERIFY(name->isReadOnly());
        QVERIFY(!(name->focusPolicy() & Qt::TabFocus));
        QCOMPARE(
            ToolBarContents(bar),
            QStringList({QStringLiteral("|"), QStringLiteral("BtnAutoSearch=監視サーバ自動検索"),
                         QStringLiteral("BtnAddServer=監視サーバ追加"),
                         QStringLiteral("BtnServerDel=監視サーバ削除"),
                         QStringLiteral("BtnReload=サーバ情報の取得/再取得"), QStringLiteral("|"),
                         QStringLiteral("BtnSave=監視サーバ保存"), QStringLiteral("|"),
                         QStringLiteral("BtnVersion=バージョン"),
                         QStringLiteral("BtnHelp=マニュアルページを開く"), QStringLiteral("|"),
                         QStringLiteral("BtnClose=終了")}));
        for (QAction* action : bar->actions()) {
            if (!action->isSeparator() && !action->objectName().isEmpty()) {
                QVERIFY2(!action->icon().isNull(), qPrintable(action->objectName()));
                QCOMPARE(action->icon().pixmap(16, 16).size(), QSize(16, 16));
            }
        }
    }

    void gridToolBarButtonsWithHints() {
        UiFixture f;
        f.Show();
        auto* bar = f.window->findChild<QToolBar*>(QStringLiteral("TolGrd"));
        QVERIFY(bar);
        QCOMPARE(bar->height(), 26);
        QCOMPARE(
            ToolBarContents(bar),
            QStringList({QStringLiteral("BtnLineCopy=選択行コピー"),
                         QStringLiteral("BtnLinePast=コピー行貼り付け"),
                         QStringLiteral("BtnLineDel=選択行削除"), QStringLiteral("|"),
                         QStringLiteral("BtnImport=インポート"),
                         QStringLiteral("BtnExport=エクスポート"), QStringLiteral("|"),
                         QStringLiteral("BtnGrdReload=設定情報取得"),
                         QStringLiteral("BtnGrdAllReload=すべての設定情報の取得"),
                         QStringLiteral("|"), QStringLiteral("BtnGrdSave=設定情報保存"),
                         QStringLiteral("BtnGrdAllSave=設定情報を全て保存"), QStringLiteral("|"),
                         QStringLiteral("BtnDefaultSet=デフォルト設定の配布")}));
        QVERIFY(f.window->findChild<QToolButton*>(QStringLiteral("BtnGrdAllSave")));
    }

    void threeMenusInOrderWithAccelerators() {
        UiFixture f;
        const QList<QAction*> menus = f.window->menuBar()->actions();
        QCOMPARE(menus.size(), 3);
        QCOMPARE(menus[0]->text(), QStringLiteral("ファイル(&F)"));
        QCOMPARE(menus[1]->text(), QStringLiteral("編集(&E)"));
        QCOMPARE(menus[2]->text(), QStringLiteral("ヘルプ(&H)"));
        QCOMPARE(
            MenuContents(menus[0]->menu()),
            QStringList({QStringLiteral("リモートサーバ自動検索"),
                         QStringLiteral("リモートサーバ追加"), QStringLiteral("リモートサーバ削除"),
                         QStringLiteral("リモートサーバ情報更新"), QStringLiteral("|"),
                         QStringLiteral("サーバ一覧保存"), QStringLiteral("|"),
                         QStringLiteral("終了(&X)")}));
        QCOMPARE(MenuContents(menus[1]->menu()),
                 QStringList({QStringLiteral("選択行コピー"), QStringLiteral("選択行貼り付け"),
                              QStringLiteral("選択行削除"), QStringLiteral("|"),
                              QStringLiteral("設定情報更新"), QStringLiteral("|"),
                              QStringLiteral("設定情報保存")}));
        QCOMPARE(MenuContents(menus[2]->menu()),
                 QStringList(
                     {QStringLiteral("マニュアルページを開く"), QStringLiteral("バージョン(&A)")}));
        QCOMPARE(f.window->MenuAction(CommandId::Help)->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void popupMenusInOrder() {
        UiFixture f;
        QCOMPARE(MenuContents(f.window->TreePopup()),
                 QStringList({QStringLiteral("サーバ情報の取得/再取得"), QStringLiteral("|"),
                              QStringLiteral("選択行の監視ファイルと置き換える"),
                              QStringLiteral("選択行の実行コマンドと置き換える"),
                              QStringLiteral("監視ファイルとして追加設定する"), QStringLiteral("|"),
                              QStringLiteral("View File")}));
        QCOMPARE(
            MenuContents(f.window->GridPopup()),
            QStringList({QStringLiteral("切り取り(&T)"), QStringLiteral("コピー(&C)"),
                         QStringLiteral("貼り付け(&P)"), QStringLiteral("削除(&D)"),
                         QStringLiteral("|"), QStringLiteral("選択行のコピー"),
                         QStringLiteral("コピー行の貼り付け"), QStringLiteral("選択行の削除")}));
        QCOMPARE(f.window->GridPopup()->actions().at(0)->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+X")));
        QCOMPARE(f.window->GridPopup()->actions().at(3)->shortcut(), QKeySequence(Qt::Key_Delete));
    }

    void leftPaneTreeAndConnectionGrid() {
        UiFixture f;
        f.Show();
        ServerTreeView* tree = f.window->Tree();
        QCOMPARE(tree->indentation(), 19);
        QVERIFY(tree->minimumWidth() >= 249);
        QCOMPARE(f.window->Splitter()->handleWidth(), 8);
        QCOMPARE(f.window->Splitter()->widget(0)->width(), 253);
        QCOMPARE(tree->model()->rowCount(), 3);
        QCOMPARE(tree->model()->index(0, 0).data().toString(), QStringLiteral("DefaultSetting"));
        QCOMPARE(tree->model()->index(2, 0).data().toString(), QStringLiteral("127.0.0.3"));
        QVERIFY(tree->hasFocus());

        PropertyGrid* grid = f.window->Network();
        QCOMPARE(grid->height(), 53);
        QCOMPARE(grid->columnWidth(0), 100);
        QCOMPARE(grid->rowCount(), 3);
        const QStringList keys{QStringLiteral("ユーザ名"), QStringLiteral("パスワード"),
                               QStringLiteral("ポート")};
        const QStringList values{QStringLiteral("root"), QStringLiteral("plumtree"),
                                 QStringLiteral("4009")};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(grid->item(row, 0)->text(), keys[row]);
            QCOMPARE(grid->item(row, 1)->text(), values[row]);
            QVERIFY(!(grid->item(row, 0)->flags() & Qt::ItemIsEditable));
        }
    }

    void pagesWithLogTabHiddenAtStart() {
        UiFixture f;
        f.Show();
        QTabWidget* pages = f.window->Pages();
        QCOMPARE(pages->count(), 3);
        QCOMPARE(pages->tabText(0), QStringLiteral("ファイル監視設定"));
        QCOMPARE(pages->tabText(1), QStringLiteral("メールメッセージ設定"));
        QCOMPARE(pages->tabText(2), QStringLiteral("ログファイル"));
        QCOMPARE(pages->currentIndex(), 0);
        QVERIFY(!pages->isTabVisible(2));
        QCOMPARE(f.window->LogChoice()->count(), 4);
        QCOMPARE(f.window->LogChoice()->itemText(0), QStringLiteral("最新"));
        QCOMPARE(f.window->LogChoice()->itemText(3), QStringLiteral("三日前"));
        QCOMPARE(f.window->Log()->objectName(), QStringLiteral("MemLog"));
    }

    void gridCaptionsWidthsAndRows() {
        UiFixture f;
        f.Show();
        WatchGridView* grid = f.window->Grid();
        QAbstractItemModel* model = grid->model();
        QCOMPARE(model->rowCount(), 128);
        QCOMPARE(model->columnCount(), 6);
        QVERIFY(grid->horizontalHeader()->isVisible());  // the caption row
        const QStringList captions{QStringLiteral("No"),       QStringLiteral("監視ﾌｧｲﾙ"),
                                   QStringLiteral("監視ﾜｰﾄﾞ"), QStringLiteral("監視回数"),
                                   QStringLiteral("ﾒｰﾙｱﾄﾞﾚｽ"), QStringLiteral("実行ｺﾏﾝﾄﾞ")};
        const QList<int> widths{25, 150, 120, 50, 120, 150};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), captions[c]);
            QCOMPARE(grid->columnWidth(c), widths[c]);
        }
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("1"));
        QCOMPARE(model->index(127, 0).data().toString(), QStringLiteral("128"));
        QVERIFY(!(model->flags(model->index(5, 0)) & Qt::ItemIsEditable));
        QVERIFY(model->flags(model->index(5, 1)) & Qt::ItemIsEditable);
        const auto alignment = [&](int column) {
            return model->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        };
        QVERIFY(alignment(3) & Qt::AlignHCenter);
        QVERIFY(alignment(1) & Qt::AlignLeft);
        QVERIFY(grid->tabKeyNavigation());
    }

    void mailPageCaptionsAndPlaceholderLegend() {
        UiFixture f;
        MailPage* mail = f.window->Mail();
        QStringList labels;
        for (QLabel* label : mail->findChildren<QLabel*>()) {
            labels << label->text();
        }
        for (const QString& caption :
             {QStringLiteral("件名（Subject)"), QStringLiteral("本文（Body)"),
              QStringLiteral("SMTPサーバ"), QStringLiteral("送信元メールアドレス")}) {
            QVERIFY2(labels.contains(caption), qPrintable(caption));
        }
        QStringList legend;
        for (QLabel* label : mail->findChildren<QLabel*>(QStringLiteral("Legend"))) {
            legend << label->text();
        }
        QCOMPARE(legend,
                 QStringList({QStringLiteral("\\ServerName\\"), QStringLiteral("\\IPAddress\\"),
                              QStringLiteral("\\WatchFile\\"), QStringLiteral("\\WatchString\\"),
                              QStringLiteral("\\WatchNum\\"), QStringLiteral("\\ResultLine\\")}));
        QCOMPARE(mail->Body()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // The legend sits under the body.
        const auto* first = mail->findChildren<QLabel*>(QStringLiteral("Legend")).first();
        f.Show();
        f.window->Pages()->setCurrentIndex(1);
        QVERIFY(first->mapTo(mail, QPoint()).y() > mail->Body()->mapTo(mail, QPoint()).y());
    }

    void statusBarPanelsProgressAndAnimation() {
        UiFixture f;
        f.Show();
        StatusBar* status = f.window->Status();
        QCOMPARE(status->height(), 22);
        QProgressBar* progress = status->Progress();
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 17);
        QCOMPARE(progress->size(), QSize(250, 16));
        QCOMPARE(status->Panel0Width(), 256);
        QCOMPARE(status->Animation()->size(), QSize(16, 16));
        QVERIFY(!status->Animation()->IsActive());
        QVERIFY(status->Animation()->x() >= status->Panel0Width());
        QCOMPARE(status->Animation()->FrameCount(), 8);
    }

    void splitterKeepsStatusBarInStepWithThePane() {
        UiFixture f;
        f.Show();
        QSplitter* splitter = f.window->Splitter();
        // Drag the handle as the user does: only that reports a move.
        QSplitterHandle* handle = splitter->handle(1);
        const QPoint grip = handle->rect().center();
        const QPoint target = grip + QPoint(300 - f.window->Tree()->width(), 0);
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, target);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, target);
        const int tree = f.window->Tree()->width();
        QVERIFY2(qAbs(tree - 300) <= 1, qPrintable(QString::number(tree)));
        StatusBar* status = f.window->Status();
        QCOMPARE(status->Progress()->width(), tree + 2);
        QCOMPARE(status->Panel0Width(), tree + 7);
        QCOMPARE(status->Animation()->x(), tree + 11);

        // Never narrower than the tree's minimum.
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip - QPoint(200, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(200, 0));
        QVERIFY(f.window->Tree()->width() >= 249);
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
