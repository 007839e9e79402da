#include "gui/pointer_images.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/failure.h"

namespace quorrix {
namespace {

QString installed(const QString& name) { return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name; }

TEST(PointerImages, TheHandPointsWithItsFingertip) {
    const QString path = installed(QStringLiteral("HAND-M.CUR"));
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    const QCursor hand = loadPointerImage(path);
    EXPECT_EQ(hand.hotSpot(), QPoint(10, 1));
    const QImage image = hand.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(32, 32));
    // The hotspot lies on the drawn fingertip; the corners and the space left of the finger are clear.
    EXPECT_GT(qAlpha(image.pixel(10, 1)), 128);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(31, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(3, 3)), 0);
    // The finger is white inside its black outline.
    EXPECT_EQ(image.pixel(10, 8) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_LT(qRed(image.pixel(7, 8)), 64);
    EXPECT_GT(qAlpha(image.pixel(7, 8)), 128);
}

TEST(PointerImages, TheDragIconIsA32PixelIconPointingWithItsCentre) {
    const QString path = installed(QStringLiteral("drag.ico"));
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    const QCursor drag = loadPointerImage(path);
    EXPECT_EQ(drag.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(drag.hotSpot(), QPoint(16, 16));
}

TEST(PointerImages, BrokenFilesFail) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const auto failureNumber = [](const QString& path) {
        try {
            loadPointerImage(path);
        } catch (const Failure& failure) {
            EXPECT_FALSE(failure.description().isEmpty());
            EXPECT_FALSE(failure.description().contains(QLatin1Char('\n')));
            return failure.number();
        }
        return 0;
    };

    EXPECT_EQ(failureNumber(dir.filePath(QStringLiteral("missing.cur"))), failure_number::kFileNotFound);
    EXPECT_EQ(failureNumber(write(QStringLiteral("short.cur"), QByteArray("\0\0\2\0\1\0", 6))),
              failure_number::kBadFileFormat);
    EXPECT_EQ(failureNumber(write(QStringLiteral("text.cur"), QByteArray(64, 'x'))), failure_number::kBadFileFormat);

    // A valid directory whose image data is cut off.
    QFile hand(installed(QStringLiteral("HAND-M.CUR")));
    ASSERT_TRUE(hand.open(QIODevice::ReadOnly));
    const QByteArray whole = hand.readAll();
    EXPECT_EQ(failureNumber(write(QStringLiteral("cut.cur"), whole.left(40))), failure_number::kBadFileFormat);
}

}  // namespace
}  // namespace quorrix
