#include "gui/qt_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "platform/open_files_text.h"

namespace quorrix {

QString toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (description.contains(QLatin1Char('(')) ? description
                                                           : description + QStringLiteral(" (") + patterns + ')');
    }
    return filters.join(QStringLiteral(";;"));
}

MsgAnswer QtDialogProvider::messageBox(const QString& text, const QString& title, MsgButtons buttons,
                                       MsgIcon icon) {
    QMessageBox box(owner_);
    box.setWindowTitle(title);
    box.setText(withLineFeeds(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(icon == MsgIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

QString QtDialogProvider::inputBox(const QString& prompt, const QString& title, const QString& proposed) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(owner_, title, withLineFeeds(prompt), QLineEdit::Normal, proposed, &ok);
    return ok ? answer : QString();
}

QString QtDialogProvider::showOpen(const OpenFilesRequest& request) {
    QFileDialog dialog(owner_, request.title);
    dialog.setFileMode((request.flags & 512) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(toQtFilter(request.filter));
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    return openFilesText(dialog.selectedFiles());
}

QString QtDialogProvider::pickFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(owner_, title, QString(), QFileDialog::ShowDirsOnly);
}

bool QtDialogProvider::openWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace quorrix
