#include <QDir>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::DialogCall;
using testing::FormFixture;

const QString kSamplesQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so that you can view "
    "them before working with them)?");
const QString kHelp = QStringLiteral(
    "Please make sure you are able to open your MPP Project  files normally and they display correct without "
    "error or warning message. If there is a message when you first open your files, this software will not be "
    "able to process them.\r\n\r\nWould you like to see a screenshot of these error messages so you know what "
    "I'm talking about?");

class GuidanceTest : public FormFixture {
protected:
    QStringList desktopPaths() const {
        QStringList out;
        for (const DialogCall& c : dialogs.calls)
            if (c.kind == DialogCall::Desktop) out << c.text;
        return out;
    }
};

TEST_F(GuidanceTest, SamplesAreAppendedAfterExistingEntriesOnEveryClick) {
    installFile(QStringLiteral("Samples/office-move.xml"), "<Project/>");
    installFile(QStringLiteral("Samples/Event.xml"), "<Project/>");
    installFile(QStringLiteral("Samples/read me.txt"), "any file type is a sample");
    Form1& f = makeForm();
    f.AddFileEntry(QStringLiteral("/plans/mine.mpp"));
    dialogs.answerMessage(MsgAnswer::No);
    dialogs.answerMessage(MsgAnswer::No);
    f.PushButton7->click();
    f.PushButton7_Click();
    const QString s = installFolder + QStringLiteral("/Samples/");
    const QStringList three{s + "Event.xml", s + "office-move.xml", s + "read me.txt"};
    EXPECT_EQ(f.entries(), QStringList{QStringLiteral("/plans/mine.mpp")} + three + three);
    EXPECT_EQ(dialogs.messages(), (QStringList{kSamplesQuestion, kSamplesQuestion}));
    EXPECT_TRUE(desktopPaths().isEmpty());
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

TEST_F(GuidanceTest, HiddenSampleIsAddedSubfolderIsNot) {
    installFile(QStringLiteral("Samples/.draft.xml"), "x");
    installFile(QStringLiteral("Samples/old/inner.xml"), "x");
    Form1& f = makeForm();
    dialogs.answerMessage(MsgAnswer::No);
    f.PushButton7_Click();
    EXPECT_EQ(f.entries(), QStringList{installFolder + QStringLiteral("/Samples/.draft.xml")});
}

TEST_F(GuidanceTest, MissingOrEmptySampleFolderLeavesTheListAndStillAsks) {
    Form1& f = makeForm();
    f.AddFileEntry(QStringLiteral("/plans/mine.mpp"));
    dialogs.answerMessage(MsgAnswer::No);
    f.PushButton7_Click();  // no Samples folder at all
    QDir().mkpath(installFolder + QStringLiteral("/Samples"));
    dialogs.answerMessage(MsgAnswer::No);
    f.PushButton7_Click();  // an empty one
    EXPECT_EQ(f.entries(), QStringList{QStringLiteral("/plans/mine.mpp")});
    EXPECT_EQ(dialogs.messages(), (QStringList{kSamplesQuestion, kSamplesQuestion}));
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(GuidanceTest, YesOpensTheSampleFolderNoOpensNothing) {
    installFile(QStringLiteral("Samples/a.xml"), "x");
    Form1& f = makeForm();
    dialogs.answerMessage(MsgAnswer::No);
    f.PushButton7_Click();
    EXPECT_TRUE(desktopPaths().isEmpty());
    dialogs.answerMessage(MsgAnswer::Yes);
    f.PushButton7_Click();
    EXPECT_EQ(desktopPaths(), QStringList{installFolder + QStringLiteral("/Samples/")});
    const DialogCall& q = dialogs.calls[0];
    EXPECT_EQ(q.title, QStringLiteral("Quorrix"));
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.icon, MsgIcon::None);
}

TEST_F(GuidanceTest, HelpShowsTheAdviceExactlyAndNoOpensNothing) {
    Form1& f = makeForm();
    dialogs.answerMessage(MsgAnswer::No);
    f.PushButton8->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, kHelp);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Quorrix"));
    EXPECT_EQ(dialogs.calls[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::None);
    EXPECT_EQ(f.entryCount(), 0);
}

TEST_F(GuidanceTest, HelpYesOpensThePictureEvenWithSpacesInTheInstallFolder) {
    installFolder = dir.path() + QStringLiteral("/Program Files/Quorrix Tools");
    QDir().mkpath(installFolder);
    Form1& f = makeForm();
    dialogs.answerMessage(MsgAnswer::Yes);
    f.PushButton8_Click();
    EXPECT_EQ(desktopPaths(), QStringList{installFolder + QStringLiteral("/possible-error-messages/error.jpg")});
    EXPECT_TRUE(dialogs.reports().isEmpty());  // the picture is missing here: not reported
}

}  // namespace
}  // namespace quorrix
