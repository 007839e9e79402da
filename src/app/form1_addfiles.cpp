// "Add Project File(s)": files chosen in the file dialog join the end of the list.
#include <QDir>

#include "app/form1.h"
#include "filelist/file_entries.h"
#include "importer/plans/plan_reader.h"
#include "platform/application_title.h"
#include "platform/error_trap.h"

namespace quorrix {

namespace {

// Every kind of plan the import reads, then every file.
QString planFilesFilters() {
    QStringList patterns;
    for (const QString& extension : importer::plans::planFileExtensions()) patterns << QStringLiteral("*.") + extension;
    return QStringLiteral("All Plan Files|") + patterns.join(QLatin1Char(';')) + QStringLiteral("|All Files|*|");
}

}  // namespace

void Form1::PushButton1_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton1_Click"), dialogs());
    OpenFilesRequest dialog;

    trap.step(100, [&] { dialog.fileName = QString(); });
    // Read-only box set (1), several files (512), explorer style (524288), long names (2097152);
    // nothing requires the file or the path to exist.
    trap.step(102, [&] { dialog.flags = 2621953; });
    trap.step(104, [&] { dialog.title = QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"); });
    trap.step(106, [&] { dialog.filter = QStringLiteral("MS Project Files (*.mpp)|*.mpp|"); });
    trap.step(106, [&] { dialog.moreFilters = planFilesFilters(); });

    QString fileName;
    bool tooManyFiles = false;
    trap.step(108, [&] {
        try {
            fileName = dialogs().showOpen(dialog);
        } catch (const Failure& failure) {
            if (failure.number() != failure_number::kFileSelectionTooLong) throw;
            tooManyFiles = true;
        }
    });
    if (tooManyFiles) {
        dialogs().messageBox(QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the "
                                            "\"Add All\" button."),
                             applicationTitle(), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    if (trap.test(110, [&] { return fileName.isEmpty(); })) return;

    QStringList parts;
    trap.step(112, [&] { parts = fileName.split(QChar(0)); });
    const qsizetype k = parts.size() - 1;
    if (trap.test(114, [&] { return k == 0; })) {
        QString path;
        trap.step(116, [&] { path = parts.value(0); });
        trap.step(118, [&] { AddFileEntry(path); });
        return;
    }
    for (qsizetype j = 1; j <= k; ++j) {
        // A name that is a whole path already (a file from another folder than the first) is
        // taken as it stands, never joined to the folder.
        const bool whole = QDir::isAbsolutePath(parts[j]);
        QString path;
        trap.step(128, [&] { path = whole ? parts[j] : parts[0] + QDir::separator() + parts[j]; });
        trap.step(130, [&] {
            if (!whole) path = filelist::FixDriveRootPath(path);
        });
        trap.step(132, [&] { AddFileEntry(path); });
    }
}

}  // namespace quorrix
