#include "importer/plans/plan_reader.h"

#include <QFile>
#include <new>

#include "importer/plans/mpd/mpd_reader.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/mpx/mpx_reader.h"
#include "importer/plans/p6/p6_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {

namespace {

// The compound file and the database have fixed signatures and come first; P6 (XER by its
// header, P6 XML by its root element) before other markup; MPX, a text format with a fixed first
// record, comes after markup.
constexpr PlanFormat kFormats[] = {
    {"mpp", isCompoundFile, [](PlanFile& f, const ReadOptions& o) { return readMpp(std::move(f.bytes), o); }, true,
     "mpp mpt"},
    {"mpd", isJetDatabase, [](PlanFile& f, const ReadOptions& o) { return readMpd(f, o); }, false, "mpd"},
    {"p6", isP6File, [](PlanFile& f, const ReadOptions& o) { return readP6(std::move(f.bytes), o); }, true,
     "xer pmxml"},
    {"xml", isXmlFile, [](PlanFile& f, const ReadOptions& o) { return readMspdi(std::move(f.bytes), o); }, true,
     "xml"},
    {"mpx", isMpxFile, [](PlanFile& f, const ReadOptions& o) { return readMpx(f.bytes, o); }, true, "mpx"},
};

const PlanFormat* formatOf(const QByteArray& head) {
    for (const PlanFormat& format : kFormats)
        if (format.recognises(head)) return &format;
    return nullptr;
}

// Appends up to `count` more bytes of `file` to `bytes`; fewer when the file has shrunk since it
// was checked.
void readMore(QFile& file, QByteArray& bytes, qint64 count, const QString& name) {
    const qsizetype had = bytes.size();
    try {
        bytes.resize(had + static_cast<qsizetype>(count));
    } catch (const std::bad_alloc&) {
        throw Failure(failure_number::kOverflow, QStringLiteral("The plan \"%1\" is too large to be read in memory.").arg(name));
    }
    qint64 got = 0;
    while (got < count) {
        const qint64 n = file.read(bytes.data() + had + got, count - got);
        if (n < 0)
            throw Failure(failure_number::kPermissionDenied,
                          QStringLiteral("The file \"%1\" cannot be read: %2.").arg(name, file.errorString()));
        if (n == 0) break;
        got += n;
    }
    bytes.truncate(had + static_cast<qsizetype>(got));
}

}  // namespace

std::span<const PlanFormat> planFormats() { return kFormats; }

QStringList planFileExtensions() {
    QStringList extensions;
    for (const PlanFormat& format : kFormats) {
        if (!format.extensions) continue;
        const QStringList listed = QString::fromLatin1(format.extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& extension : listed)
            if (!extensions.contains(extension)) extensions << extension;
    }
    return extensions;
}

Plan readPlanFile(const QString& path, const ReadOptions& options) {
    PlanFile plan{path, checkPlanFile(path), {}};
    const QString name = shownFileName(path);
    const auto empty = [&] {
        return Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is empty.").arg(name));
    };
    if (plan.size == 0) throw empty();

    QFile file;
    if (const QString why = openForReading(file, path); !why.isEmpty())
        throw Failure(failure_number::kPermissionDenied,
                      QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(name, why));
    readMore(file, plan.bytes, std::min(plan.size, kPlanHeadSize), name);
    if (plan.bytes.isEmpty()) throw empty();
    const PlanFormat* format = formatOf(plan.bytes);
    if (!format)
        throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is not a project plan.").arg(name));
    if (format->wholeFile) readMore(file, plan.bytes, plan.size - plan.bytes.size(), name);
    file.close();

    try {
        return format->read(plan, options);
    } catch (const Failure& failure) {
        throw namedFailure(failure, name);
    }
}

}  // namespace quorrix::importer::plans
