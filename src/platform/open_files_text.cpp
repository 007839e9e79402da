#include "platform/open_files_text.h"

#include <QFileInfo>

#include "platform/failure.h"

namespace quorrix {

QString openFilesText(const QStringList& chosenPaths) {
    if (chosenPaths.isEmpty()) return {};
    QString text;
    if (chosenPaths.size() == 1) {
        text = chosenPaths.front();
    } else {
        // The dialog picks from one folder; its names follow it in the order chosen.
        text = QFileInfo(chosenPaths.front()).absolutePath();
        for (const QString& p : chosenPaths) {
            text += QChar(0);
            text += QFileInfo(p).fileName();
        }
    }
    if (text.size() > kOpenFilesBufferChars)
        throw Failure(failure_number::kFileSelectionTooLong, QStringLiteral("The file name buffer is too small."));
    return text;
}

}  // namespace quorrix
