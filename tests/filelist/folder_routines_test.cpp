#include "filelist/folder_routines.h"
#include "platform/file_names.h"

#include <QDir>
#include <memory>
#include <fcntl.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include "filelist/folder_test_support.h"
#include "support/scripted_dialogs.h"

namespace {

using quorrix::Failure;
using quorrix::testing::FakeFileSystem;
using quorrix::testing::ScriptedDialogs;
using quorrix::testing::TempTree;

// ---- PickFolder -----------------------------------------------------------------------------

TEST(PickFolder, ReturnsTheRootWithItsSeparatorAndOtherFoldersWithout) {
    ScriptedDialogs dialogs;
    dialogs.answerFolder(QStringLiteral("/"));
    dialogs.answerFolder(QStringLiteral("/home/pat/Plans"));
    dialogs.answerFolder(QStringLiteral("/home/pat/Plans/"));
    dialogs.answerFolder(QStringLiteral("/home/pat/Plans") + QChar(0) + QStringLiteral("left over"));
    dialogs.answerFolder(QString(QChar(0)) + QStringLiteral("/not a path"));
    dialogs.answerFolder(QString());

    EXPECT_EQ(AddFolder::PickFolder(dialogs, QStringLiteral("Please select folder:")), QStringLiteral("/"));
    EXPECT_EQ(AddFolder::PickFolder(dialogs, QStringLiteral("t")), QStringLiteral("/home/pat/Plans"));
    EXPECT_EQ(AddFolder::PickFolder(dialogs, QStringLiteral("t")), QStringLiteral("/home/pat/Plans"));
    EXPECT_EQ(AddFolder::PickFolder(dialogs, QStringLiteral("t")), QStringLiteral("/home/pat/Plans"));
    EXPECT_EQ(AddFolder::PickFolder(dialogs, QStringLiteral("t")), QString());
    EXPECT_EQ(AddFolder::PickFolder(dialogs, QStringLiteral("t")), QString());

    ASSERT_EQ(dialogs.calls.size(), 6u);
    EXPECT_EQ(dialogs.calls[0].kind, quorrix::testing::DialogCall::Folder);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Please select folder:"));
}

// ---- HasUnsafeChars -------------------------------------------------------------------------

TEST(HasUnsafeChars, AcceptsNamesOfTheCodePage) {
    EXPECT_FALSE(AddFolder::HasUnsafeChars(QString()));
    EXPECT_FALSE(AddFolder::HasUnsafeChars(QStringLiteral("Project Plans 2016")));
    EXPECT_FALSE(AddFolder::HasUnsafeChars(QString::fromUtf8("Café Ñandú")));
    EXPECT_FALSE(AddFolder::HasUnsafeChars(QString::fromUtf8("Größe ÿ ©")));
    EXPECT_FALSE(AddFolder::HasUnsafeChars(QString(QChar(0x00A0))));  // 160
    EXPECT_FALSE(AddFolder::HasUnsafeChars(QStringLiteral("~$lock [old] {x} #1 & co.")));
}

TEST(HasUnsafeChars, RejectsControlCodesCodes127To159QuestionMarksAndForeignCharacters) {
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QStringLiteral("tab\there")));
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QStringLiteral("line\nbreak")));
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString(QChar(0x7F))));
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString::fromUtf8("Preis €")));     // 128
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString::fromUtf8("Name™")));       // 153
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString::fromUtf8("Ÿ")));           // 159
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString::fromUtf8("Plans – old")));  // en dash, 150
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QStringLiteral("why?")));
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString::fromUtf8("日本")));
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString::fromUtf8("plans 😀")));
    EXPECT_TRUE(AddFolder::HasUnsafeChars(QString(QChar(0x0080))));
}

// ---- ListFolderFiles ------------------------------------------------------------------------

TEST(ListFolderFiles, NoMatchGivesTheUpperBoundZero) {
    TempTree t;
    t.file(QStringLiteral("notes.txt"));
    const IsInstalled::NameList none = IsInstalled::ListFolderFiles(t.root(), QStringLiteral("*.mpp"));
    EXPECT_EQ(none.upperBound(), 0);
    ASSERT_EQ(none.names.size(), 1);
    EXPECT_EQ(none.names[0], QString());

    EXPECT_EQ(IsInstalled::ListFolderFiles(t.path(QStringLiteral("gone")), QStringLiteral("*.*")).upperBound(), 0);
    const TempTree empty;
    EXPECT_EQ(IsInstalled::ListFolderFiles(empty.root(), QStringLiteral("*.*")).upperBound(), 0);
}

// Makes `count` files "Plan000.mpp", "plan001.mpp", ... (case alternating) and the expected list.
QStringList makePlans(const TempTree& t, int count) {
    QStringList expected{QString()};
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1lan%2.mpp")
                                 .arg(i % 2 ? QLatin1Char('p') : QLatin1Char('P'))
                                 .arg(i, 3, 10, QLatin1Char('0'));
        t.file(name);
        expected << name;
    }
    return expected;
}

TEST(ListFolderFiles, GrowsPastOneHundredByFiftyAndShrinksToTheCount) {
    for (const int count : {1, 100, 101, 150, 151, 230}) {
        TempTree t;
        const QStringList expected = makePlans(t, count);
        t.file(QStringLiteral("other.txt"));
        const IsInstalled::NameList list = IsInstalled::ListFolderFiles(t.root(), QStringLiteral("*.mpp"));
        EXPECT_EQ(list.upperBound(), count);
        EXPECT_EQ(list.names, expected) << count;
    }
}

TEST(ListFolderFiles, AppendsTheSeparatorOnlyWhenMissing) {
    TempTree t;
    t.file(QStringLiteral("a.mpp"));
    t.link(QStringLiteral("b.mpp"), QStringLiteral("a.mpp"));  // opened through the folder + name
    const QStringList expected{QString(), QStringLiteral("a.mpp"), QStringLiteral("b.mpp")};
    EXPECT_EQ(IsInstalled::ListFolderFiles(t.root(), QStringLiteral("*.mpp")).names, expected);
    EXPECT_EQ(IsInstalled::ListFolderFiles(t.root() + QLatin1Char('/'), QStringLiteral("*.mpp")).names, expected);
}

TEST(ListFolderFiles, ListsHiddenAndReadOnlyFilesButNoFoldersOrDeadLinks) {
    TempTree t;
    t.file(QStringLiteral(".hidden.mpp"));
    t.file(QStringLiteral("locked.mpp"));
    t.mode(QStringLiteral("locked.mpp"), 0444);
    t.file(QStringLiteral("Upper.MPP"));
    t.folder(QStringLiteral("folder.mpp"));
    t.link(QStringLiteral("linked-folder.mpp"), QStringLiteral("folder.mpp"));
    t.link(QStringLiteral("dead.mpp"), QStringLiteral("missing.mpp"));
    t.file(QStringLiteral("~$lock.mpp"));
    t.file(QStringLiteral("plan.mppx"));

    const IsInstalled::NameList list = IsInstalled::ListFolderFiles(t.root(), QStringLiteral("*.mpp"));
    EXPECT_EQ(list.names, (QStringList{QString(), QStringLiteral(".hidden.mpp"), QStringLiteral("locked.mpp"),
                                       QStringLiteral("Upper.MPP"), QStringLiteral("~$lock.mpp")}));
}

TEST(ListFolderFiles, LeavesOutNamesThePlatformCannotBeGiven) {
    TempTree t;
    t.file(QString::fromUtf8("日本.mpp"));
    t.file(QStringLiteral("why?.mpp"));
    t.file(QStringLiteral("line\nbreak.mpp"));
    t.file(QString::fromUtf8("Café €.mpp"));  // all in the code page
    t.file(QStringLiteral("x.mpp"));
    // A name whose bytes are no valid text keeps them, and its byte is a character of the code page.
    const QByteArray raw = QFile::encodeName(t.root()) + "/bad\xff.mpp";
    {
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    // Qt cannot remove such a name with the rest of the tree.
    const std::unique_ptr<const char, int (*)(const char*)> removed(raw.constData(), ::unlink);
    const IsInstalled::NameList list = IsInstalled::ListFolderFiles(t.root(), QStringLiteral("*.*"));
    EXPECT_EQ(list.names, (QStringList{QString(), quorrix::decodeFileName("bad\xff.mpp"),
                                       QString::fromUtf8("Café €.mpp"), QStringLiteral("x.mpp")}));
}

TEST(ListFolderFiles, MatchesLikeThePlatformDoes) {
    TempTree t;
    t.file(QStringLiteral("a.mpp"));
    t.file(QStringLiteral("B.MPP"));
    t.file(QStringLiteral("README"));
    t.file(QStringLiteral("c..mpp"));
    t.file(QStringLiteral("notes.txt"));

    const auto names = [&](const QString& pattern) { return IsInstalled::ListFolderFiles(t.root(), pattern).names; };
    EXPECT_EQ(names(QStringLiteral("*.mpp")), names(QStringLiteral("*.MPP")));
    EXPECT_EQ(names(QStringLiteral("*.mpp")),
              (QStringList{QString(), QStringLiteral("a.mpp"), QStringLiteral("B.MPP"), QStringLiteral("c..mpp")}));
    EXPECT_EQ(names(QStringLiteral("*.*")),
              (QStringList{QString(), QStringLiteral("a.mpp"), QStringLiteral("B.MPP"), QStringLiteral("c..mpp"),
                           QStringLiteral("notes.txt"), QStringLiteral("README")}));
    EXPECT_EQ(names(QStringLiteral("*..mpp")), (QStringList{QString(), QStringLiteral("c..mpp")}));
    EXPECT_EQ(names(QStringLiteral("?.mpp")), (QStringList{QString(), QStringLiteral("a.mpp"), QStringLiteral("B.MPP")}));
}

TEST(ListFolderFiles, ThroughAFileSystemThatOpensNothingListsNothing) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/r/a.mpp"), 32, true);
    fs.addFile(QStringLiteral("/r/b.mpp"), 32, false);
    fs.addFolder(QStringLiteral("/r/c.mpp"));
    EXPECT_EQ(IsInstalled::ListFolderFiles(QStringLiteral("/r"), QStringLiteral("*.mpp"), fs).names,
              (QStringList{QString(), QStringLiteral("a.mpp")}));
    fs.node(QStringLiteral("/r")).listFailure = Failure(57, QStringLiteral("Device I/O error"));
    EXPECT_THROW(IsInstalled::ListFolderFiles(QStringLiteral("/r"), QStringLiteral("*.mpp"), fs), Failure);
}

// ---- FileIsOpenable -------------------------------------------------------------------------

TEST(FileIsOpenable, TrueForFilesFalseForFoldersAndMissingPaths) {
    TempTree t;
    EXPECT_TRUE(IsInstalled::FileIsOpenable(t.file(QStringLiteral("plan.mpp"))));
    t.file(QStringLiteral("ro.mpp"));
    t.mode(QStringLiteral("ro.mpp"), 0444);
    EXPECT_TRUE(IsInstalled::FileIsOpenable(t.path(QStringLiteral("ro.mpp"))));
    EXPECT_TRUE(IsInstalled::FileIsOpenable(t.file(QStringLiteral(".hidden.mpp"))));
    EXPECT_FALSE(IsInstalled::FileIsOpenable(t.folder(QStringLiteral("sub"))));
    EXPECT_FALSE(IsInstalled::FileIsOpenable(t.path(QStringLiteral("missing.mpp"))));
    EXPECT_FALSE(IsInstalled::FileIsOpenable(t.link(QStringLiteral("dead"), QStringLiteral("missing.mpp"))));
    EXPECT_FALSE(IsInstalled::FileIsOpenable(t.path(QStringLiteral("plan.mpp")) + QChar(0)));
    EXPECT_FALSE(IsInstalled::FileIsOpenable(t.path(QString(5000, QLatin1Char('n')))));
    EXPECT_FALSE(IsInstalled::FileIsOpenable(QString()));
}

}  // namespace
