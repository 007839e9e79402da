#include "platform/open_files_text.h"

#include <QDir>
#include <QFileInfo>

#include "platform/failure.h"

namespace quorrix {

QString openFilesText(const QStringList& chosenPaths) {
    if (chosenPaths.isEmpty()) return {};
    QString text;
    if (chosenPaths.size() == 1) {
        text = chosenPaths.front();
    } else {
        // The folder of the first file, then the names in the order chosen: a file of that folder
        // by its bare name, a file of any other folder (the dialog takes quoted paths from
        // several) by its whole path, so that it is never joined to the wrong folder.
        const QString folder = QFileInfo(chosenPaths.front()).absolutePath();
        text = folder;
        for (const QString& p : chosenPaths) {
            const QFileInfo file(p);
            text += QChar(0);
            if (file.absolutePath() == folder)
                text += file.fileName();
            else
                text += QDir::isAbsolutePath(p) ? p : file.absoluteFilePath();
        }
    }
    if (text.size() > kOpenFilesBufferChars)
        throw Failure(failure_number::kFileSelectionTooLong, QStringLiteral("The file name buffer is too small."));
    return text;
}

}  // namespace quorrix
