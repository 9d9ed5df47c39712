// The add-server dialog, the version picture, the busy animation, the record of the data
// directory, the file dialog filters and the waiter that keeps events flowing.

#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "ModalScript.h"
#include "UiFixture.h"
#include "ui/AddServerDialog.h"
#include "ui/BusyAnimation.h"
#include "ui/JpegImage.h"
#include "ui/QtWaiter.h"
#include "ui/RootDirRecord.h"

using namespace kv::agent;
using namespace kv::ui;
using namespace kv;
using namespace kv::test;

namespace {

// Runs `steps` on the dialog once it is shown, then leaves it with Cancel unless a step
// closed it.
bool RunDialog(AddServerDialog& dialog, const AddServerDialog::TryAddress& tryAddress,
               const std::function<void(AddServerDialog&)>& steps) {
    ModalScript script;
    script.Then([&](QWidget*) {
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        steps(dialog);
        if (dialog.isVisible()) {
            dialog.CancelButton()->click();
        }
    });
    return dialog.Run(tryAddress);
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareApplication();
        QStandardPaths::setTestModeEnabled(true);
    }

    void addServerFocusMovesOnAndAddressIsAsTyped() {
        AddServerDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("サーバ追加"));
        QCOMPARE(dialog.size(), QSize(250, 162));
        std::vector<std::string> tried;
        const bool added = RunDialog(
            dialog,
            [&](const std::string& address) {
                tried.push_back(address);
                return app::AddAttempt{true, {}};
            },
            [](AddServerDialog& d) {
                QVERIFY(d.Field(0)->hasFocus());
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("127"));
                QVERIFY(d.Field(1)->hasFocus());
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("168"));
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("001"));
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
                QVERIFY(d.Field(3)->hasFocus());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            });
        QVERIFY(added);
        QCOMPARE(tried, std::vector<std::string>({"127.168.001.5"}));
    }

    void addServerDotMovesToTheNextFieldAndIsNotEntered() {
        AddServerDialog dialog;
        RunDialog(dialog, nullptr, [](AddServerDialog& d) {
            QTest::keyClicks(d.Field(0), QStringLiteral("10."));
            QCOMPARE(d.Value(0), QStringLiteral("10"));
            QVERIFY(d.Field(1)->hasFocus());
            QTest::keyClicks(d.Field(3), QStringLiteral("7."));
            QCOMPARE(d.Value(3), QStringLiteral("7"));
            QTest::keyClicks(d.Field(2), QStringLiteral("a1b"));
            QCOMPARE(d.Value(2), QStringLiteral("1"));
        });
    }

    void addServerEmptyFieldIsRefusedWithoutARequest() {
        AddServerDialog dialog;
        int tries = 0;
        QStringList texts;
        const bool added = RunDialog(
            dialog,
            [&](const std::string&) {
                ++tries;
                return app::AddAttempt{true, {}};
            },
            [&](AddServerDialog& d) {
                QTest::keyClicks(d.Field(0), QStringLiteral("10"));
                QTest::keyClicks(d.Field(1), QStringLiteral("0"));
                QTest::keyClicks(d.Field(3), QStringLiteral("1"));
                ModalScript box;
                box.Answer(QMessageBox::Ok);
                d.OkButton()->click();
                texts = box.texts;
                QVERIFY(d.isVisible());
                QCOMPARE(d.focusWidget(), d.Field(0));
            });
        QVERIFY(!added);
        QCOMPARE(tries, 0);
        QCOMPARE(texts, QStringList({QStringLiteral("不正なIPアドレスです。")}));
    }

    void addServerFailedTestKeepsTheFieldsForAnotherTry() {
        AddServerDialog dialog;
        int tries = 0;
        bool enabledDuringTest = true;
        bool enabledAtMessage = false;
        bool hourglassAtMessage = true;
        QStringList texts;
        const bool added = RunDialog(
            dialog,
            [&](const std::string& address) {
                enabledDuringTest = dialog.isEnabled();
                const bool ok = ++tries == 2 && address == "999.999.999.999";
                return app::AddAttempt{ok, ok ? "" : "no answer"};
            },
            [&](AddServerDialog& d) {
                for (int i = 0; i < 4; ++i) {
                    QTest::keyClicks(d.Field(i), QStringLiteral("999"));
                }
                ModalScript box;
                box.Then([&](QWidget* modal) {
                    enabledAtMessage = d.isEnabled();
                    hourglassAtMessage = QApplication::overrideCursor() != nullptr;
                    QTest::keyClick(modal, Qt::Key_Return);
                });
                d.OkButton()->click();
                texts = box.texts;
                QVERIFY(d.isVisible());
                QVERIFY(d.isEnabled());
                QCOMPARE(d.Value(2), QStringLiteral("999"));
                d.OkButton()->click();
            });
        QVERIFY(added);
        QCOMPARE(tries, 2);
        QVERIFY(!enabledDuringTest);
        QCOMPARE(texts, QStringList({QStringLiteral("no answer")}));
        QVERIFY(enabledAtMessage);
        QVERIFY(!hourglassAtMessage);
        QVERIFY(!QApplication::overrideCursor());
    }

    void addServerFieldsAreEmptyOnEveryShowing() {
        AddServerDialog dialog;
        RunDialog(dialog, nullptr,
                  [](AddServerDialog& d) { QTest::keyClicks(d.Field(0), QStringLiteral("12")); });
        RunDialog(dialog, nullptr, [](AddServerDialog& d) {
            QCOMPARE(d.Value(0), QString());
            QVERIFY(d.Field(0)->hasFocus());
        });
    }

    void versionPictureIsOurJpegDecodedWithLibjpeg() {
        QFile file(QStringLiteral(":/version.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xFF\xD8"));
        QString error;
        const QImage image = JpegImage::Decode(bytes, &error);
        QCOMPARE(image.size(), QSize(480, 270));
        QVERIFY(error.isEmpty());
        // The top edge is the picture's dark sky, not a grey placeholder.
        const QColor corner = image.pixelColor(2, 2);
        QVERIFY(corner.blue() > corner.red() + 40);

        QVERIFY(JpegImage::Decode(QByteArray()).isNull());
        QVERIFY(JpegImage::Decode("not a picture", &error).isNull());
        QVERIFY(!error.isEmpty());
        // A cut-off file decodes as far as it goes, without crashing.
        const QImage cut = JpegImage::Decode(bytes.left(bytes.size() / 2));
        QCOMPARE(cut.size(), QSize(480, 270));
    }

    void busyAnimationRunsOnlyWhileActive() {
        BusyAnimation animation;
        QCOMPARE(animation.FrameCount(), 8);
        QVERIFY(!animation.IsActive());
        animation.SetActive(true);
        QTRY_VERIFY(animation.Frame() != 0);
        animation.SetActive(false);
        QCOMPARE(animation.Frame(), 0);
        QTest::qWait(3 * BusyAnimation::kFrameMs);
        QCOMPARE(animation.Frame(), 0);
    }

    void dataDirectoryIsRecordedAsRootDir() {
        QVERIFY(RootDirRecord::Write(QStringLiteral("/opt/kestrelview/")));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Brindlecove"), QStringLiteral("KestrelviewMan"));
        QCOMPARE(settings.value(QStringLiteral("RootDir")).toString(),
                 QStringLiteral("/opt/kestrelview/"));
    }

    void fileDialogFiltersShowEachPattern() {
        FileDialogOptions options;
        options.Filters = {{"*.csv", "*.csv"}, {"*.txt", "*.txt"}, {"*.*", "*.*"}};
        QCOMPARE(DesktopPort::NameFilters(options),
                 QStringList({QStringLiteral("*.csv (*.csv)"), QStringLiteral("*.txt (*.txt)"),
                              QStringLiteral("*.* (*)")}));
    }

    void waiterKeepsEventsFlowingAndSeesReadiness() {
        int fds[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        QtWaiter waiter;
        bool timerRan = false;
        QTimer::singleShot(20, [&timerRan] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!waiter.Wait(fds[0], Waiter::Direction::Readable, 150));
        QVERIFY(timerRan);  // the window would have painted meanwhile
        QVERIFY(clock.elapsed() >= 100);
        QVERIFY(waiter.Wait(fds[0], Waiter::Direction::Writable, 1000));

        QTimer::singleShot(30, [fd = fds[1]] { QCOMPARE(::write(fd, "x", 1), 1); });
        QVERIFY(waiter.Wait(fds[0], Waiter::Direction::Readable, 1000));
        ::close(fds[1]);
        ::close(fds[0]);
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
