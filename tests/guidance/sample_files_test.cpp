#include "guidance/sample_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "guidance/guidance_dialogs.h"

namespace quorrix {
namespace {

using testing::DialogCall;
using testing::expectedReport;
using testing::FailingGuidanceDialogs;

const QString kQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so that you can view "
    "them before working with them)?");
const QString kProcedure = QStringLiteral("Form1.PushButton7_Click");

class SampleFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        install = dir.path() + QStringLiteral("/Quorrix install");
    }
    void sample(const QString& name) {
        QDir().mkpath(install + QStringLiteral("/Samples"));
        QFile f(install + QStringLiteral("/Samples/") + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    void run(DialogProvider& d) {
        ErrorTrap trap(kProcedure, d);
        guidance::LoadSampleFiles(trap, install, d, [this](const QString& t) {
            if (failOn == t) throw Failure(7, QStringLiteral("Out of memory"));
            added << t;
        });
    }
    QTemporaryDir dir;
    QString install;
    QStringList added;
    QString failOn;
    FailingGuidanceDialogs dialogs;
};

TEST_F(SampleFilesTest, FolderNames) {
    EXPECT_EQ(guidance::sampleFolder(QStringLiteral("/opt/q")), QStringLiteral("/opt/q/Samples"));
    EXPECT_EQ(guidance::sampleFolderWithSeparator(QStringLiteral("/opt/q")), QStringLiteral("/opt/q/Samples/"));
    EXPECT_EQ(guidance::sampleFolderQuestion(), kQuestion);
}

TEST_F(SampleFilesTest, EveryFileIsAddedInListingOrderThenTheQuestionComes) {
    sample(QStringLiteral("b plan.xml"));
    sample(QStringLiteral("A.mpp"));
    sample(QStringLiteral("c-notes.txt"));
    QDir().mkpath(install + QStringLiteral("/Samples/Zsub.xml"));  // a folder is never an entry
    dialogs.answerMessage(MsgAnswer::No);
    run(dialogs);
    const QString s = install + QStringLiteral("/Samples/");
    EXPECT_EQ(added, (QStringList{s + "A.mpp", s + "b plan.xml", s + "c-notes.txt"}));
    ASSERT_EQ(dialogs.calls.size(), 1u);
    const DialogCall& q = dialogs.calls[0];
    EXPECT_EQ(q.kind, DialogCall::Message);
    EXPECT_EQ(q.text, kQuestion);
    EXPECT_EQ(q.title, QStringLiteral("Quorrix"));
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.icon, MsgIcon::None);
    EXPECT_EQ(dialogs.desktopCalls(), 0);
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

TEST_F(SampleFilesTest, HiddenFilesAreSamplesToo) {
    sample(QStringLiteral(".hidden-plan.xml"));
    sample(QStringLiteral("plan.xml"));
    dialogs.answerMessage(MsgAnswer::No);
    run(dialogs);
    const QString s = install + QStringLiteral("/Samples/");
    EXPECT_EQ(added, (QStringList{s + ".hidden-plan.xml", s + "plan.xml"}));
}

TEST_F(SampleFilesTest, EmptyOrMissingFolderAddsNothingButStillAsks) {
    for (bool make : {false, true}) {
        if (make) QDir().mkpath(install + QStringLiteral("/Samples"));
        FailingGuidanceDialogs d;
        d.answerMessage(MsgAnswer::No);
        run(d);
        EXPECT_TRUE(added.isEmpty()) << "folder made: " << make;
        ASSERT_EQ(d.messages(), QStringList{kQuestion}) << "folder made: " << make;
        EXPECT_TRUE(d.reports().isEmpty());
    }
}

TEST_F(SampleFilesTest, YesOpensTheFolderWithItsSeparatorEvenWithSpaces) {
    sample(QStringLiteral("one.xml"));
    dialogs.answerMessage(MsgAnswer::Yes);
    run(dialogs);
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].kind, DialogCall::Desktop);
    EXPECT_EQ(dialogs.calls[1].text, install + QStringLiteral("/Samples/"));
    EXPECT_TRUE(dialogs.calls[1].text.contains(QStringLiteral("Quorrix install")));
}

TEST_F(SampleFilesTest, DesktopThatCannotOpenSaysSoInAMessage) {
    dialogs.answerMessage(MsgAnswer::Yes);
    dialogs.answerDesktop(false);
    run(dialogs);
    EXPECT_EQ(dialogs.desktopCalls(), 1);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(dialogs.messages(), (QStringList{kQuestion, QStringLiteral("The sample folder could not be opened: no "
                                                                         "program on this desktop opens folders. The "
                                                                         "sample files are in:\r\n") +
                                                              install + QStringLiteral("/Samples/")}));
}

TEST_F(SampleFilesTest, AFailingEntryIsReportedAtLine104AndTheRestFollow) {
    sample(QStringLiteral("1.xml"));
    sample(QStringLiteral("2.xml"));
    sample(QStringLiteral("3.xml"));
    failOn = install + QStringLiteral("/Samples/2.xml");
    dialogs.answerMessage(MsgAnswer::No);
    run(dialogs);
    const QString s = install + QStringLiteral("/Samples/");
    EXPECT_EQ(added, (QStringList{s + "1.xml", s + "3.xml"}));
    EXPECT_EQ(dialogs.reports(), QStringList{expectedReport(kProcedure, QStringLiteral("Out of memory"), 104)});
    EXPECT_EQ(dialogs.messages(), QStringList{kQuestion});
}

TEST_F(SampleFilesTest, FailingQuestionIsReportedAtLine106AndOpensNothing) {
    dialogs.failQuestion = true;
    run(dialogs);
    EXPECT_EQ(dialogs.reports(),
              QStringList{expectedReport(kProcedure, QStringLiteral("Invalid procedure call or argument"), 106)});
    EXPECT_EQ(dialogs.desktopCalls(), 0);
}

TEST_F(SampleFilesTest, FailingDesktopIsReportedAtLine108) {
    dialogs.failDesktop = true;
    dialogs.answerMessage(MsgAnswer::Yes);
    run(dialogs);
    EXPECT_EQ(dialogs.reports(), QStringList{expectedReport(kProcedure, QStringLiteral("Permission denied"), 108)});
}

}  // namespace
}  // namespace quorrix
