#include "platform/install_folder.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "platform/file_names.h"

namespace quorrix {

namespace {

// A folder holds the auxiliary files when the hand pointer, which every start loads, is there.
bool holdsAuxiliaryFiles(const QString& folder) {
    return QFileInfo(folder + QStringLiteral("/HAND-M.CUR")).isFile();
}

bool isProgram(const QString& path) {
    const QByteArray bytes = encodeFileName(path);
    struct stat st {};
    return ::stat(bytes.constData(), &st) == 0 && S_ISREG(st.st_mode) && ::access(bytes.constData(), X_OK) == 0;
}

}  // namespace

QString auxiliaryProgram(const QString& executableFolder, const QString& name) {
    const QString beside = executableFolder + QLatin1Char('/') + name;
    if (isProgram(beside)) return beside;
    const QString installed = QDir::cleanPath(executableFolder + QStringLiteral("/../lib/quorrix/") + name);
    return isProgram(installed) ? installed : beside;
}

QString executableFolder() {
    static const QString folder = [] {
        char path[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof path)) return QString();
        const QByteArray bytes(path, n);
        return decodeFileName(bytes.left(std::max<qsizetype>(bytes.lastIndexOf('/'), 1)));
    }();
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
