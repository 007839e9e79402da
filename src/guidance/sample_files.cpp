#include "guidance/sample_files.h"

#include <QDir>

#include "filelist/folder_routines.h"
#include "platform/application_title.h"

namespace quorrix::guidance {

QString sampleFolderQuestion() {
    return QStringLiteral(
        "Would you like this software to open the folder where these sample files are stored (so that you "
        "can view them before working with them)?");
}

QString sampleFolder(const QString& installFolder) { return installFolder + QStringLiteral("/Samples"); }

QString sampleFolderWithSeparator(const QString& installFolder) {
    return installFolder + QStringLiteral("/Samples/");
}

void LoadSampleFiles(ErrorTrap& trap, const QString& installFolder, DialogProvider& dialogs,
                     const filelist::AddEntry& addEntry) {
    // A listing that fails leaves the empty name list: nothing is added and the question still comes.
    IsInstalled::NameList samples{QStringList{QString()}};
    trap.step(100, [&] { samples = IsInstalled::ListFolderFiles(sampleFolder(installFolder), QStringLiteral("*.*")); });

    int upperBound = 0;
    trap.step(102, [&] { upperBound = samples.upperBound(); });
    for (int i = 1; i <= upperBound; ++i) {
        trap.step(104, [&] { addEntry(sampleFolderWithSeparator(installFolder) + samples.names.at(i)); });
    }
    // A folder past the walk's bound has added its first names; one report says so.
    if (samples.cut) trap.step(104, [&] { throw AddFolder::walkLimitFailure(sampleFolder(installFolder)); });

    MsgAnswer answer = MsgAnswer::No;
    trap.step(106, [&] {
        answer = dialogs.messageBox(sampleFolderQuestion(), applicationTitle(), MsgButtons::YesNo, MsgIcon::None);
    });
    // A desktop with nothing to open folders with says so, rather than leaving the answer unseen.
    trap.step(108, [&] {
        const QString folder = sampleFolderWithSeparator(installFolder);
        if (answer == MsgAnswer::Yes && !dialogs.openWithDesktop(folder))
            dialogs.messageBox(QStringLiteral("The sample folder could not be opened: no program on this desktop "
                                              "opens folders. The sample files are in:\r\n") +
                                   QDir::toNativeSeparators(folder),
                               applicationTitle(), MsgButtons::Ok, MsgIcon::None);
    });
}

}  // namespace quorrix::guidance
