#include "guidance/help_advice.h"

#include <gtest/gtest.h>

#include "guidance/guidance_dialogs.h"

namespace quorrix {
namespace {

using testing::DialogCall;
using testing::expectedReport;
using testing::FailingGuidanceDialogs;

// Written out in full: the doubled space in "Project  files" and the empty line are part of it.
const QString kHelp = QStringLiteral(
    "Please make sure you are able to open your MPP Project  files normally and they display correct without "
    "error or warning message. If there is a message when you first open your files, this software will not be "
    "able to process them.\r\n\r\nWould you like to see a screenshot of these error messages so you know what "
    "I'm talking about?");
const QString kProcedure = QStringLiteral("Form1.PushButton8_Click");

void run(DialogProvider& d, const QString& install) {
    ErrorTrap trap(kProcedure, d);
    guidance::ShowHelpAdvice(trap, install, d);
}

TEST(HelpAdvice, TextIsExact) {
    EXPECT_EQ(guidance::helpAdviceText(), kHelp);
    EXPECT_TRUE(guidance::helpAdviceText().contains(QStringLiteral("Project  files")));
    EXPECT_EQ(guidance::helpAdviceText().count(QStringLiteral("\r\n")), 2);
}

TEST(HelpAdvice, NoShowsNothingFurther) {
    FailingGuidanceDialogs d;
    d.answerMessage(MsgAnswer::No);
    run(d, QStringLiteral("/opt/quorrix"));
    ASSERT_EQ(d.calls.size(), 1u);
    EXPECT_EQ(d.calls[0].text, kHelp);
    EXPECT_EQ(d.calls[0].title, QStringLiteral("Quorrix"));
    EXPECT_EQ(d.calls[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(d.calls[0].icon, MsgIcon::None);
    EXPECT_EQ(d.desktopCalls(), 0);
}

TEST(HelpAdvice, YesOpensThePictureAlsoWithSpacesInTheFolderAndSaysSoWhenNothingCan) {
    for (const QString& install : {QStringLiteral("/opt/quorrix"), QStringLiteral("/home/ana/My Tools/Quorrix 2")}) {
        for (bool shown : {true, false}) {
            FailingGuidanceDialogs d;
            d.answerMessage(MsgAnswer::Yes);
            d.answerDesktop(shown);
            run(d, install);
            ASSERT_EQ(d.calls.size(), shown ? 2u : 3u);
            EXPECT_EQ(d.calls[1].kind, DialogCall::Desktop);
            EXPECT_EQ(d.calls[1].text, install + QStringLiteral("/possible-error-messages/error.jpg"));
            EXPECT_TRUE(d.reports().isEmpty());
            if (shown) continue;
            EXPECT_EQ(d.calls[2].text, QStringLiteral("The screenshot could not be shown: no program on this desktop "
                                                      "shows it. The picture is:\r\n") +
                                           install + QStringLiteral("/possible-error-messages/error.jpg"));
            EXPECT_EQ(d.calls[2].title, QStringLiteral("Quorrix"));
            EXPECT_EQ(d.calls[2].buttons, MsgButtons::Ok);
        }
    }
}

TEST(HelpAdvice, FailingStepsAreReportedWithTheirLines) {
    FailingGuidanceDialogs question;
    question.failQuestion = true;
    run(question, QStringLiteral("/opt/quorrix"));
    EXPECT_EQ(question.reports(),
              QStringList{expectedReport(kProcedure, QStringLiteral("Invalid procedure call or argument"), 100)});
    EXPECT_EQ(question.desktopCalls(), 0);

    FailingGuidanceDialogs desktop;
    desktop.failDesktop = true;
    desktop.answerMessage(MsgAnswer::Yes);
    run(desktop, QStringLiteral("/opt/quorrix"));
    EXPECT_EQ(desktop.reports(), QStringList{expectedReport(kProcedure, QStringLiteral("Permission denied"), 102)});
}

}  // namespace
}  // namespace quorrix
