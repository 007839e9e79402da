#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "importer/import_run.h"
#include "importer/lookahead_host.h"
#include "importer/plan_prefetch.h"
#include "importer/plan_project.h"
#include "importer/workbook/memory_spreadsheet.h"
#include "platform/failure.h"
#include "support/scripted_dialogs.h"
#include "support/test_host.h"

using quorrix::Failure;
using namespace quorrix::importer;
using namespace quorrix::importer::plans;

namespace {

// A reader double: records every read and the thread it ran on, serves a plan whose one task is
// named "<path>#<n>" for the n-th read of the path (or "<path>" alone when reads are not
// numbered), fails for paths starting with "bad", and keeps a held path's read waiting until it
// is released.
class RecordingReader {
public:
    explicit RecordingReader(bool numbered = true) : numbered_(numbered) {}

    Plan read(const QString& path) {
        std::unique_lock lock(mutex_);
        calls_ << path;
        if (std::this_thread::get_id() != caller_) ++readsElsewhere_;
        const int n = ++counts_[path];
        changed_.notify_all();
        changed_.wait(lock, [&] { return !held_.contains(path); });
        if (path.startsWith(QLatin1String("bad")))
            throw Failure(321, QStringLiteral("The file \"%1\" is not a project plan.").arg(path));
        Plan plan;
        const QString name = numbered_ ? path + QLatin1Char('#') + QString::number(n) : path;
        plan.positions.push_back(PlanTask{name, 60.0 * path.size(),
                                          QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC), QDateTime(), {}});
        return plan;
    }
    PlanPrefetcher::Reader reader() {
        return [this](const QString& path) { return read(path); };
    }
    QStringList calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    int readsElsewhere() const {
        std::lock_guard lock(mutex_);
        return readsElsewhere_;
    }
    void hold(const QString& path) {
        std::lock_guard lock(mutex_);
        held_ << path;
    }
    void release(const QString& path) {
        {
            std::lock_guard lock(mutex_);
            held_.removeAll(path);
        }
        changed_.notify_all();
    }
    void waitForCalls(qsizetype count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return calls_.size() >= count; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    QStringList calls_;
    QStringList held_;
    std::map<QString, int> counts_;
    int readsElsewhere_ = 0;
    const bool numbered_;
    const std::thread::id caller_ = std::this_thread::get_id();
};

QString toDisplay(const Value& v) {
    if (const auto* s = std::get_if<QString>(&v)) return *s;
    if (const auto* n = std::get_if<double>(&v)) return QString::number(*n);
    if (const auto* t = std::get_if<QDateTime>(&v)) return t->toString(Qt::ISODate);
    return QStringLiteral("(empty)");
}

QString nameOf(const std::optional<Plan>& plan) {
    if (!plan || plan->positions.empty() || !plan->positions[0]) return QStringLiteral("(none)");
    return plan->positions[0]->name;
}

const QString a = QStringLiteral("a"), b = QStringLiteral("b"), c = QStringLiteral("c"), d = QStringLiteral("d"),
              e = QStringLiteral("e");

}  // namespace

TEST(PlanPrefetch, ReadsAheadInOrderWithAtMostTwoWaitingAndEachPlanOnce) {
    RecordingReader reader;
    PlanPrefetcher prefetcher(reader.reader());
    prefetcher.expect(1, {a, b, c, d});
    prefetcher.settle();
    EXPECT_EQ(reader.calls(), (QStringList{a, b}));  // two waiting: the worker stops there

    EXPECT_EQ(nameOf(prefetcher.take(a)), QStringLiteral("a#1"));
    prefetcher.settle();
    EXPECT_EQ(reader.calls(), (QStringList{a, b, c}));
    // Only the next expected opening is served; asking for a later one takes nothing.
    EXPECT_FALSE(prefetcher.take(c));
    EXPECT_EQ(nameOf(prefetcher.take(b)), QStringLiteral("b#1"));
    // Announcing steps already opened again does not read them again.
    prefetcher.expect(2, {b, c, d});
    prefetcher.settle();
    EXPECT_EQ(nameOf(prefetcher.take(c)), QStringLiteral("c#1"));
    EXPECT_EQ(nameOf(prefetcher.take(d)), QStringLiteral("d#1"));
    EXPECT_EQ(reader.calls(), (QStringList{a, b, c, d}));
    EXPECT_EQ(reader.readsElsewhere(), 4);

    // An opening whose read is in progress waits for that read instead of reading again.
    reader.hold(e);
    prefetcher.expect(5, {e});
    reader.waitForCalls(5);
    std::thread releaser([&] { reader.release(e); });
    EXPECT_EQ(nameOf(prefetcher.take(e)), QStringLiteral("e#1"));
    releaser.join();
    EXPECT_EQ(reader.calls().count(e), 1);

    // Ending lets everything go and counts steps anew: step 1 is read again.
    prefetcher.expect(1, {});
    prefetcher.expect(1, {a});
    prefetcher.settle();
    EXPECT_EQ(nameOf(prefetcher.take(a)), QStringLiteral("a#2"));
}

TEST(PlanPrefetch, PlansOfEntriesMovedOrRemovedAreDroppedAndFailuresComeAtTheirOpening) {
    RecordingReader reader;
    PlanPrefetcher prefetcher(reader.reader());
    prefetcher.expect(1, {a, b, c});
    prefetcher.settle();
    EXPECT_EQ(reader.calls(), (QStringList{a, b}));

    // c moved before b: b is no longer among the next two and is let go.
    prefetcher.expect(1, {a, c, b});
    prefetcher.settle();
    EXPECT_EQ(reader.calls(), (QStringList{a, b, c}));
    EXPECT_EQ(nameOf(prefetcher.take(a)), QStringLiteral("a#1"));
    prefetcher.settle();
    EXPECT_EQ(nameOf(prefetcher.take(c)), QStringLiteral("c#1"));
    EXPECT_EQ(nameOf(prefetcher.take(b)), QStringLiteral("b#2"));  // read anew, not the dropped one

    // d removed from the list before its opening: the next opening is e's.
    prefetcher.expect(4, {d, e});
    prefetcher.settle();
    prefetcher.expect(4, {e});
    EXPECT_FALSE(prefetcher.take(d));
    EXPECT_EQ(nameOf(prefetcher.take(e)), QStringLiteral("e#1"));

    // A failing read is thrown at the opening, with its number and text, and not read again.
    const QString bad = QStringLiteral("bad plan");
    prefetcher.expect(6, {bad, a});
    prefetcher.settle();
    try {
        prefetcher.take(bad);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 321);
        EXPECT_EQ(f.description(), QStringLiteral("The file \"bad plan\" is not a project plan."));
    }
    EXPECT_EQ(reader.calls().count(bad), 1);
    EXPECT_EQ(nameOf(prefetcher.take(a)), QStringLiteral("a#2"));
}

TEST(PlanPrefetch, FilesChangedOrGoneSinceTheirReadAreReadAgainAtTheOpening) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& name, const char* task) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("<Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks><Task><ID>1</ID><Name>") +
                   task + "</Name><Duration>PT1H0M0S</Duration></Task></Tasks></Project>");
        return file.fileName();
    };
    const QString same = write(QStringLiteral("same.xml"), "Old1");
    const QString resized = write(QStringLiteral("resized.xml"), "Old");
    const QString gone = write(QStringLiteral("gone.xml"), "Gone");

    PlanProjectAutomation automation;
    const auto openedName = [&](const QString& path) {
        auto app = automation.create(QStringLiteral("Msproject.Application"));
        app->fileOpen(path, true);
        return std::get<QString>(app->activeProject()->taskItem(1)->name());
    };

    // Rewritten with the same size: told apart by its times.
    automation.expectPlans(1, {same, resized});
    automation.settle();
    write(QStringLiteral("same.xml"), "New1");
    QFile touched(same);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QFileInfo(same).lastModified().addSecs(3600), QFileDevice::FileModificationTime));
    touched.close();
    EXPECT_EQ(openedName(same), QStringLiteral("New1"));

    write(QStringLiteral("resized.xml"), "Newer");
    EXPECT_EQ(openedName(resized), QStringLiteral("Newer"));

    // Removed after its read: the opening fails as it does for a missing file.
    automation.expectPlans(3, {gone});
    automation.settle();
    ASSERT_TRUE(QFile::remove(gone));
    auto app = automation.create(QStringLiteral("Msproject.Application"));
    try {
        app->fileOpen(gone, true);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), quorrix::failure_number::kFileNotFound);
    }
    EXPECT_EQ(app->projectsCount(), 0);
    automation.expectPlans(1, {});
}

TEST(LookaheadHost, AnnouncesTheEntriesTheRunOpensNextAndPassesEverythingOn) {
    struct Recorded : PlanLookahead {
        std::vector<std::pair<long, QStringList>> calls;
        void expectPlans(long step, const QStringList& paths) override { calls.emplace_back(step, paths); }
    } recorded;
    quorrix::testing::TestHost host;
    host.entries = {a, b, c, d};
    {
        LookaheadHost lookahead(host, &recorded);
        lookahead.setRunning(true);
        ASSERT_EQ(recorded.calls.size(), 1u);
        EXPECT_EQ(recorded.calls.back(), std::make_pair(1L, QStringList{a, b, c}));
        EXPECT_EQ(lookahead.entryText(1), a);
        EXPECT_EQ(recorded.calls.back(), std::make_pair(1L, QStringList{a, b, c}));
        EXPECT_EQ(lookahead.entryText(2), b);
        EXPECT_EQ(recorded.calls.back(), std::make_pair(2L, QStringList{b, c, d}));
        // Entry c removed while the run yields: the run still opens b, then what is third now.
        host.onProcessEvents = [&] { host.entries.removeAt(2); };
        lookahead.yield();
        EXPECT_EQ(recorded.calls.back(), std::make_pair(2L, QStringList{b, d}));
        EXPECT_EQ(host.processEventsCalls, 1);
        lookahead.setProgressText(QStringLiteral("Processing: b"));
        lookahead.setProgressValue(50);
        lookahead.setBusy(true);
        lookahead.progress(2, 3, QStringLiteral("b"));
        EXPECT_EQ(host.progressTexts, QStringList{QStringLiteral("Processing: b")});
        EXPECT_EQ(host.progressValues, std::vector<double>{50});
        EXPECT_EQ(host.pointerKinds, std::vector<int>{11});
        EXPECT_EQ(host.progressSteps, (std::vector<std::tuple<int, int, QString>>{{2, 3, "b"}}));
        // A failure of the run's own read passes on; announcing stops short of it.
        EXPECT_THROW(lookahead.entryText(7), Failure);
        lookahead.setRunning(false);
        EXPECT_EQ(recorded.calls.back(), std::make_pair(1L, QStringList{}));
        EXPECT_EQ(host.running, (std::vector<bool>{true, false}));
        lookahead.setRunning(true);
    }
    // Destroyed mid-run, it ends the lookahead.
    EXPECT_EQ(recorded.calls.back(), std::make_pair(1L, QStringList{}));

    // Without a lookahead it only passes on.
    LookaheadHost plain(host, nullptr);
    plain.setRunning(true);
    EXPECT_EQ(plain.entryCount(), 3);
    EXPECT_EQ(plain.entryText(3), d);
}

namespace {

// One import run through the project backend with a recording reader, the host wrapped in a
// lookahead or not; everything the run shows or writes is gathered as text for comparison.
struct RunRecord {
    QStringList shown;
    int readsElsewhere = 0;
};

RunRecord runImport(bool withLookahead, bool oneSheet, const QStringList& entries,
                    const std::function<void(quorrix::testing::TestHost&, int)>& duringYield) {
    RecordingReader reader(false);
    PlanProjectAutomation project(reader.reader());
    workbook::MemorySpreadsheetAutomation spreadsheet(nullptr);
    quorrix::testing::ScriptedDialogs dialogs;
    quorrix::testing::TestHost host;
    host.entries = entries;
    host.oneSheet = oneSheet;
    int yields = 0;
    // While the run yields, the worker reads what it may, as it does in time with real plans.
    host.onProcessEvents = [&] {
        duringYield(host, ++yields);
        project.settle();
    };
    ImportOutcome outcome;
    if (withLookahead) {
        LookaheadHost lookahead(host, lookaheadOf(project));
        outcome = importPlans(lookahead, dialogs, spreadsheet, project);
    } else {
        outcome = importPlans(host, dialogs, spreadsheet, project);
    }
    RunRecord record;
    QStringList& s = record.shown;
    s << outcome.failedFiles << outcome.closingMessage << QString::number(outcome.reports);
    for (const auto& call : dialogs.calls) s << call.title + QLatin1Char('|') + call.text;
    s << host.progressTexts;
    for (double v : host.progressValues) s << QString::number(v);
    for (int k : host.pointerKinds) s << QString::number(k);
    for (const auto& book : spreadsheet.workbooks()) {
        for (int k = 1; k <= book->sheetCount(); ++k) {
            s << book->sheet(k).name;
            for (long r = 1; r <= book->usedRows(k); ++r)
                for (int col = 1; col <= 4; ++col) s << toDisplay(book->cell(k, r, col));
        }
    }
    record.readsElsewhere = reader.readsElsewhere();
    return record;
}

}  // namespace

TEST(LookaheadHost, RunsWithPlansReadAheadShowAndWriteExactlyWhatRunsWithoutDo) {
    const QStringList entries{a, QStringLiteral("bad one"), b, a, c, QStringLiteral("bad two"), d, e};
    using Yield = std::function<void(quorrix::testing::TestHost&, int)>;
    const std::vector<std::pair<const char*, Yield>> cases{
        {"undisturbed", [](quorrix::testing::TestHost&, int) {}},
        // The user moves the last entry up, removes one ahead, and clears the list late.
        {"edited", [](quorrix::testing::TestHost& host, int yield) {
             if (yield == 3) host.entries.move(host.entries.size() - 1, 3);
             if (yield == 6) host.entries.removeAt(5);
             if (yield == 13) host.entries.clear();
         }},
    };
    for (const auto& [name, yield] : cases) {
        for (const bool oneSheet : {true, false}) {
            SCOPED_TRACE(std::string(name) + (oneSheet ? " one sheet" : " sheet per file"));
            const RunRecord plain = runImport(false, oneSheet, entries, yield);
            const RunRecord ahead = runImport(true, oneSheet, entries, yield);
            EXPECT_EQ(ahead.shown, plain.shown);
            EXPECT_GT(ahead.readsElsewhere, 0);  // the plans were indeed read ahead
            EXPECT_EQ(plain.readsElsewhere, 0);
            EXPECT_TRUE(plain.shown.contains(QStringLiteral("bad one")));
        }
    }
}
