#include <gtest/gtest.h>

#include "app/form1.h"
#include "filelist/file_entries.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::FormFixture;
const QChar NUL(0);

TEST(FixDriveRootPath, CollapsesTheRootsDoubledSeparatorOnly) {
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("C:\\\\a.mpp")), QStringLiteral("C:\\a.mpp"));
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("C:\\\\x\\C:\\\\y")), QStringLiteral("C:\\x\\C:\\y"));
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("\\\\server\\share\\a.mpp")),
              QStringLiteral("\\\\server\\share\\a.mpp"));
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("c:\\\\A")), QStringLiteral("c:\\A"));
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("//a.mpp")), QStringLiteral("/a.mpp"));
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("//Sub/b.mpp")), QStringLiteral("/Sub/b.mpp"));
    EXPECT_EQ(filelist::FixDriveRootPath(QStringLiteral("/plans//a.mpp")), QStringLiteral("/plans//a.mpp"));
}

class AddFilesTest : public FormFixture {};

TEST_F(AddFilesTest, DialogIsSetUpAndCancelAddsNothing) {
    Form1& f = makeForm();
    f.AddFileEntry(QStringLiteral("/keep.mpp"));
    dialogs.answerOpen(QString());
    f.PushButton1_Click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    const OpenFilesRequest& r = dialogs.calls[0].open;
    EXPECT_EQ(r.title, QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
    EXPECT_EQ(r.filter, QStringLiteral("MS Project Files (*.mpp)|*.mpp|"));
    EXPECT_EQ(r.moreFilters, QStringLiteral("All Plan Files|*.mpp;*.mpt;*.mpd;*.xer;*.pmxml;*.xml;*.mpx|All Files|*|"));
    EXPECT_EQ(r.flags, 2621953);
    EXPECT_TRUE(r.flags & 512);
    EXPECT_TRUE(r.fileName.isEmpty());
    EXPECT_EQ(f.entries(), QStringList{QStringLiteral("/keep.mpp")});
}

TEST_F(AddFilesTest, OneFileIsAddedAsReturnedSeveralAreJoinedInDialogOrder) {
    Form1& f = makeForm();
    dialogs.answerOpen(QStringLiteral("/home/ana/Plans/typed name"));
    f.PushButton1_Click();
    dialogs.answerOpen(QStringLiteral("/home/ana/Plans") + NUL + "c.mpp" + NUL + "a.mpp" + NUL + "b.mpp");
    f.PushButton1_Click();
    dialogs.answerOpen(QStringLiteral("/") + NUL + "r1.mpp" + NUL + "r2.mpp");
    f.PushButton1_Click();
    dialogs.answerOpen(QStringLiteral("/home/ana/Plans/typed name"));
    f.PushButton1_Click();
    EXPECT_EQ(f.entries(), (QStringList{"/home/ana/Plans/typed name", "/home/ana/Plans/c.mpp", "/home/ana/Plans/a.mpp",
                                        "/home/ana/Plans/b.mpp", "/r1.mpp", "/r2.mpp", "/home/ana/Plans/typed name"}));
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(AddFilesTest, FilesFromTwoFoldersKeepTheirOwnFolder) {
    Form1& f = makeForm();
    dialogs.answerOpen(QStringLiteral("/d1") + NUL + "a.mpp" + NUL + "/d2/b.mpp" + NUL + "c.mpp" + NUL +
                       "/d2//odd/e.mpp");
    f.PushButton1_Click();
    dialogs.answerOpen(QStringLiteral("/") + NUL + "r.mpp" + NUL + "/d3/s.mpp");
    f.PushButton1_Click();
    // A whole path is taken as it stands: not joined, not fixed up.
    EXPECT_EQ(f.entries(), (QStringList{"/d1/a.mpp", "/d2/b.mpp", "/d1/c.mpp", "/d2//odd/e.mpp", "/r.mpp",
                                        "/d3/s.mpp"}));
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(AddFilesTest, TooManyFilesGivesItsOwnMessageAndAddsNothing) {
    Form1& f = makeForm();
    dialogs.failOpen(Failure(20476, QStringLiteral("buffer too small")));
    f.PushButton1_Click();
    EXPECT_EQ(f.entryCount(), 0);
    ASSERT_EQ(dialogs.calls.size(), 2u);
    const testing::DialogCall& m = dialogs.calls[1];
    EXPECT_EQ(m.text, QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button."));
    EXPECT_EQ(m.title, QStringLiteral("Quorrix"));
    EXPECT_EQ(m.icon, MsgIcon::None);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(AddFilesTest, OtherDialogFailuresAreReportedAtLine108) {
    Form1& f = makeForm();
    dialogs.failOpen(Failure(32755, QStringLiteral("Dialog failed")));
    f.PushButton1_Click();
    EXPECT_EQ(f.entryCount(), 0);
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_EQ(dialogs.reports()[0],
              testing::expectedReport(QStringLiteral("Form1.PushButton1_Click"), QStringLiteral("Dialog failed"), 108));
}

}  // namespace
}  // namespace quorrix
