#include "importer/plans/p6/p6_reader.h"

#include <QFile>

#include "importer/plans/common/plan_file.h"
#include "platform/failure.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {

bool isP6File(const QByteArray& head) { return isXerFile(head) || isP6XmlFile(head); }

Plan readP6File(const QString& path, const ReadOptions& options) {
    const qint64 size = checkPlanFile(path);
    const QString name = shownFileName(path);
    if (size == 0) throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is empty.").arg(name));
    QFile file;
    if (const QString why = openForReading(file, path); !why.isEmpty())
        throw Failure(failure_number::kPermissionDenied, QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(name, why));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(failure_number::kPermissionDenied,
                      QStringLiteral("The file \"%1\" cannot be read: %2.").arg(name, file.errorString()));
    file.close();
    const bool xer = isXerFile(bytes.left(16));
    return xer ? readXer(std::move(bytes), name, options) : readP6Xml(std::move(bytes), name, options);
}

}  // namespace quorrix::importer::plans
