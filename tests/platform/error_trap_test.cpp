#include "platform/error_trap.h"

#include <gtest/gtest.h>

#include "platform/open_files_text.h"
#include "support/scripted_dialogs.h"

namespace quorrix {
namespace {

using testing::ScriptedDialogs;

TEST(ReportText, IsDescriptionLocationLineAndSupportSentence) {
    const QString expected = QStringLiteral(
        "File not found\r\nin Tessaline2016/11/03.Form1.Form_Load at line 136\r\rPlease email screenshot of this "
        "message to support@veltrano.com");
    EXPECT_EQ(reportText(locationText(QStringLiteral("Form1.Form_Load")), QStringLiteral("File not found"), 136),
              expected);

    // A description ending in a line break still gets its own CR LF: an empty line follows.
    const QString withBreak = reportText(locationText(QStringLiteral("Form1.PushButton2_Click")),
                                         QStringLiteral("Bad thing\r\n"), 142);
    EXPECT_TRUE(withBreak.startsWith(QStringLiteral("Bad thing\r\n\r\nin Tessaline2016/11/03.Form1.PushButton2_Click at line 142\r\r")));
}

TEST(ErrorTrap, ReportsEachFailingStepInOrderAndCarriesOn) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(QStringLiteral("Form1.PushButton6_Click"), dialogs);
    QStringList ran;
    trap.step(100, [&] { ran << "100"; });
    trap.step(102, [&] { throw Failure(53, QStringLiteral("File not found")); });
    trap.step(104, [&] { ran << "104"; });
    trap.step(106, [&] { throw std::runtime_error("boom"); });
    trap.step(108, [&] { ran << "108"; });

    EXPECT_EQ(ran, (QStringList{"100", "104", "108"}));
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(dialogs.calls[0].icon, MsgIcon::Warning);
    EXPECT_EQ(dialogs.calls[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(dialogs.calls[0].text,
              testing::expectedReport(QStringLiteral("Form1.PushButton6_Click"), QStringLiteral("File not found"), 102));
    EXPECT_EQ(dialogs.calls[1].text,
              testing::expectedReport(QStringLiteral("Form1.PushButton6_Click"), QStringLiteral("boom"), 106));
    EXPECT_EQ(trap.reportCount(), 2);
}

TEST(ErrorTrap, FailingTestTakesTheTrueBranchAndPlainTestsAnswerNormally) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(QStringLiteral("Form1.Form_Load"), dialogs);
    EXPECT_TRUE(trap.test(104, []() -> bool { throw Failure(5, QStringLiteral("Invalid procedure call")); }));
    EXPECT_FALSE(trap.test(106, [] { return false; }));
    EXPECT_TRUE(trap.test(108, [] { return true; }));
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].contains(QStringLiteral("Form1.Form_Load at line 104\r\r")));

    const auto value = trap.value(110, []() -> int { throw Failure(6, QStringLiteral("Overflow")); });
    EXPECT_FALSE(value.has_value());
    EXPECT_EQ(trap.value(112, [] { return 7; }), 7);
    EXPECT_EQ(dialogs.reports().size(), 2);
}

TEST(OpenFilesText, JoinsNamesWithNulAndEnforcesTheBufferOnBothSides) {
    EXPECT_EQ(openFilesText({}), QString());
    EXPECT_EQ(openFilesText({QStringLiteral("/plans/a.mpp")}), QStringLiteral("/plans/a.mpp"));
    const QString two = openFilesText({QStringLiteral("/plans/a.mpp"), QStringLiteral("/plans/b.mpp")});
    EXPECT_EQ(two, QStringLiteral("/plans") + QChar(0) + "a.mpp" + QChar(0) + "b.mpp");

    // "/p" NUL name NUL name ...: find a selection of exactly 30000 characters, then one more.
    const QString folder = QStringLiteral("/p");
    QStringList paths;
    int length = folder.size();
    int i = 0;
    while (length + 11 <= kOpenFilesBufferChars) {  // NUL + 10-character name
        paths << folder + QStringLiteral("/%1").arg(i++, 10, 10, QLatin1Char('0'));
        length += 11;
    }
    const int rest = kOpenFilesBufferChars - length;  // pad the last name up to the limit
    if (rest > 0) paths.last() += QString(rest, QLatin1Char('x'));
    EXPECT_EQ(openFilesText(paths).size(), kOpenFilesBufferChars);

    paths.last() += QLatin1Char('y');
    try {
        openFilesText(paths);
        FAIL() << "a selection over the limit must fail";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 20476);
    }
}

TEST(OpenFilesText, FilesFromAnotherFolderKeepTheirWholePathAndCountTowardsTheBuffer) {
    const QChar nul(0);
    // The second folder's files are no names of the first.
    EXPECT_EQ(openFilesText({QStringLiteral("/d1/a.mpp"), QStringLiteral("/d2/b.mpp"), QStringLiteral("/d1/c.mpp"),
                             QStringLiteral("/d1/sub/d.mpp"), QStringLiteral("/e.mpp")}),
              QStringLiteral("/d1") + nul + "a.mpp" + nul + "/d2/b.mpp" + nul + "c.mpp" + nul + "/d1/sub/d.mpp" + nul +
                  "/e.mpp");
    // A first file in the root: the folder is the root, names in it stay bare.
    EXPECT_EQ(openFilesText({QStringLiteral("/r.mpp"), QStringLiteral("/d/x.mpp"), QStringLiteral("/s.mpp")}),
              QStringLiteral("/") + nul + "r.mpp" + nul + "/d/x.mpp" + nul + "s.mpp");

    // The limit counts the whole paths: "/p" NUL "first", then NUL and a 13-character path each.
    QStringList paths{QStringLiteral("/p/first")};
    qsizetype length = 8;
    for (int i = 0; length + 14 <= kOpenFilesBufferChars; ++i, length += 14)
        paths << QStringLiteral("/q/%1").arg(i, 10, 10, QLatin1Char('0'));
    EXPECT_EQ(openFilesText(paths).size(), length);
    paths << QStringLiteral("/q/last-one-x");
    try {
        openFilesText(paths);
        FAIL() << "a selection over the limit must fail";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 20476);
    }
}

}  // namespace
}  // namespace quorrix
