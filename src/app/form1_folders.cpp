// Adding the files of folders: the folder scan and drops from the file manager.
#include <QCoreApplication>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "app/form1.h"
#include "filelist/folder_routines.h"
#include "filelist/folder_sources.h"
#include "platform/application_title.h"
#include "platform/error_trap.h"
#include "platform/file_names.h"

namespace quorrix {

namespace {

void yieldToWindow() { QCoreApplication::processEvents(); }

}  // namespace

void Form1::PushButton4_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton4_Click"), dialogs());

    QString extension;
    trap.step(100, [&] {
        extension = dialogs().inputBox(QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all "
                                                      "txt files, doc for all doc files, etc.)"),
                                       applicationTitle(), QStringLiteral("mpp"));
    });
    if (trap.test(102, [&] { return extension.isEmpty(); })) return;
    trap.step(104, [&] { services_.settings->write(QStringLiteral("Extension"), extension); });

    QString folder;
    trap.step(106, [&] { folder = AddFolder::PickFolder(dialogs(), QStringLiteral("Please select folder:")); });
    if (trap.test(108, [&] { return folder.isEmpty(); })) return;

    trap.step(110, [&] { setMousePointer(kPointerHourglass); });
    filelist::AddFolderTree(
        folder, extension, [this](const QString& path) { AddFileEntry(path); }, yieldToWindow,
        [&trap](int line, const std::function<void()>& statement) { trap.step(line, statement); });
    trap.step(132, [&] { setMousePointer(kPointerDefault); });
}

bool Form1::ListView1_OLEDragOver(const QMimeData* data) {
    // Only a list of files from the file manager: text, images and web links are refused.
    if (!data || !data->hasUrls()) return false;
    const QList<QUrl> urls = data->urls();
    return !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) {
        return url.isLocalFile() && !url.toLocalFile().isEmpty();
    });
}

void Form1::ListView1_OLEDragDrop(const QMimeData* data) {
    if (!ListView1_OLEDragOver(data)) return;
    // The paths are taken before the first walk yields: the drag data may not outlive the drop.
    QStringList paths;
    for (const QUrl& url : data->urls()) paths << localFileOf(url);  // a name's bytes as they are
    AddDroppedPaths(paths);
}

void Form1::AddDroppedPaths(const QStringList& paths) {
    // A drop reports nothing but a walk that stopped at its bound.
    const filelist::WalkStopped stopped = [this](const Failure& f) {
        dialogs().messageBox(f.description(), applicationTitle(), MsgButtons::Ok, MsgIcon::Warning);
    };
    for (const QString& path : paths)
        filelist::AddDroppedPath(
            path, [this](const QString& entry) { AddFileEntry(entry); }, yieldToWindow, realFileSystem(), stopped);
}

}  // namespace quorrix
