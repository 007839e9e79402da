#include "importer/plans/plan_reader.h"

#include <QByteArray>
#include <QFile>

#include "importer/plans/mpd_reader.h"
#include "importer/plans/mpp_reader.h"
#include "importer/plans/mpx_reader.h"
#include "importer/plans/mspdi_reader.h"
#include "importer/plans/p6/p6_reader.h"
#include "importer/plans/plan_file.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {

namespace {

// Enough of a file to find an XML root element behind a declaration and comments.
constexpr qint64 kHeadSize = 4096;

enum class Format { Xml, P6Xml, Xer, Ole2, Mpx, Mpd, Unknown };

// Markup, possibly behind a byte-order mark, in UTF-8, UTF-16 or UTF-32.
bool looksLikeXml(const QByteArray& head) {
    const auto at = [&](qsizetype i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
    qsizetype i = 0;
    int unit = 1;        // bytes per code unit
    bool bigEndian = false;
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        i = 3;
    } else if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0xFE && at(3) == 0xFF) {
        i = 4, unit = 4, bigEndian = true;
    } else if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0x00 && at(3) == 0x00) {
        i = 4, unit = 4;
    } else if (at(0) == 0xFE && at(1) == 0xFF) {
        i = 2, unit = 2, bigEndian = true;
    } else if (at(0) == 0xFF && at(1) == 0xFE) {
        i = 2, unit = 2;
    } else if (at(0) == 0x00 && at(1) == 0x3C) {
        unit = 2, bigEndian = true;
    } else if (at(0) == 0x3C && at(1) == 0x00) {
        unit = 2;
    }
    for (; i + unit <= head.size(); i += unit) {
        unsigned c = 0;
        bool wide = false;
        for (int b = 0; b < unit; ++b) {
            const unsigned byte = at(i + b);
            const bool low = bigEndian ? b == unit - 1 : b == 0;
            if (low) c = byte;
            else if (byte != 0) wide = true;
        }
        if (wide) return false;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return c == '<';
    }
    return false;
}

Format formatOf(const QByteArray& head) {
    static const char kOle2[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (head.startsWith(QByteArray::fromRawData(kOle2, 8))) return Format::Ole2;
    if (isJetDatabase(head)) return Format::Mpd;
    if (isXerFile(head)) return Format::Xer;
    if (isP6XmlFile(head)) return Format::P6Xml;
    if (looksLikeXml(head)) return Format::Xml;
    if (isMpxFile(head)) return Format::Mpx;
    return Format::Unknown;
}

// The whole file, for the readers that take bytes.
QByteArray wholeFile(const QString& path, const QString& name) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(failure_number::kPermissionDenied,
                      QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(name, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(failure_number::kPermissionDenied,
                      QStringLiteral("The file \"%1\" cannot be read: %2.").arg(name, file.errorString()));
    return bytes;
}

}  // namespace

Plan readPlanFile(const QString& path, const ReadOptions& options) {
    const qint64 size = checkPlanFile(path);
    const QString name = shownFileName(path);
    if (size == 0) throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is empty.").arg(name));

    QByteArray head;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(failure_number::kPermissionDenied,
                          QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(name, file.errorString()));
        head = file.read(kHeadSize);
    }

    switch (formatOf(head)) {
    case Format::Xml:
        return readMspdiFile(path, options);
    case Format::P6Xml:
        return readP6Xml(wholeFile(path, name), name, options);
    case Format::Xer:
        return readXer(wholeFile(path, name), name, options);
    case Format::Ole2:
        return readMppFile(path, options);
    case Format::Mpx:
        return readMpxFile(path, options);
    case Format::Mpd:
        return readMpdFile(path, options);
    case Format::Unknown:
        break;
    }
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file \"%1\" is not a project plan.").arg(name));
}

}  // namespace quorrix::importer::plans
