#include "importer/plans/plan_reader.h"

#include <QFile>

#include "importer/plans/common/plan_file.h"
#include "importer/plans/mpd/mpd_reader.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/mpx/mpx_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {

namespace {

// The compound file and the database have fixed signatures and come first; MPX, a text format
// with a fixed first record, comes after markup.
constexpr PlanFormat kFormats[] = {
    {"mpp", isCompoundFile, readMppFile},
    {"mpd", isJetDatabase, readMpdFile},
    {"xml", isXmlFile, readMspdiFile},
    {"mpx", isMpxFile, readMpxFile},
};

}  // namespace

std::span<const PlanFormat> planFormats() { return kFormats; }

Plan readPlanFile(const QString& path, const ReadOptions& options) {
    const qint64 size = checkPlanFile(path);
    const QString name = shownFileName(path);
    if (size == 0) throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is empty.").arg(name));

    QByteArray head;
    {
        QFile file;
        if (const QString why = openForReading(file, path); !why.isEmpty())
            throw Failure(failure_number::kPermissionDenied,
                          QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(name, why));
        head = file.read(512);
    }

    for (const PlanFormat& format : kFormats)
        if (format.recognises(head)) return format.read(path, options);
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is not a project plan.").arg(name));
}

}  // namespace quorrix::importer::plans
