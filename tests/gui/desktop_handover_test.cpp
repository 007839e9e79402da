// What the desktop receives when the sample folder or the help picture is opened with the real
// dialog provider: a file URL that names exactly the path, spaces and trailing separator included.
#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <gtest/gtest.h>

#include "gui/qt_dialogs.h"
#include "guidance/help_advice.h"
#include "guidance/sample_files.h"

namespace quorrix {
namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class DesktopHandover : public ::testing::Test {
protected:
    void SetUp() override { QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open"); }
    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    UrlCatcher catcher;
    QtDialogProvider dialogs;
};

TEST_F(DesktopHandover, SampleFolderWithSpacesAndTrailingSeparator) {
    const QString install = QStringLiteral("/home/ana/My Programs/Quorrix 1.0");
    dialogs.openWithDesktop(guidance::sampleFolderWithSeparator(install));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), QStringLiteral("/home/ana/My Programs/Quorrix 1.0/Samples/"));
    EXPECT_EQ(catcher.urls[0].toString(QUrl::FullyEncoded),
              QStringLiteral("file:///home/ana/My%20Programs/Quorrix%201.0/Samples/"));
}

TEST_F(DesktopHandover, HelpPictureWithSpaces) {
    const QString install = QStringLiteral("/opt/Veltrano Tools/Quorrix");
    dialogs.openWithDesktop(guidance::advicePicturePath(install));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(),
              QStringLiteral("/opt/Veltrano Tools/Quorrix/possible-error-messages/error.jpg"));
    EXPECT_FALSE(catcher.urls[0].toString(QUrl::FullyEncoded).contains(QLatin1Char('"')));
}

}  // namespace
}  // namespace quorrix

#include "desktop_handover_test.moc"
