#include "importer/plan_prefetch.h"
#include "platform/file_names.h"

#include <QFile>
#include <algorithm>
#include <system_error>

namespace quorrix::importer {

using plans::Plan;

PlanPrefetcher::PlanPrefetcher(Reader reader) : reader_(std::move(reader)) {}

PlanPrefetcher::~PlanPrefetcher() { end(); }


// The next openings a read plan may wait for are the first kWaiting of upcoming_; each waiting
// plan (and the read in progress) covers one of them with the same path, the earliest first.
namespace {
bool cover(const std::deque<QString>& upcoming, std::vector<bool>& covered, const QString& path) {
    for (std::size_t i = 0; i < covered.size(); ++i) {
        if (!covered[i] && upcoming[i] == path) {
            covered[i] = true;
            return true;
        }
    }
    return false;
}
}  // namespace

std::optional<QString> PlanPrefetcher::nextToRead() const {
    if (ready_.size() + (reading_ ? 1 : 0) >= kWaiting) return std::nullopt;
    std::vector<bool> covered(std::min(kWaiting, upcoming_.size()), false);
    for (const Fetched& f : ready_) cover(upcoming_, covered, f.path);
    if (reading_) cover(upcoming_, covered, *reading_);
    for (std::size_t i = 0; i < covered.size(); ++i)
        if (!covered[i]) return upcoming_[i];
    return std::nullopt;
}

bool PlanPrefetcher::wanted(const QString& path) const {
    std::vector<bool> covered(std::min(kWaiting, upcoming_.size()), false);
    for (const Fetched& f : ready_) cover(upcoming_, covered, f.path);
    return cover(upcoming_, covered, path);
}

std::vector<PlanPrefetcher::Fetched> PlanPrefetcher::prune() {
    std::vector<bool> covered(std::min(kWaiting, upcoming_.size()), false);
    std::vector<Fetched> kept, dropped;
    for (Fetched& f : ready_) {
        (cover(upcoming_, covered, f.path) ? kept : dropped).push_back(std::move(f));
    }
    ready_ = std::move(kept);
    return dropped;  // let go by the caller once the lock is released
}

void PlanPrefetcher::expect(long step, const QStringList& paths) {
    if (paths.isEmpty()) {
        end();
        return;
    }
    std::vector<Fetched> dropped;
    {
        std::lock_guard lock(mutex_);
        const long skip = std::max(0L, opened_ - step + 1);
        upcoming_.clear();
        for (qsizetype i = skip; i < paths.size(); ++i) upcoming_.push_back(paths[i]);
        nextStep_ = step + skip;
        dropped = prune();
    }
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: nothing is read ahead, and every opening reads its own plan.
        }
    }
    changed_.notify_all();
}

std::optional<Plan> PlanPrefetcher::take(const QString& path) {
    std::optional<Fetched> mine;
    std::vector<Fetched> dropped;
    {
        std::unique_lock lock(mutex_);
        if (upcoming_.empty() || upcoming_.front() != path) return std::nullopt;
        // A read of this path in progress is waited for rather than repeated.
        changed_.wait(lock, [&] { return !(reading_ && *reading_ == path); });
        upcoming_.pop_front();
        opened_ = nextStep_++;
        const auto it = std::find_if(ready_.begin(), ready_.end(), [&](const Fetched& f) { return f.path == path; });
        if (it != ready_.end()) {
            mine = std::move(*it);
            ready_.erase(it);
        }
        dropped = prune();
    }
    changed_.notify_all();
    dropped.clear();
    if (!mine || fileStampOf(path) != mine->stamp) return std::nullopt;
    if (mine->failure) std::rethrow_exception(mine->failure);
    return std::move(mine->plan);
}

void PlanPrefetcher::settle() {
    if (!worker_.joinable()) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !reading_ && !nextToRead(); });
}

void PlanPrefetcher::work() {
    for (;;) {
        Fetched fetched;
        {
            std::unique_lock lock(mutex_);
            std::optional<QString> next;
            changed_.wait(lock, [&] { return stop_ || (next = nextToRead()).has_value(); });
            if (stop_) return;
            reading_ = next;
            fetched.path = *next;
        }
        fetched.stamp = fileStampOf(fetched.path);
        try {
            fetched.plan = reader_(fetched.path);
        } catch (...) {
            fetched.failure = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            reading_.reset();
            // Entries removed or moved meanwhile: a plan no longer among the next is let go.
            if (!stop_ && wanted(fetched.path)) ready_.push_back(std::move(fetched));
        }
        changed_.notify_all();
    }  // a plan not kept is let go here, outside the lock
}

void PlanPrefetcher::end() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
    std::vector<Fetched> dropped;
    std::lock_guard lock(mutex_);
    stop_ = false;
    upcoming_.clear();
    nextStep_ = 1;
    opened_ = 0;
    dropped.swap(ready_);
}

}  // namespace quorrix::importer
