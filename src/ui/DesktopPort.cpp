#include "ui/DesktopPort.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "app/ManagerModel.h"
#include "ui/AddServerDialog.h"
#include "ui/MainWindow.h"
#include "ui/SjisText.h"
#include "ui/VersionWindow.h"

namespace kv::ui {

namespace {

QString Title() {
    return FromSjis(app::ManagerModel::ApplicationTitle());
}

QMessageBox::StandardButton Ask(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape) {
    QMessageBox box(icon, Title(), text, buttons, owner);
    box.setEscapeButton(escape);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

DesktopPort::DesktopPort() = default;

DesktopPort::~DesktopPort() {
    while (busy_ > 0) {
        SetBusyCursor(false);
    }
}

void DesktopPort::Attach(MainWindow* window) {
    window_ = window;
    version_ = new VersionWindow(window);
    addServer_ = new AddServerDialog(window);
}

QWidget* DesktopPort::Owner() const {
    return window_;
}

bool DesktopPort::ConfirmOkCancel(std::string_view text) {
    return Ask(Owner(), QMessageBox::Question, FromSjisLines(text),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

app::YesNoCancel DesktopPort::AskYesNoCancel(std::string_view text) {
    switch (Ask(Owner(), QMessageBox::Question, FromSjisLines(text),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return app::YesNoCancel::Yes;
        case QMessageBox::No:
            return app::YesNoCancel::No;
        default:
            return app::YesNoCancel::Cancel;
    }
}

void DesktopPort::ShowMessage(std::string_view text) {
    Ask(Owner(), QMessageBox::Information, FromSjisLines(text), QMessageBox::Ok, QMessageBox::Ok);
}

void DesktopPort::ReportError(std::string_view text) {
    Ask(Owner(), QMessageBox::Critical, FromSjisLines(text), QMessageBox::Ok, QMessageBox::Ok);
}

QStringList DesktopPort::NameFilters(const app::FileDialogOptions& options) {
    QStringList filters;
    for (const app::FileFilter& filter : options.Filters) {
        QString pattern = FromSjis(filter.Pattern);
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filters.append(QStringLiteral("%1 (%2)").arg(FromSjis(filter.Label), pattern));
    }
    return filters;
}

std::optional<std::string> DesktopPort::ChooseFile(const app::FileDialogOptions& options,
                                                   bool save) {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(options.DefaultExtension));
    // Each entry shows its own label only ("*.csv"), not Qt's "label (patterns)".
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = NameFilters(options);
    dialog.setNameFilters(filters);
    if (options.FilterIndex < static_cast<std::size_t>(filters.size())) {
        dialog.selectNameFilter(filters.at(static_cast<qsizetype>(options.FilterIndex)));
    }
    if (!options.FileName.empty()) {
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(options.FileName)));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

std::optional<std::string> DesktopPort::ChooseOpenFile(const app::FileDialogOptions& options) {
    return ChooseFile(options, false);
}

std::optional<std::string> DesktopPort::ChooseSaveFile(const app::FileDialogOptions& options) {
    return ChooseFile(options, true);
}

void DesktopPort::SetBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busy_;
    } else if (busy_ > 0) {
        QApplication::restoreOverrideCursor();
        --busy_;
    }
}

void DesktopPort::MoveFocus(app::FocusTarget target) {
    if (window_) {
        window_->MoveFocus(target);
    }
}

void DesktopPort::CloseMainWindow() {
    if (window_) {
        window_->close();
    }
}

void DesktopPort::OpenWebPage(std::string_view url) {
    QDesktopServices::openUrl(QUrl(FromSjis(url)));
}

void DesktopPort::ShowVersionWindow() {
    if (version_) {
        version_->exec();
    }
}

bool DesktopPort::ShowAddServerDialog(const app::TryAddress& tryAddress) {
    return addServer_ && addServer_->Run(tryAddress);
}

void DesktopPort::OpenFileView(std::string_view caption, std::string text) {
    if (window_) {
        window_->OpenFileView(FromSjis(caption), std::move(text));
    }
}

}  // namespace kv::ui
