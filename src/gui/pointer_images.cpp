#include "gui/pointer_images.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

#include "platform/failure.h"

namespace quorrix {

QCursor loadPointerImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(failure_number::kFileNotFound, QStringLiteral("File not found: ") + path);
    QByteArray bytes = file.read(4 * 1024 * 1024);

    const auto invalid = [&] {
        return Failure(failure_number::kBadFileFormat, QStringLiteral("Invalid picture: ") + path);
    };
    // ICONDIR: reserved 0, type (1 icon, 2 cursor), count; then 16-byte entries.
    if (bytes.size() < 22) throw invalid();
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const quint16 reserved = qFromLittleEndian<quint16>(p);
    const quint16 type = qFromLittleEndian<quint16>(p + 2);
    const quint16 count = qFromLittleEndian<quint16>(p + 4);
    if (reserved != 0 || (type != 1 && type != 2) || count == 0) throw invalid();
    const int hotX = qFromLittleEndian<quint16>(p + 6 + 4);
    const int hotY = qFromLittleEndian<quint16>(p + 6 + 6);

    // The image decoder knows icons only; a cursor is an icon with a hotspot in place of the
    // planes and bit count, so it is decoded as an icon.
    if (type == 2) {
        bytes[2] = 1;
        bytes[6 + 4] = 1;
        bytes[6 + 5] = 0;
        bytes[6 + 6] = 32;
        bytes[6 + 7] = 0;
    }
    const QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull()) throw invalid();
    if (type == 2) return QCursor(QPixmap::fromImage(image), hotX, hotY);
    return QCursor(QPixmap::fromImage(image));
}

}  // namespace quorrix
