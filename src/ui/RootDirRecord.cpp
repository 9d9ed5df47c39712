#include "ui/RootDirRecord.h"

#include <QSettings>

namespace kv::ui {

const QString& RootDirRecord::Organisation() {
    static const QString name = QStringLiteral("Brindlecove");
    return name;
}

const QString& RootDirRecord::Application() {
    static const QString name = QStringLiteral("KestrelviewMan");
    return name;
}

bool RootDirRecord::Write(const QString& dataDirectory) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Organisation(),
                       Application());
    settings.setValue(QStringLiteral("RootDir"), dataDirectory);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace kv::ui
