#include <QDir>
#include <climits>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filelist/folder_routines.h"
#include "filelist/folder_sources.h"
#include "filelist/folder_test_support.h"

namespace {

using quorrix::Failure;
using quorrix::testing::FakeFileSystem;
using quorrix::testing::TempTree;

// The folder list after a walk from the given folder, with the separator the walk gives it.
QStringList walk(const QString& folder, const AddFolder::Yield& yield = {},
                 const quorrix::FileSystem& fs = quorrix::realFileSystem()) {
    QStringList folders{folder + QLatin1Char('/')};
    AddFolder::CollectSubfolders(folders, true, yield, fs);
    return folders;
}

// The paths of the given folder list, relative to the tree's root.
QStringList relative(const TempTree& t, const QStringList& paths) {
    QStringList out;
    for (const QString& p : paths) out << (p.startsWith(t.root()) ? p.mid(t.root().size()) : p);
    return out;
}

QStringList entriesOf(const std::function<void(const quorrix::filelist::AddEntry&)>& source) {
    QStringList entries;
    source([&](const QString& path) { entries << path; });
    return entries;
}

// ---- CollectSubfolders ----------------------------------------------------------------------

TEST(CollectSubfolders, ListsTheTreeBreadthFirstGroupedByParent) {
    TempTree t;
    t.folder(QStringLiteral("R/A/A1"));
    t.folder(QStringLiteral("R/B"));
    EXPECT_EQ(relative(t, walk(t.path(QStringLiteral("R")))),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/A/"), QStringLiteral("/R/B/"),
                           QStringLiteral("/R/A/A1/")}));

    TempTree u;
    for (const char* p : {"R/b/x", "R/A/z", "R/A/y/deep", "R/c", "R/A/y/Deeper/last"}) u.folder(QString::fromLatin1(p));
    EXPECT_EQ(relative(u, walk(u.path(QStringLiteral("R")))),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/A/"), QStringLiteral("/R/b/"),
                           QStringLiteral("/R/c/"), QStringLiteral("/R/A/y/"), QStringLiteral("/R/A/z/"),
                           QStringLiteral("/R/b/x/"), QStringLiteral("/R/A/y/deep/"), QStringLiteral("/R/A/y/Deeper/"),
                           QStringLiteral("/R/A/y/Deeper/last/")}));
}

TEST(CollectSubfolders, KeepsTheEntriesItWasGivenAndWalksEach) {
    TempTree t;
    t.folder(QStringLiteral("one/a"));
    t.folder(QStringLiteral("two/b"));
    QStringList folders{t.path(QStringLiteral("one/")), t.path(QStringLiteral("two/"))};
    AddFolder::CollectSubfolders(folders, true, {});
    EXPECT_EQ(relative(t, folders), (QStringList{QStringLiteral("/one/"), QStringLiteral("/two/"),
                                                 QStringLiteral("/one/a/"), QStringLiteral("/two/b/")}));
}

TEST(CollectSubfolders, WithoutRecursionStopsOneLevelDown) {
    TempTree t;
    t.folder(QStringLiteral("R/A/A1"));
    t.folder(QStringLiteral("R/B"));
    QStringList folders{t.path(QStringLiteral("R/"))};
    AddFolder::CollectSubfolders(folders, false, {});
    EXPECT_EQ(relative(t, folders),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/A/"), QStringLiteral("/R/B/")}));
}

TEST(CollectSubfolders, LinkLoopsEndAndEveryOtherWayIsTaken) {
    TempTree t;
    t.folder(QStringLiteral("R/A/A1"));
    t.folder(QStringLiteral("R/B"));
    t.folder(QStringLiteral("Outside/O1"));
    t.link(QStringLiteral("R/A/A1/back-to-root"), QStringLiteral("../.."));
    t.link(QStringLiteral("R/B/up"), QStringLiteral(".."));
    t.link(QStringLiteral("R/B/self"), QStringLiteral("."));
    t.link(QStringLiteral("R/B/to-A"), t.path(QStringLiteral("R/A")));
    t.link(QStringLiteral("R/C-out"), QStringLiteral("../Outside"));
    t.link(QStringLiteral("R/D-out-again"), QStringLiteral("../Outside"));
    t.link(QStringLiteral("R/loop1"), QStringLiteral("loop2"));
    t.link(QStringLiteral("R/loop2"), QStringLiteral("loop1"));
    t.link(QStringLiteral("R/dead"), QStringLiteral("nowhere"));

    // A link back into a folder on the way down (".", "..", "../..") is not taken, links that lead
    // nowhere or only to each other are no folders; both links out of the tree and the link across
    // it are walked, down to A1 again, whose link back to the root is then refused as well.
    EXPECT_EQ(relative(t, walk(t.path(QStringLiteral("R")))),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/A/"), QStringLiteral("/R/B/"),
                           QStringLiteral("/R/C-out/"), QStringLiteral("/R/D-out-again/"), QStringLiteral("/R/A/A1/"),
                           QStringLiteral("/R/B/to-A/"), QStringLiteral("/R/C-out/O1/"),
                           QStringLiteral("/R/D-out-again/O1/"), QStringLiteral("/R/B/to-A/A1/")}));
}

TEST(CollectSubfolders, FoldersLinkedToEachOtherAreWalkedOnceEachWay) {
    TempTree t;
    t.folder(QStringLiteral("R/A"));
    t.folder(QStringLiteral("R/B/B1"));
    t.link(QStringLiteral("R/A/to-B"), QStringLiteral("../B"));
    t.link(QStringLiteral("R/B/to-A"), QStringLiteral("../A"));
    t.link(QStringLiteral("R/B/B1/to-self"), QStringLiteral("."));
    t.link(QStringLiteral("R/B/B1/to-B"), QStringLiteral(".."));
    // Each link is followed until it would lead back into a folder of its own way down.
    EXPECT_EQ(relative(t, walk(t.path(QStringLiteral("R")))),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/A/"), QStringLiteral("/R/B/"),
                           QStringLiteral("/R/A/to-B/"), QStringLiteral("/R/B/B1/"), QStringLiteral("/R/B/to-A/"),
                           QStringLiteral("/R/A/to-B/B1/")}));

    // The walk given a folder inside a loop ends too.
    EXPECT_EQ(relative(t, walk(t.path(QStringLiteral("R/B/to-A")))),
              (QStringList{QStringLiteral("/R/B/to-A/"), QStringLiteral("/R/B/to-A/to-B/"),
                           QStringLiteral("/R/B/to-A/to-B/B1/")}));
}

TEST(CollectSubfolders, LinksThatFanOutAreBoundedAndAPlainTreeIsNot) {
    // Each level holds two links to the next: the ways down double with every level, 32,767 in
    // all. Every folder is reached, second ways only up to the limit.
    TempTree t;
    constexpr int kLevels = 15;
    for (int level = 0; level < kLevels; ++level) {
        t.folder(QStringLiteral("store/L%1").arg(level));
        if (level + 1 == kLevels) break;
        for (const char* name : {"a", "b"})
            t.link(QStringLiteral("store/L%1/%2").arg(level).arg(QLatin1String(name)),
                   t.path(QStringLiteral("store/L%1").arg(level + 1)));
    }
    const QStringList folders = walk(t.path(QStringLiteral("store/L0")));
    EXPECT_EQ(folders.size(), kLevels + AddFolder::kRepeatedFolderLimit);
    QString deepest = t.path(QStringLiteral("store/L0/"));
    for (int level = 1; level < kLevels; ++level) {
        deepest += QStringLiteral("a/");
        EXPECT_TRUE(folders.contains(deepest)) << level;
    }
    EXPECT_EQ(folders.at(1), t.path(QStringLiteral("store/L0/a/")));
    EXPECT_EQ(folders.at(2), t.path(QStringLiteral("store/L0/b/")));

    // A tree without links is never cut short, however many folders it holds.
    FakeFileSystem fs;
    for (int i = 0; i < 120; ++i)
        for (int j = 0; j < 100; ++j) fs.addFolder(QStringLiteral("/R/F%1/G%2").arg(i).arg(j));
    const QStringList plain = walk(QStringLiteral("/R"), {}, fs);
    EXPECT_EQ(plain.size(), 1 + 120 + 120 * 100);
    EXPECT_EQ(plain.last(), QStringLiteral("/R/F119/G99/"));
}

TEST(CollectSubfolders, LeavesOutNamesThePlatformMustNotBeGiven) {
    TempTree t;
    for (const char* p : {"R/Café", "R/why?", "R/Preis €", "R/日本/inner", "R/tab\there", "R/.hidden/inner"})
        t.folder(QString::fromUtf8(p));
    EXPECT_EQ(relative(t, walk(t.path(QStringLiteral("R")))),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/.hidden/"), QString::fromUtf8("/R/Café/"),
                           QStringLiteral("/R/.hidden/inner/")}));
}

TEST(CollectSubfolders, AChosenFolderNamedOutsideTheCodePageIsStillWalked) {
    TempTree t;
    t.folder(QString::fromUtf8("日本/sub"));
    EXPECT_EQ(relative(t, walk(t.path(QString::fromUtf8("日本")))),
              (QStringList{QString::fromUtf8("/日本/"), QString::fromUtf8("/日本/sub/")}));
}

TEST(CollectSubfolders, AFolderThatVanishesEndsTheWalkWithItsFailure) {
    TempTree t;
    t.folder(QStringLiteral("R/A/A1"));
    t.folder(QStringLiteral("R/B/B1"));
    QStringList folders{t.path(QStringLiteral("R/"))};
    int yields = 0;
    // The second yield comes while R's subfolders are taken, after B was found.
    const AddFolder::Yield yield = [&] {
        if (++yields == 2) QDir(t.path(QStringLiteral("R/B"))).removeRecursively();
    };
    try {
        AddFolder::CollectSubfolders(folders, true, yield);
        FAIL() << "the walk went on";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 76);
        EXPECT_EQ(f.description(), QStringLiteral("Path not found: ") + t.path(QStringLiteral("R/B/")));
    }
    // Each level merges its findings only after the walk below it: the chosen folder alone.
    EXPECT_EQ(relative(t, folders), QStringList{QStringLiteral("/R/")});
}

TEST(CollectSubfolders, AMissingChosenFolderFails) {
    TempTree t;
    QStringList folders{t.path(QStringLiteral("gone/"))};
    EXPECT_THROW(AddFolder::CollectSubfolders(folders, true, {}), Failure);
    EXPECT_EQ(folders, QStringList{t.path(QStringLiteral("gone/"))});
}

TEST(CollectSubfolders, DropsAFolderTheUserMayNotReadWithEverythingBelowIt) {
    FakeFileSystem fs;
    fs.addFolder(QStringLiteral("/R/A/A1"));
    fs.addFolder(QStringLiteral("/R/B/B1"));
    fs.addFolder(QStringLiteral("/R/C"));
    fs.node(QStringLiteral("/R/A")).enumerateFailure = Failure(70, QStringLiteral("Permission denied"));
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs), (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/B/"),
                                                               QStringLiteral("/R/C/"), QStringLiteral("/R/B/B1/")}));

    // The chosen folder itself goes as well.
    fs.node(QStringLiteral("/R")).enumerateFailure = Failure(70, QStringLiteral("Permission denied"));
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs), QStringList{});
}

TEST(CollectSubfolders, KeepsWhatAFailedEnumerationFoundBeforeTheFailure) {
    FakeFileSystem fs;
    fs.addFolder(QStringLiteral("/R/A/A1"));
    fs.addFolder(QStringLiteral("/R/B/B1"));
    fs.addFolder(QStringLiteral("/R/C"));
    // An enumeration that fails after its first subfolder: permission denied drops the folder,
    // whatever it found stays; any other failure keeps the folder too.
    fs.node(QStringLiteral("/R")).enumerateFailure = Failure(57, QStringLiteral("Device I/O error"));
    fs.node(QStringLiteral("/R")).enumerateFailsAfter = 1;
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/A/"), QStringLiteral("/R/A/A1/")}));

    fs.node(QStringLiteral("/R")).enumerateFailure = Failure(70, QStringLiteral("Permission denied"));
    fs.node(QStringLiteral("/R")).enumerateFailsAfter = 2;
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs), (QStringList{QStringLiteral("/R/A/"), QStringLiteral("/R/B/"),
                                                               QStringLiteral("/R/A/A1/"), QStringLiteral("/R/B/B1/")}));
}

TEST(CollectSubfolders, DoesNotEnterHiddenSystemFoldersUnlessTheyAreARoot) {
    FakeFileSystem fs;
    fs.addFolder(QStringLiteral("/R/sys"), 22);
    fs.addFolder(QStringLiteral("/R/sys/below"));
    fs.addFolder(QStringLiteral("/R/junction"), 1046);
    fs.addFolder(QStringLiteral("/R/junction/below"));
    fs.addFolder(QStringLiteral("/R/readonly-sys"), 23);
    fs.addFolder(QStringLiteral("/R/readonly-sys/below"));
    fs.addFolder(QStringLiteral("/R/hidden"), 18);
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs),
              (QStringList{QStringLiteral("/R/"), QStringLiteral("/R/readonly-sys/"), QStringLiteral("/R/hidden/"),
                           QStringLiteral("/R/readonly-sys/below/")}));

    // A chosen folder is listed whatever its attributes, but walked only when walkable...
    fs.node(QStringLiteral("/R")).attributes = 22;
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs), QStringList{QStringLiteral("/R/")});
    // ... or the root of a drive.
    fs.node(QStringLiteral("/R")).root = true;
    EXPECT_EQ(walk(QStringLiteral("/R"), {}, fs).size(), 4);
}

TEST(CollectSubfolders, YieldsBeforeEachFolderEachSubfolderAndEachMerge) {
    FakeFileSystem fs;
    fs.addFolder(QStringLiteral("/R/A/A1"));
    fs.addFolder(QStringLiteral("/R/B"));
    fs.trace.clear();
    walk(QStringLiteral("/R"), [&] { fs.trace << QStringLiteral("yield"); }, fs);
    EXPECT_EQ(fs.trace, (QStringList{
                            // the chosen folder and its subfolders A and B
                            QStringLiteral("folder /R/"), QStringLiteral("yield"), QStringLiteral("subfolders /R/"),
                            QStringLiteral("yield"), QStringLiteral("yield"),
                            // one level down: A with A1, then B
                            QStringLiteral("folder /R/A/"), QStringLiteral("yield"), QStringLiteral("subfolders /R/A/"),
                            QStringLiteral("yield"), QStringLiteral("folder /R/B/"), QStringLiteral("yield"),
                            QStringLiteral("subfolders /R/B/"),
                            // two levels down: A1, then A1 merged into the level above
                            QStringLiteral("folder /R/A/A1/"), QStringLiteral("yield"),
                            QStringLiteral("subfolders /R/A/A1/"), QStringLiteral("yield"),
                            // A, B and A1 merged into the chosen folder's list
                            QStringLiteral("yield"), QStringLiteral("yield"), QStringLiteral("yield")}));
}

TEST(CollectSubfolders, OnTheRootBuildsTheDoubledSeparator) {
    FakeFileSystem fs;
    fs.addFolder(QStringLiteral("/Sub/Inner"));
    QStringList folders{QStringLiteral("//")};
    AddFolder::CollectSubfolders(folders, true, {}, fs);
    EXPECT_EQ(folders, (QStringList{QStringLiteral("//"), QStringLiteral("//Sub/"), QStringLiteral("//Sub/Inner/")}));
}

// ---- AddFilesOfFolders ----------------------------------------------------------------------

TEST(AddFilesOfFolders, AddsFolderByFolderAndLeavesOutLockAndHiddenArchiveFiles) {
    TempTree t;
    t.file(QStringLiteral("R/b.mpp"));
    t.file(QStringLiteral("R/A.mpp"));
    t.file(QStringLiteral("R/~$A.mpp"));
    t.file(QStringLiteral("R/.hidden.mpp"));  // hidden + archive
    t.file(QStringLiteral("R/.kept.mpp"));
    t.mode(QStringLiteral("R/.kept.mpp"), 0444);  // hidden + archive + read-only
    t.file(QStringLiteral("R/notes.txt"));
    t.file(QStringLiteral("R/sub/c.mpp"));
    t.link(QStringLiteral("R/linked.mpp"), QStringLiteral("b.mpp"));
    t.link(QStringLiteral("R/.hidden-link.mpp"), QStringLiteral("b.mpp"));  // hidden + archive + reparse point

    const QStringList folders{t.path(QStringLiteral("R/")), t.path(QStringLiteral("R/sub/"))};
    const QStringList entries = entriesOf([&](const quorrix::filelist::AddEntry& add) {
        AddFolder::AddFilesOfFolders(folders, QStringLiteral("*.mpp"), add, {});
    });
    EXPECT_EQ(relative(t, entries),
              (QStringList{QStringLiteral("/R/.hidden-link.mpp"), QStringLiteral("/R/.kept.mpp"),
                           QStringLiteral("/R/A.mpp"), QStringLiteral("/R/b.mpp"), QStringLiteral("/R/linked.mpp"),
                           QStringLiteral("/R/sub/c.mpp")}));
}

TEST(AddFilesOfFolders, SkipsExactlyHiddenPlusArchive) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/R/archive.mpp"), 32);
    fs.addFile(QStringLiteral("/R/hidden-archive.mpp"), 34);
    fs.addFile(QStringLiteral("/R/hidden-only.mpp"), 2);
    fs.addFile(QStringLiteral("/R/hidden-system-archive.mpp"), 38);
    fs.addFile(QStringLiteral("/R/plain.mpp"), 0);
    fs.addFile(QStringLiteral("/R/~lock.mpp"), 32);
    fs.addFile(QStringLiteral("/R/closed.mpp"), 32, false);
    const QStringList entries = entriesOf([&](const quorrix::filelist::AddEntry& add) {
        AddFolder::AddFilesOfFolders({QStringLiteral("/R/")}, QStringLiteral("*.mpp"), add, {}, fs);
    });
    EXPECT_EQ(entries, (QStringList{QStringLiteral("/R/archive.mpp"), QStringLiteral("/R/hidden-only.mpp"),
                                    QStringLiteral("/R/hidden-system-archive.mpp"), QStringLiteral("/R/plain.mpp")}));
}

TEST(AddFilesOfFolders, FixesTheDoubledSeparatorOfTheRoot) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/top.mpp"));
    fs.addFile(QStringLiteral("/Sub/inner.mpp"));
    const QStringList entries = entriesOf([&](const quorrix::filelist::AddEntry& add) {
        AddFolder::AddFilesOfFolders({QStringLiteral("//"), QStringLiteral("//Sub/")}, QStringLiteral("*.mpp"), add, {},
                                     fs);
    });
    EXPECT_EQ(entries, (QStringList{QStringLiteral("/top.mpp"), QStringLiteral("/Sub/inner.mpp")}));
}

TEST(AddFilesOfFolders, RunsEachStatementThroughTheStepWithItsLine) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/R/a.mpp"));
    fs.addFile(QStringLiteral("/R/~b.mpp"));
    fs.addFolder(QStringLiteral("/S"));
    QList<int> lines;
    const AddFolder::Step step = [&](int line, const std::function<void()>& statement) {
        lines << line;
        statement();
    };
    QStringList entries;
    AddFolder::AddFilesOfFolders({QStringLiteral("/R/"), QStringLiteral("/S/")}, QStringLiteral("*.mpp"),
                                 [&](const QString& p) { entries << p; }, step, fs);
    EXPECT_EQ(lines, (QList<int>{118, 120, 122, 124, 126, 128, 124, 118, 120, 122}));
    EXPECT_EQ(entries, QStringList{QStringLiteral("/R/a.mpp")});
}

TEST(AddFilesOfFolders, AFolderWhoseListingFailsIsPassedAndTheOthersListed) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/R/a.mpp"));
    fs.addFile(QStringLiteral("/S/b.mpp"));
    fs.addFile(QStringLiteral("/T/c.mpp"));
    fs.node(QStringLiteral("/S")).listFailure = Failure(57, QStringLiteral("Device I/O error"));
    QStringList reports;
    const AddFolder::Step step = [&](int line, const std::function<void()>& statement) {
        try {
            statement();
        } catch (const Failure& f) {
            reports << QStringLiteral("%1 at %2").arg(f.description()).arg(line);
        }
    };
    QStringList entries;
    AddFolder::AddFilesOfFolders({QStringLiteral("/R/"), QStringLiteral("/S/"), QStringLiteral("/T/")},
                                 QStringLiteral("*.mpp"), [&](const QString& p) { entries << p; }, step, fs);
    EXPECT_EQ(entries, (QStringList{QStringLiteral("/R/a.mpp"), QStringLiteral("/T/c.mpp")}));
    EXPECT_EQ(reports, QStringList{QStringLiteral("Device I/O error at 120")});

    // Without a step the failure reaches the caller.
    entries.clear();
    EXPECT_THROW(AddFolder::AddFilesOfFolders({QStringLiteral("/R/"), QStringLiteral("/S/")}, QStringLiteral("*.mpp"),
                                              [&](const QString& p) { entries << p; }, {}, fs),
                 Failure);
    EXPECT_EQ(entries, QStringList{QStringLiteral("/R/a.mpp")});
}

// ---- The scan's walk and listing -------------------------------------------------------------

// The tree of the example: R holding A and B, A holding A1, a file of each kind in each.
void exampleTree(const TempTree& t) {
    for (const char* folder : {"R", "R/A", "R/B", "R/A/A1"}) {
        const QString f = QString::fromLatin1(folder);
        t.file(f + QStringLiteral("/plan.mpp"));
        t.file(f + QStringLiteral("/Other.MPP"));
        t.file(f + QStringLiteral("/notes.txt"));
        t.file(f + QStringLiteral("/~$plan.mpp"));
    }
}

QStringList scan(const TempTree& t, const QString& folder, const QString& extension) {
    return relative(t, entriesOf([&](const quorrix::filelist::AddEntry& add) {
                        quorrix::filelist::AddFolderTree(folder, extension, add, {}, {});
                    }));
}

TEST(AddFolderTree, AddsTheFilesOfRThenAThenBThenA1) {
    TempTree t;
    exampleTree(t);
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R")), QStringLiteral("mpp")),
              (QStringList{QStringLiteral("/R/Other.MPP"), QStringLiteral("/R/plan.mpp"), QStringLiteral("/R/A/Other.MPP"),
                           QStringLiteral("/R/A/plan.mpp"), QStringLiteral("/R/B/Other.MPP"),
                           QStringLiteral("/R/B/plan.mpp"), QStringLiteral("/R/A/A1/Other.MPP"),
                           QStringLiteral("/R/A/A1/plan.mpp")}));
    // The extension's case does not matter.
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R")), QStringLiteral("MPP")),
              scan(t, t.path(QStringLiteral("R")), QStringLiteral("mpp")));
    // A folder given with a trailing separator is the same folder.
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R/")), QStringLiteral("txt")),
              (QStringList{QStringLiteral("/R/notes.txt"), QStringLiteral("/R/A/notes.txt"),
                           QStringLiteral("/R/B/notes.txt"), QStringLiteral("/R/A/A1/notes.txt")}));
}

TEST(AddFolderTree, FilesReachedByASecondWayAreListedByThatWayToo) {
    TempTree t;
    t.file(QStringLiteral("R/A/x.mpp"));
    t.file(QStringLiteral("R/A/A1/y.mpp"));
    t.link(QStringLiteral("R/B"), QStringLiteral("A"));
    t.link(QStringLiteral("R/A/A1/up"), QStringLiteral(".."));
    const QStringList expected{QStringLiteral("/R/A/x.mpp"), QStringLiteral("/R/B/x.mpp"),
                               QStringLiteral("/R/A/A1/y.mpp"), QStringLiteral("/R/B/A1/y.mpp")};
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R")), QStringLiteral("mpp")), expected);
    // A drop walks the same way.
    EXPECT_EQ(relative(t, entriesOf([&](const quorrix::filelist::AddEntry& add) {
                  quorrix::filelist::AddDroppedPath(t.path(QStringLiteral("R")), add, {});
              })),
              expected);
}

TEST(AddFolderTree, StarTakesEveryFileAndALeadingDotFindsNothing) {
    TempTree t;
    t.file(QStringLiteral("R/plan.mpp"));
    t.file(QStringLiteral("R/README"));
    t.file(QStringLiteral("R/~$plan.mpp"));
    t.file(QStringLiteral("R/sub/notes.txt"));
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R")), QStringLiteral("*")),
              (QStringList{QStringLiteral("/R/plan.mpp"), QStringLiteral("/R/README"), QStringLiteral("/R/sub/notes.txt")}));
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R")), QStringLiteral(".mpp")), QStringList{});
    EXPECT_EQ(scan(t, t.path(QStringLiteral("R")), QStringLiteral("doc")), QStringList{});
}

TEST(AddFolderTree, OnTheRootGivesSingleSeparators) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/top.mpp"));
    fs.addFile(QStringLiteral("/Sub/inner.mpp"));
    fs.addFile(QStringLiteral("/Sub/Deeper/last.mpp"));
    const QStringList entries = entriesOf([&](const quorrix::filelist::AddEntry& add) {
        quorrix::filelist::AddFolderTree(QStringLiteral("/"), QStringLiteral("mpp"), add, {}, {}, fs);
    });
    EXPECT_EQ(entries, (QStringList{QStringLiteral("/top.mpp"), QStringLiteral("/Sub/inner.mpp"),
                                    QStringLiteral("/Sub/Deeper/last.mpp")}));
}

TEST(AddFolderTree, AWalkThatEndsEarlyIsReportedAtLine114AndTheChosenFolderStillListed) {
    TempTree t;
    exampleTree(t);
    QStringList reports;
    int yields = 0;
    const AddFolder::Yield yield = [&] {
        if (++yields == 2) QDir(t.path(QStringLiteral("R/B"))).removeRecursively();
    };
    const AddFolder::Step step = [&](int line, const std::function<void()>& statement) {
        try {
            statement();
        } catch (const Failure& f) {
            reports << QStringLiteral("%1 at %2").arg(f.description()).arg(line);
        }
    };
    const QStringList entries = entriesOf([&](const quorrix::filelist::AddEntry& add) {
        quorrix::filelist::AddFolderTree(t.path(QStringLiteral("R")), QStringLiteral("mpp"), add, yield, step);
    });
    EXPECT_EQ(reports, QStringList{QStringLiteral("Path not found: ") + t.path(QStringLiteral("R/B/")) +
                                   QStringLiteral(" at 114")});
    EXPECT_EQ(relative(t, entries), (QStringList{QStringLiteral("/R/Other.MPP"), QStringLiteral("/R/plan.mpp")}));
}

TEST(AddFolderTree, UnreadableFolderIsLeftOutWithItsFiles) {
    if (quorrix::testing::permissionsIgnored()) GTEST_SKIP() << "permissions do not stop the super-user";
    TempTree t;
    exampleTree(t);
    t.mode(QStringLiteral("R/A"), 0);
    const QStringList entries = scan(t, t.path(QStringLiteral("R")), QStringLiteral("mpp"));
    t.mode(QStringLiteral("R/A"), 0755);
    EXPECT_EQ(entries, (QStringList{QStringLiteral("/R/Other.MPP"), QStringLiteral("/R/plan.mpp"),
                                    QStringLiteral("/R/B/Other.MPP"), QStringLiteral("/R/B/plan.mpp")}));
}

TEST(AddFolderTree, RunsItsStatementsAsLines112To116) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/R/a.mpp"));
    QList<int> lines;
    const AddFolder::Step step = [&](int line, const std::function<void()>& statement) {
        lines << line;
        statement();
    };
    QStringList entries;
    quorrix::filelist::AddFolderTree(QStringLiteral("/R"), QStringLiteral("mpp"),
                                     [&](const QString& p) { entries << p; }, {}, step, fs);
    EXPECT_EQ(lines, (QList<int>{112, 114, 116, 118, 120, 122, 124, 126, 128}));
    EXPECT_EQ(entries, QStringList{QStringLiteral("/R/a.mpp")});
}

// ---- A dropped path -------------------------------------------------------------------------

QStringList drop(const QString& path, const quorrix::FileSystem& fs = quorrix::realFileSystem()) {
    return entriesOf(
        [&](const quorrix::filelist::AddEntry& add) { quorrix::filelist::AddDroppedPath(path, add, {}, fs); });
}

TEST(AddDroppedPath, AppendsAFileUnchangedWhateverItIs) {
    TempTree t;
    for (const char* name : {"plan.mpp", "notes.txt", "~$plan.mpp", ".hidden.mpp"}) {
        const QString path = t.file(QString::fromLatin1(name));
        EXPECT_EQ(drop(path), QStringList{path});
    }
    // Nothing is checked: a missing file, a dangling link and a shortcut to a folder are entries.
    EXPECT_EQ(drop(t.path(QStringLiteral("missing.mpp"))), QStringList{t.path(QStringLiteral("missing.mpp"))});
    const QString dead = t.link(QStringLiteral("dead"), QStringLiteral("nowhere"));
    EXPECT_EQ(drop(dead), QStringList{dead});
    const QString shortcut = t.file(QStringLiteral("Plans.desktop"), "[Desktop Entry]\nType=Link\nURL=file:///\n");
    EXPECT_EQ(drop(shortcut), QStringList{shortcut});
}

TEST(AddDroppedPath, WalksAFolderForEveryFile) {
    TempTree t;
    exampleTree(t);
    t.file(QStringLiteral("R/A/.hidden.mpp"));
    const QStringList expected{
        QStringLiteral("/R/notes.txt"),     QStringLiteral("/R/Other.MPP"),    QStringLiteral("/R/plan.mpp"),
        QStringLiteral("/R/A/notes.txt"),   QStringLiteral("/R/A/Other.MPP"),  QStringLiteral("/R/A/plan.mpp"),
        QStringLiteral("/R/B/notes.txt"),   QStringLiteral("/R/B/Other.MPP"),  QStringLiteral("/R/B/plan.mpp"),
        QStringLiteral("/R/A/A1/notes.txt"), QStringLiteral("/R/A/A1/Other.MPP"), QStringLiteral("/R/A/A1/plan.mpp")};
    EXPECT_EQ(relative(t, drop(t.path(QStringLiteral("R")))), expected);
    EXPECT_EQ(relative(t, drop(t.path(QStringLiteral("R/")))), expected);

    // A link to a folder is a folder.
    t.link(QStringLiteral("to-B"), QStringLiteral("R/B"));
    EXPECT_EQ(relative(t, drop(t.path(QStringLiteral("to-B")))),
              (QStringList{QStringLiteral("/to-B/notes.txt"), QStringLiteral("/to-B/Other.MPP"),
                           QStringLiteral("/to-B/plan.mpp")}));
}

TEST(AddDroppedPath, OnTheRootWalksTheWholeTreeWithSingleSeparators) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/top.txt"));
    fs.addFile(QStringLiteral("/Sub/inner.mpp"));
    EXPECT_EQ(drop(QStringLiteral("/"), fs), (QStringList{QStringLiteral("/top.txt"), QStringLiteral("/Sub/inner.mpp")}));
}

TEST(AddDroppedPath, SkipsWhatCannotBeExaminedAndListsWhatAShortenedWalkReached) {
    TempTree t;
    EXPECT_EQ(drop(QString()), QStringList{});
    EXPECT_EQ(drop(t.path(QStringLiteral("bad")) + QChar(0)), QStringList{});
    EXPECT_EQ(drop(t.path(QString(5000, QLatin1Char('n')))), QStringList{});

    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/R/a.mpp"));
    fs.addFile(QStringLiteral("/R/A/b.mpp"));
    fs.addFile(QStringLiteral("/R/B/c.mpp"));
    fs.node(QStringLiteral("/R/B")).examineFailure = Failure(76, QStringLiteral("Path not found"));
    EXPECT_EQ(drop(QStringLiteral("/R"), fs), QStringList{QStringLiteral("/R/a.mpp")});

    FakeFileSystem listing;
    listing.addFile(QStringLiteral("/R/a.mpp"));
    listing.addFile(QStringLiteral("/R/A/b.mpp"));
    listing.addFile(QStringLiteral("/R/B/c.mpp"));
    listing.node(QStringLiteral("/R/A")).listFailure = Failure(57, QStringLiteral("Device I/O error"));
    EXPECT_EQ(drop(QStringLiteral("/R"), listing), (QStringList{QStringLiteral("/R/a.mpp"), QStringLiteral("/R/B/c.mpp")}));
}

TEST(AddNamedPath, KeepsWhatCannotBeExaminedAndOtherwiseActsAsADrop) {
    FakeFileSystem fs;
    fs.addFile(QStringLiteral("/R/a.mpp"));
    fs.addFile(QStringLiteral("/R/B/c.mpp"));
    fs.addFile(QStringLiteral("/Locked/plan.mpp"));
    fs.node(QStringLiteral("/Locked/plan.mpp")).entryFailure = Failure(70, QStringLiteral("Permission denied"));
    const auto named = [&](const QString& path) {
        return entriesOf([&](const quorrix::filelist::AddEntry& add) {
            quorrix::filelist::AddNamedPath(path, add, {}, fs);
        });
    };
    // The path that cannot be examined stays, unchanged; a drop of it adds nothing.
    EXPECT_EQ(named(QStringLiteral("/Locked/plan.mpp")), QStringList{QStringLiteral("/Locked/plan.mpp")});
    EXPECT_EQ(drop(QStringLiteral("/Locked/plan.mpp"), fs), QStringList{});
    EXPECT_EQ(named(QStringLiteral("/R")), drop(QStringLiteral("/R"), fs));
    EXPECT_EQ(named(QStringLiteral("/R")), (QStringList{QStringLiteral("/R/a.mpp"), QStringLiteral("/R/B/c.mpp")}));
    EXPECT_EQ(named(QStringLiteral("/missing.mpp")), QStringList{QStringLiteral("/missing.mpp")});
    EXPECT_EQ(named(QString()), QStringList{});

    // The same on the machine's own file system, where the user may not search the folder.
    if (quorrix::testing::permissionsIgnored()) return;  // root may search every folder
    TempTree t;
    const QString plan = t.file(QStringLiteral("Shut/plan.mpp"));
    QFile::setPermissions(t.path(QStringLiteral("Shut")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(entriesOf([&](const quorrix::filelist::AddEntry& add) { quorrix::filelist::AddNamedPath(plan, add, {}); }),
              QStringList{plan});
    EXPECT_EQ(drop(plan), QStringList{});
    QFile::setPermissions(t.path(QStringLiteral("Shut")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace

// ---- Paths longer than the platform takes ------------------------------------------------------

// A chain of folders with long names, each holding one plan, deeper than a path may be long;
// made and removed step by step, since the deep end cannot be named by its full path.
class DeepChain {
public:
    explicit DeepChain(const QString& top) : top_(QFile::encodeName(top)) {
        int fd = ::open(top_.constData(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < kLevels && fd >= 0; ++level) {
            touch(fd, "plan.mpp");
            ::mkdirat(fd, name().constData(), 0755);
            const int next = ::openat(fd, name().constData(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        if (fd >= 0) {
            touch(fd, "plan.mpp");
            ::close(fd);
        }
    }
    ~DeepChain() { removeBelow(::open(top_.constData(), O_RDONLY | O_DIRECTORY)); }
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    static constexpr int kLevels = 24;
    static QByteArray name() { return QByteArray(200, 'd'); }

private:
    static void touch(int fd, const char* file) {
        const int f = ::openat(fd, file, O_CREAT | O_WRONLY, 0644);
        if (f >= 0) ::close(f);
    }
    static void removeBelow(int fd) {
        if (fd < 0) return;
        ::unlinkat(fd, "plan.mpp", 0);
        const int next = ::openat(fd, name().constData(), O_RDONLY | O_DIRECTORY);
        removeBelow(next);
        ::unlinkat(fd, name().constData(), AT_REMOVEDIR);
        ::close(fd);
    }
    QByteArray top_;
};

TEST(AddFolderTree, StopsQuietlyWhereFolderPathsGetTooLongForThePlatform) {
    TempTree t;
    const QString top = t.folder(QStringLiteral("top"));
    const DeepChain chain(top);
    QStringList reports;
    const AddFolder::Step step = [&](int line, const std::function<void()>& statement) {
        try {
            statement();
        } catch (const Failure& f) {
            reports << QStringLiteral("%1 at %2").arg(f.description()).arg(line);
        }
    };
    const QStringList entries = entriesOf([&](const quorrix::filelist::AddEntry& add) {
        quorrix::filelist::AddFolderTree(top, QStringLiteral("mpp"), add, {}, step);
    });
    EXPECT_EQ(reports, QStringList{});
    // A folder is walked while its path with the separator after it stays below the limit, and
    // its plan is listed while the plan's path does.
    const qsizetype perLevel = DeepChain::name().size() + 1;
    int expected = 0;
    for (int level = 0; level <= DeepChain::kLevels; ++level) {
        const qsizetype folderPath = top.size() + 1 + level * perLevel;  // with its separator
        if (folderPath >= PATH_MAX) break;
        if (folderPath + QByteArray("plan.mpp").size() < PATH_MAX) ++expected;
    }
    ASSERT_LT(expected, DeepChain::kLevels);
    EXPECT_EQ(entries.size(), expected);
    for (const QString& e : entries) EXPECT_LT(e.size(), PATH_MAX);
}

// ---- The bound on one walk's entries -----------------------------------------------------------

// Sixteen folders of 20 files, each linking twice to the next: the ways down double at each
// level, the files reached by them far outnumber the bound. The scan and a drop add exactly the
// bound and say so once, naming the folder.
TEST(FolderWalkBound, LinksThatFanOutAddNoMoreThanTheBoundAndOneReportSaysSo) {
    TempTree t;
    for (int level = 0; level < 16; ++level) {
        const QString folder = QStringLiteral("R/F%1").arg(level);
        for (int i = 0; i < 20; ++i) t.file(QStringLiteral("%1/p%2.mpp").arg(folder).arg(i));
        if (level < 15) {
            t.link(folder + QStringLiteral("/a"), QStringLiteral("../F%1").arg(level + 1));
            t.link(folder + QStringLiteral("/b"), QStringLiteral("../F%1").arg(level + 1));
        }
    }
    const QString top = t.path(QStringLiteral("R/F0"));
    const QString named = QStringLiteral("Only the first 100,000 files of the folder \"%1\" were added: a folder "
                                         "adds at most 100,000 files, its subfolders included.").arg(top);
    QStringList reports;
    const AddFolder::Step step = [&](int line, const std::function<void()>& statement) {
        try {
            statement();
        } catch (const Failure& f) {
            reports << QStringLiteral("%1 %2 %3").arg(line).arg(f.number()).arg(f.description());
        }
    };
    const quorrix::filelist::WalkStopped stopped = [&](const Failure& f) {
        reports << QStringLiteral("stopped %1 %2").arg(f.number()).arg(f.description());
    };
    const auto walks = std::vector<std::pair<QString, std::function<void(const quorrix::filelist::AddEntry&)>>>{
        {QStringLiteral("128 67 "),
         [&](const auto& add) { quorrix::filelist::AddFolderTree(top, QStringLiteral("mpp"), add, {}, step); }},
        {QStringLiteral("stopped 67 "),
         [&](const auto& add) {
             quorrix::filelist::AddDroppedPath(top, add, {}, quorrix::realFileSystem(), stopped);
         }},
    };
    for (const auto& [report, source] : walks) {
        reports.clear();
        const QStringList entries = entriesOf(source);
        EXPECT_EQ(entries.size(), AddFolder::kWalkEntryLimit) << report.toStdString();
        EXPECT_EQ(entries.front(), top + QStringLiteral("/p0.mpp"));
        EXPECT_EQ(reports, QStringList{report + named});
    }
}
