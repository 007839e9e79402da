#include "platform/file_facts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filelist/folder_test_support.h"

namespace quorrix {
namespace {

using testing::TempTree;

const FileSystem& fs() { return realFileSystem(); }

// ---- Attributes -----------------------------------------------------------------------------

TEST(FileAttributes, FollowTheRulesForFilesFoldersAndLinks) {
    TempTree t;
    t.folder(QStringLiteral("plain"));
    t.folder(QStringLiteral(".hidden-folder"));
    t.file(QStringLiteral("plan.mpp"));
    t.file(QStringLiteral(".hidden.mpp"));
    t.file(QStringLiteral("locked.mpp"));
    t.mode(QStringLiteral("locked.mpp"), 0444);
    t.file(QStringLiteral(".locked-hidden.mpp"));
    t.mode(QStringLiteral(".locked-hidden.mpp"), 0400);
    t.link(QStringLiteral("to-file"), QStringLiteral("plan.mpp"));
    t.link(QStringLiteral("to-folder"), QStringLiteral("plain"));
    t.link(QStringLiteral("nowhere"), QStringLiteral("missing.mpp"));
    t.link(QStringLiteral(".hidden-link"), QStringLiteral("plan.mpp"));

    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("plain"))), 16);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral(".hidden-folder"))), 18);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("plan.mpp"))), 32);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral(".hidden.mpp"))), 34);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("locked.mpp"))), 33);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral(".locked-hidden.mpp"))), 35);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("to-file"))), 1024 + 32);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("to-folder"))), 1024 + 16);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("nowhere"))), 1024);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral(".hidden-link"))), 1024 + 32 + 2);
    // A trailing separator names the folder itself; "." and ".." are no hidden names.
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("plain/"))), 16);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("plain/."))), 16);
    EXPECT_EQ(fs().attributes(t.path(QStringLiteral("plain/.."))), 16);
}

TEST(FileAttributes, MissingPathFailsWithFileNotFound) {
    TempTree t;
    const QString missing = t.path(QStringLiteral("gone.mpp"));
    try {
        fs().attributes(missing);
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 53);
        EXPECT_EQ(f.description(), QStringLiteral("File not found: ") + missing);
    }
}

TEST(FileEntry, OpenTestAcceptsOnlyExistingRegularFiles) {
    TempTree t;
    t.file(QStringLiteral("plan.mpp"));
    t.file(QStringLiteral("ro.mpp"));
    t.mode(QStringLiteral("ro.mpp"), 0444);
    t.file(QStringLiteral(".hidden.mpp"));
    t.file(QStringLiteral("unreadable.mpp"));
    t.mode(QStringLiteral("unreadable.mpp"), 0);
    t.folder(QStringLiteral("sub"));
    t.link(QStringLiteral("dangling"), QStringLiteral("missing"));
    t.link(QStringLiteral("to-file"), QStringLiteral("plan.mpp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(t.path(QStringLiteral("pipe"))).constData(), 0644), 0);

    EXPECT_TRUE(fs().entry(t.path(QStringLiteral("plan.mpp"))).openable);
    EXPECT_TRUE(fs().entry(t.path(QStringLiteral("ro.mpp"))).openable);
    EXPECT_TRUE(fs().entry(t.path(QStringLiteral(".hidden.mpp"))).openable);
    EXPECT_TRUE(fs().entry(t.path(QStringLiteral("unreadable.mpp"))).openable);  // nothing is read
    EXPECT_TRUE(fs().entry(t.path(QStringLiteral("to-file"))).openable);
    EXPECT_FALSE(fs().entry(t.path(QStringLiteral("sub"))).openable);
    EXPECT_FALSE(fs().entry(t.path(QStringLiteral("pipe"))).openable);

    const EntryFacts dangling = fs().entry(t.path(QStringLiteral("dangling")));
    EXPECT_TRUE(dangling.exists);
    EXPECT_FALSE(dangling.openable);

    const EntryFacts missing = fs().entry(t.path(QStringLiteral("missing.mpp")));
    EXPECT_FALSE(missing.exists);
    EXPECT_FALSE(missing.openable);
    EXPECT_FALSE(fs().entry(t.path(QStringLiteral("plan.mpp/inside"))).exists);
    EXPECT_FALSE(fs().entry(QString()).exists);
}

TEST(FileEntry, PathsThePlatformRejectsFail) {
    TempTree t;
    t.file(QStringLiteral("plan.mpp"));
    // A NUL would cut the path short and name another file.
    try {
        fs().entry(t.path(QStringLiteral("plan.mpp")) + QChar(0) + QStringLiteral("tail"));
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 52);
    }
    try {
        fs().entry(t.path(QString(5000, QLatin1Char('n'))));
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 52);
    }
}

// ---- Folders --------------------------------------------------------------------------------

TEST(FolderFacts, GiveAttributesAndIdentity) {
    TempTree t;
    const QString sub = t.folder(QStringLiteral("sub"));
    t.link(QStringLiteral("link"), QStringLiteral("sub"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(sub).constData(), &st), 0);

    const FolderFacts own = fs().folder(sub + QLatin1Char('/'));
    EXPECT_EQ(own.attributes, 16);
    EXPECT_EQ(own.id.device, static_cast<std::uint64_t>(st.st_dev));
    EXPECT_EQ(own.id.inode, static_cast<std::uint64_t>(st.st_ino));

    const FolderFacts viaLink = fs().folder(t.path(QStringLiteral("link/")));
    EXPECT_EQ(viaLink.attributes, 1024 + 16);
    EXPECT_EQ(viaLink.id, own.id);
}

TEST(FolderFacts, MissingFolderOrFileFailsWithPathNotFound) {
    TempTree t;
    t.file(QStringLiteral("plan.mpp"));
    for (const QString& relative : {QStringLiteral("gone/"), QStringLiteral("plan.mpp/")}) {
        try {
            fs().folder(t.path(relative));
            FAIL() << "no failure for " << relative.toStdString();
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), 76);
            EXPECT_EQ(f.description(), QStringLiteral("Path not found: ") + t.path(relative));
        }
    }
}

TEST(FolderFacts, RootFolderIsTheFileSystemRoot) {
    TempTree t;
    EXPECT_TRUE(fs().isRootFolder(QStringLiteral("/")));
    EXPECT_TRUE(fs().isRootFolder(QStringLiteral("//")));
    EXPECT_FALSE(fs().isRootFolder(t.folder(QStringLiteral("sub"))));
    EXPECT_FALSE(fs().isRootFolder(t.path(QStringLiteral("sub/"))));
}

TEST(Subfolders, ComeInListingOrderWithLinksButNoFilesOrDanglingLinks) {
    TempTree t;
    for (const char* name : {"beta", "Alpha", "alpha2", "_under", "Zulu", "Ärger", "ALPHA"})
        t.folder(QString::fromUtf8(name));
    t.file(QStringLiteral("Apple.mpp"));
    t.folder(QStringLiteral("elsewhere"));
    t.link(QStringLiteral("link-to-folder"), QStringLiteral("elsewhere"));
    t.link(QStringLiteral("link-to-file"), QStringLiteral("Apple.mpp"));
    t.link(QStringLiteral("dangling"), QStringLiteral("nothing"));
    t.link(QStringLiteral("self-loop"), QStringLiteral("self-loop"));

    QStringList seen;
    fs().forEachSubfolder(t.root() + QLatin1Char('/'),
                          [&](const QString& name, const FolderId&) { seen << name; });
    // Upper case decides, then the code unit; "_" follows the letters, "Ä" follows "Z".
    EXPECT_EQ(seen, (QStringList{QStringLiteral("ALPHA"), QStringLiteral("Alpha"), QStringLiteral("alpha2"),
                                 QStringLiteral("beta"), QStringLiteral("elsewhere"), QStringLiteral("link-to-folder"),
                                 QStringLiteral("Zulu"), QStringLiteral("_under"), QString::fromUtf8("Ärger")}));
}

TEST(Subfolders, OfAMissingFolderFail) {
    TempTree t;
    try {
        fs().forEachSubfolder(t.path(QStringLiteral("gone/")), [](const QString&, const FolderId&) {});
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 76);
    }
}

TEST(Subfolders, OfAFolderTheUserMayNotReadFailWithPermissionDenied) {
    if (testing::permissionsIgnored()) GTEST_SKIP() << "permissions do not stop the super-user";
    TempTree t;
    t.folder(QStringLiteral("closed/inner"));
    t.folder(QStringLiteral("listonly/inner"));
    t.mode(QStringLiteral("closed"), 0);
    t.mode(QStringLiteral("listonly"), 0444);  // names readable, entries not reachable
    for (const QString& relative : {QStringLiteral("closed/"), QStringLiteral("listonly/")}) {
        try {
            fs().forEachSubfolder(t.path(relative), [](const QString&, const FolderId&) {});
            ADD_FAILURE() << "no failure for " << relative.toStdString();
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), 70) << relative.toStdString();
        }
    }
    t.mode(QStringLiteral("closed"), 0755);
    t.mode(QStringLiteral("listonly"), 0755);
}

TEST(Listing, GivesEveryNameInListingOrderWithWhatTheListingKnows) {
    TempTree t;
    t.file(QStringLiteral("b.mpp"));
    t.file(QStringLiteral("A.mpp"));
    t.file(QStringLiteral(".hidden"));
    t.folder(QStringLiteral("C.mpp"));
    t.link(QStringLiteral("d-link"), QStringLiteral("b.mpp"));

    const QList<ListedName> names = fs().list(t.root());
    ASSERT_EQ(names.size(), 5);
    EXPECT_EQ(names[0].name, QStringLiteral(".hidden"));
    EXPECT_EQ(names[1].name, QStringLiteral("A.mpp"));
    EXPECT_EQ(names[1].kind, ListedName::File);
    EXPECT_EQ(names[2].name, QStringLiteral("b.mpp"));
    EXPECT_EQ(names[3].name, QStringLiteral("C.mpp"));
    EXPECT_EQ(names[3].kind, ListedName::Folder);
    EXPECT_EQ(names[4].name, QStringLiteral("d-link"));
    EXPECT_EQ(names[4].kind, ListedName::Other);

    EXPECT_TRUE(fs().list(t.path(QStringLiteral("gone"))).isEmpty());
    EXPECT_TRUE(fs().list(t.path(QStringLiteral("b.mpp"))).isEmpty());
}

// ---- Code page, listing order, wildcards ------------------------------------------------------

TEST(CodePage, MapsWindows1252AndCountsTheRestAsQuestionMark) {
    EXPECT_EQ(codePageCode(QLatin1Char('A')), 65);
    EXPECT_EQ(codePageCode(QLatin1Char(' ')), 32);
    EXPECT_EQ(codePageCode(QChar(0x09)), 9);
    EXPECT_EQ(codePageCode(QChar(0x7F)), 127);
    EXPECT_EQ(codePageCode(QChar(0x00A0)), 160);
    EXPECT_EQ(codePageCode(QChar(0x00E9)), 233);  // é
    EXPECT_EQ(codePageCode(QChar(0x00FF)), 255);  // ÿ
    EXPECT_EQ(codePageCode(QChar(0x20AC)), 128);  // €
    EXPECT_EQ(codePageCode(QChar(0x201A)), 130);  // ‚
    EXPECT_EQ(codePageCode(QChar(0x2122)), 153);  // ™
    EXPECT_EQ(codePageCode(QChar(0x0178)), 159);  // Ÿ
    EXPECT_EQ(codePageCode(QChar(0x0081)), 129);  // unassigned code, passed through
    EXPECT_EQ(codePageCode(QChar(0x0080)), 63);   // a control the code page has no place for
    EXPECT_EQ(codePageCode(QChar(0x65E5)), 63);   // 日
    EXPECT_EQ(codePageCode(QChar(0x0100)), 63);   // Ā: no best fit to A
    EXPECT_EQ(codePageCode(QChar(0xD83D)), 63);   // half of a surrogate pair
    EXPECT_EQ(codePageCode(QChar(0xFFFD)), 63);   // a byte the file name's encoding could not read
    EXPECT_EQ(codePageCode(QLatin1Char('?')), 63);
}

TEST(ListingOrder, ComparesInUpperCaseThenByCodeUnit) {
    EXPECT_TRUE(listsBefore(QStringLiteral("apple"), QStringLiteral("Banana")));
    EXPECT_FALSE(listsBefore(QStringLiteral("Banana"), QStringLiteral("apple")));
    EXPECT_TRUE(listsBefore(QStringLiteral("Zebra"), QStringLiteral("_first")));
    EXPECT_TRUE(listsBefore(QStringLiteral("ab"), QStringLiteral("ABC")));
    EXPECT_TRUE(listsBefore(QStringLiteral("A.mpp"), QStringLiteral("a.mpp")));
    EXPECT_FALSE(listsBefore(QStringLiteral("a.mpp"), QStringLiteral("A.mpp")));
    EXPECT_FALSE(listsBefore(QStringLiteral("same"), QStringLiteral("same")));
    EXPECT_TRUE(listsBefore(QStringLiteral("plan 9"), QStringLiteral("plan10")));  // blank before digits
}

TEST(Wildcards, MatchLikeTheDesktopFileSystems) {
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.mpp"), QStringLiteral("plan.mpp")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.mpp"), QStringLiteral("PLAN.MPP")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.MPP"), QStringLiteral("plan.mpp")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.mpp"), QStringLiteral(".mpp")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.mpp"), QStringLiteral("a.b.mpp")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("*.mpp"), QStringLiteral("plan.mppx")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("*.mpp"), QStringLiteral("planmpp")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("*.txt"), QStringLiteral("txt")));
    // "*.*" takes every name, with or without a dot.
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.*"), QStringLiteral("README")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.*"), QStringLiteral(".profile")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.*"), QStringLiteral("a.b")));
    // "?" is exactly one character.
    EXPECT_TRUE(wildcardMatch(QStringLiteral("?.txt"), QStringLiteral("a.txt")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("?.txt"), QStringLiteral("ab.txt")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("?.txt"), QStringLiteral(".txt")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.mp?"), QStringLiteral("x.mpt")));
    // A leading dot in the extension gives two dots in a row.
    EXPECT_FALSE(wildcardMatch(QStringLiteral("*..mpp"), QStringLiteral("plan.mpp")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*..mpp"), QStringLiteral("plan..mpp")));
    // Stars take back characters when a later part needs them.
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*ab"), QStringLiteral("aab")));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("a*b*c"), QStringLiteral("aXbYbZc")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("a*b*c"), QStringLiteral("aXbYbZ")));
    // Other characters stand for themselves.
    EXPECT_TRUE(wildcardMatch(QStringLiteral("*.[x]"), QStringLiteral("a.[X]")));
    EXPECT_TRUE(wildcardMatch(QString::fromUtf8("*.é"), QString::fromUtf8("a.É")));
    EXPECT_FALSE(wildcardMatch(QStringLiteral("*.a/b"), QStringLiteral("x.a")));
}

TEST(FileFailures, NameTheFailureAndThePath) {
    EXPECT_EQ(fileFailure(ENOENT, QStringLiteral("/x/"), true).number(), 76);
    EXPECT_EQ(fileFailure(ENOENT, QStringLiteral("/x"), false).number(), 53);
    EXPECT_EQ(fileFailure(EACCES, QStringLiteral("/x"), true).number(), 70);
    EXPECT_EQ(fileFailure(EPERM, QStringLiteral("/x"), false).number(), 70);
    EXPECT_EQ(fileFailure(ENAMETOOLONG, QStringLiteral("/x"), true).number(), 52);
    EXPECT_EQ(fileFailure(EIO, QStringLiteral("/x"), true).number(), 57);
    EXPECT_EQ(fileFailure(EMFILE, QStringLiteral("/x"), true).number(), 75);
    EXPECT_EQ(fileFailure(EACCES, QStringLiteral("/x"), true).description(), QStringLiteral("Permission denied: /x"));
    // The description stays on one line whatever the name holds.
    EXPECT_EQ(fileFailure(ENOENT, QStringLiteral("/a\nb\rc"), true).description(),
              QStringLiteral("Path not found: /a?b?c"));
}

}  // namespace
}  // namespace quorrix
