#include "platform/install_folder.h"

#include <QDir>
#include <QFileInfo>

namespace quorrix {

namespace {

// A folder holds the auxiliary files when the hand pointer, which every start loads, is there.
bool holdsAuxiliaryFiles(const QString& folder) {
    return QFileInfo(folder + QStringLiteral("/HAND-M.CUR")).isFile();
}

}  // namespace

QString auxiliaryFolder(const QString& executableFolder) {
    if (holdsAuxiliaryFiles(executableFolder)) return executableFolder;
    const QString shared = QDir::cleanPath(executableFolder + QStringLiteral("/../share/quorrix"));
    if (holdsAuxiliaryFiles(shared)) {
        const QString real = QFileInfo(shared).canonicalFilePath();
        return real.isEmpty() ? shared : real;
    }
    return executableFolder;
}

}  // namespace quorrix
