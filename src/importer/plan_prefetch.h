#pragma once

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "importer/plans/common/plan.h"
#include "platform/file_facts.h"

namespace quorrix::importer {

// Reads plans on one worker thread before they are opened: the plans its caller says come next,
// in that order, with at most kWaiting read plans waiting at any time, so memory stays bounded by
// the open plan and two more. A plan read ahead is handed out only for the next expected opening
// of the same path, and only while the file is as it was when the read began (same identity,
// size and modification time); a failure of the read is thrown at that opening exactly as the
// reader threw it. Everything else is read by the caller as if nothing had been read ahead.
//
// The caller is one thread (the one running the import); only the reader runs on the worker.
// That reader may run on both threads at once for different files, so it must keep no mutable
// state shared between calls. The plan readers qualify: the XML reader keeps its document and
// all state in the call (pugixml documents are independent); the compound-file reader reads
// the bytes of its own call and keeps no state beyond them; the database reader talks to a
// process that belongs to the calling thread (plans/mpd/mpd_service.h). Qt values (QString, QDateTime)
// cross between the threads only under the lock, and no QObject is shared: the reader's QFile
// lives and dies on the thread that reads.
class PlanPrefetcher {
public:
    using Reader = std::function<plans::Plan(const QString& path)>;
    static constexpr std::size_t kWaiting = 2;

    explicit PlanPrefetcher(Reader reader);
    // Waits for a read in progress to end.
    ~PlanPrefetcher();
    PlanPrefetcher(const PlanPrefetcher&) = delete;
    PlanPrefetcher& operator=(const PlanPrefetcher&) = delete;

    // The caller is at `step` and opens `paths` next: paths[0] at `step`, paths[1] at step + 1...
    // Steps already opened through take() are skipped. Plans read ahead that are no longer among
    // the next kWaiting openings are let go. An empty list ends the work: the worker thread ends
    // (after a read in progress), everything read is let go, and steps count anew.
    void expect(long step, const QStringList& paths);

    // Called at the opening of `path`. When `path` is the next expected opening, that opening is
    // counted as done and the plan read ahead for it is returned, waiting for its read when it is
    // in progress; a failure of that read is thrown. Nothing when there is no such plan or the
    // file changed since its read began: the caller reads the file itself.
    std::optional<plans::Plan> take(const QString& path);

    // Waits until the worker has read everything it may read now (for tests and benchmarks).
    void settle();

private:
    struct Fetched {
        QString path;
        FileStamp stamp;
        std::optional<plans::Plan> plan;
        std::exception_ptr failure;
    };

    void work();
    std::optional<QString> nextToRead() const;
    bool wanted(const QString& path) const;
    std::vector<Fetched> prune();
    void end();

    const Reader reader_;

    // Guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QString> upcoming_;    // the paths still to be opened, in order
    long nextStep_ = 1;               // the step of upcoming_.front()
    long opened_ = 0;                 // the last step take() counted as opened
    std::vector<Fetched> ready_;      // read and waiting, at most kWaiting
    std::optional<QString> reading_;  // what the worker reads now
    bool stop_ = false;

    std::thread worker_;  // started by expect(), joined by end(); touched by the caller only
};

}  // namespace quorrix::importer
