#include "importer/plans/common/plan_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "platform/failure.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {

namespace {

constexpr int kPathFileAccessError = 75;
constexpr qsizetype kShownValueLength = 40;

QString oneLine(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char('?');
    return text;
}

}  // namespace

QString shownFileName(const QString& path) {
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty()) name = path;
    return oneLine(name);
}

QString shownValue(const QString& text) {
    QString shown = oneLine(text);
    if (shown.size() > kShownValueLength) shown = shown.left(kShownValueLength) + QStringLiteral("...");
    return shown;
}

qint64 checkPlanFile(const QString& path) {
    using namespace failure_number;
    if (path.isEmpty()) throw Failure(kFileNotFound, QStringLiteral("No file name was given."));
    const QString name = shownFileName(path);
    // A NUL would end the path early: there is no such file.
    if (path.contains(QChar(0)))
        throw Failure(kFileNotFound, QStringLiteral("The file \"%1\" could not be found.").arg(name));
    const QByteArray native = encodeFileName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        struct stat link {};
        if (::lstat(native.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            throw Failure(kFileNotFound, QStringLiteral("The file \"%1\" is a link to a file that does not exist.").arg(name));
        throw Failure(kFileNotFound, QStringLiteral("The file \"%1\" could not be found.").arg(name));
    }
    if (S_ISDIR(st.st_mode))
        throw Failure(kPathFileAccessError, QStringLiteral("\"%1\" is a folder, not a plan file.").arg(name));
    if (!S_ISREG(st.st_mode))
        throw Failure(kPathFileAccessError, QStringLiteral("\"%1\" is not a regular file.").arg(name));
    if (::access(native.constData(), R_OK) != 0)
        throw Failure(kPermissionDenied, QStringLiteral("The file \"%1\" cannot be read: permission denied.").arg(name));
    const qint64 size = st.st_size;
    if (size > kMaxPlanFileSize)
        throw Failure(kBadFileFormat, QStringLiteral("The file \"%1\" is too large to be a plan (over 2 GB).").arg(name));
    return size;
}

Failure namedFailure(const Failure& failure, const QString& name) {
    static const QLatin1String kSubjects[] = {QLatin1String("The file "), QLatin1String("The plan "),
                                              QLatin1String("The database ")};
    static const QLatin1String kThisPlan("This plan ");
    const QString& text = failure.description();
    const QString quoted = QLatin1Char('"') + name + QStringLiteral("\" ");
    for (const QLatin1String& subject : kSubjects)
        if (text.startsWith(subject)) return Failure(failure.number(), subject + quoted + text.mid(subject.size()));
    if (text.startsWith(kThisPlan))
        return Failure(failure.number(), QStringLiteral("The plan ") + quoted + text.mid(kThisPlan.size()));
    return failure;
}

}  // namespace quorrix::importer::plans
