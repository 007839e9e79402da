#include "filelist/file_entries.h"

#include <QDir>

namespace quorrix::filelist {

QString FixDriveRootPath(const QString& path) {
    QString fixed = path;
    fixed.replace(QStringLiteral(":\\\\"), QStringLiteral(":\\"));
    // The root "/" joined with "/" and a name gives "//name"; only a leading pair is the root's.
    if (fixed.startsWith(QStringLiteral("//")) && !fixed.startsWith(QStringLiteral("///")) &&
        QDir::separator() == QLatin1Char('/'))
        fixed.remove(0, 1);
    return fixed;
}

}  // namespace quorrix::filelist
