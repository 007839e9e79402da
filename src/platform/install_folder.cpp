#include "platform/install_folder.h"

#include <QDir>
#include <QFileInfo>

namespace quorrix {

namespace {

// A folder holds the auxiliary files when the hand pointer, which every start loads, is there.
bool holdsAuxiliaryFiles(const QString& folder) {
    return QFileInfo(folder + QStringLiteral("/HAND-M.CUR")).isFile();
}

bool isProgram(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

QString auxiliaryProgram(const QString& executableFolder, const QString& name) {
    const QString beside = executableFolder + QLatin1Char('/') + name;
    if (isProgram(beside)) return beside;
    const QString installed = QDir::cleanPath(executableFolder + QStringLiteral("/../lib/quorrix/") + name);
    return isProgram(installed) ? installed : beside;
}

QString executableFolder() {
    static const QString folder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path();
    return folder;
}

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
