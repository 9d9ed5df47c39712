#include "ui/ConnectionPane.h"

#include <string>

#include "app/ManagerModel.h"
#include "ui/SjisText.h"

namespace kv::ui {

namespace {

const QString kUser = QStringLiteral("User");
const QString kPassword = QStringLiteral("Password");
const QString kPort = QStringLiteral("Port");
constexpr int kPortDigits = 5;

}  // namespace

ConnectionPane::ConnectionPane(app::ManagerModel& model, QWidget* parent)
    : PropertyGrid(parent), model_(model) {
    setObjectName(QStringLiteral("GrdNetwork"));
    setFixedHeight(kHeight);
    AddItem(kUser, QStringLiteral("ユーザ名"), {});
    AddItem(kPassword, QStringLiteral("パスワード"), {});
    AddItem(kPort, QStringLiteral("ポート"), {}, kPortDigits);
    connect(this, &PropertyGrid::ValueChanged, this,
            [this](const QString& name, const QString&, const QString& text) {
                const std::string bytes = ToSjis(text).value_or(std::string());
                if (name == kUser) {
                    model_.ChangeUser(bytes);
                } else if (name == kPassword) {
                    model_.ChangePassword(bytes);
                } else {
                    model_.ChangePort(bytes);
                }
                Refresh();
            });
}

void ConnectionPane::Refresh() {
    const agent::ConnectionSettings& connection = model_.Connection();
    SetValue(kUser, FromSjis(connection.User()));
    SetValue(kPassword, FromSjis(connection.Password()));
    SetValue(kPort, FromSjis(connection.PortText()));
}

}  // namespace kv::ui
