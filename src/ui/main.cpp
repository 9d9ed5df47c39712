#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/AgentFlows.h"
#include "app/ManagerModel.h"
#include "settings/BuildInfo.h"
#include "settings/DataDirectory.h"
#include "ui/AgentConnection.h"
#include "ui/DesktopPort.h"
#include "ui/DiscoveryWatch.h"
#include "ui/MainWindow.h"
#include "ui/Resources.h"
#include "ui/RootDirRecord.h"
#include "ui/SjisText.h"
#include "ui/TransferProgress.h"
#include "ui/WindowFont.h"

namespace {

constexpr char kUsage[] =
    "Usage: kestrelview [--data-dir DIR]\n"
    "The Kestrelview Manager window.\n"
    "\n"
    "  --data-dir DIR  data directory (Server.csv, Kestrelview.cnf, env.csv); default:\n"
    "                  $KESTRELVIEW_DATA_DIR, else $XDG_DATA_HOME/kestrelview when\n"
    "                  installed, else the program's own directory\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n";

// Answered before the window system is touched, so both work without a display.
int AnswerInformationOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--data-dir") {
            ++i;
        } else if (argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument == "--version") {
            std::printf("kestrelview %s\n", kv::settings::kVersion);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = AnswerInformationOption(argc, argv); status >= 0) {
        return status;
    }
    QApplication app(argc, argv);
    // Qt's own dialogs and message box buttons speak the window's language, whatever the
    // desktop's locale; without the catalogue they stay English.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtJapanese);
    }
    kv::ui::LoadResources();
    kv::ui::WindowFont::InstallSubstitutes();
    QApplication::setFont(kv::ui::WindowFont::Window());
    QApplication::setApplicationName(kv::ui::FromSjis(kv::app::ManagerModel::ApplicationTitle()));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kestrelview.png")));

    std::string dataDir;
    try {
        std::vector<std::string> arguments;
        for (const QString& argument : QApplication::arguments().mid(1)) {
            arguments.push_back(QFile::encodeName(argument).toStdString());
        }
        const char* environment = std::getenv("KESTRELVIEW_DATA_DIR");
        dataDir = kv::settings::ResolveDataDirectory(
            arguments, environment ? std::optional<std::string>(environment) : std::nullopt,
            kv::settings::ExecutablePath());
    } catch (const std::invalid_argument& failure) {
        std::fprintf(stderr, "kestrelview: %s\n", failure.what());
        return 2;
    }

    kv::ui::RootDirRecord::Write(QFile::decodeName(QByteArray::fromStdString(dataDir)));
    try {
        kv::settings::CreateFirstRunFiles(dataDir);
    } catch (const std::exception&) {
        // A read-only data directory still lets the Manager show what it has.
    }

    kv::ui::DesktopPort port;
    kv::ui::AgentConnection agents;
    kv::app::ManagerModel model(port, dataDir);
    model.SetRequestPort(&agents);
    kv::app::AgentFlows flows(model);
    flows.Install();
    model.FormCreate();
    kv::ui::MainWindow window(model);
    port.Attach(&window);
    kv::ui::TransferProgress transfer(window.Status());
    agents.SetOnProgress([&transfer](std::uint64_t received, std::int64_t total) {
        transfer.Update(received, total);
    });
    kv::ui::DiscoveryWatch discovery([&flows] { flows.DiscoveryReadable(); });
    flows.SetDiscoveryWatcher([&discovery](int handle) { discovery.Watch(handle); });
    window.show();
    return QApplication::exec();
}
