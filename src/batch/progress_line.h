#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace quorrix::batch {

// Something that writes whole lines to the terminal and must not be interleaved with a line that
// is being rewritten in place.
class OutputGuard {
public:
    virtual ~OutputGuard() = default;
    virtual void beforeOutput() = 0;  // the rewritten line is gone; nothing is drawn until afterOutput
    virtual void afterOutput() = 0;
};

// One line on a terminal, rewritten in place while a long run goes on: plans done of the total,
// task rows written, elapsed time and the plan being read. Redrawn at most a few times a second
// by a thread of its own, so the elapsed time moves even while one large plan is read. When it is
// not enabled (the stream is not a terminal) it never writes a byte.
class ProgressLine : public OutputGuard {
public:
    ProgressLine(std::FILE* out, bool enabled, std::chrono::milliseconds interval = std::chrono::milliseconds(250));
    ~ProgressLine() override;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // True when `out` is a terminal (and so a line may be rewritten on it).
    static bool isTerminal(std::FILE* out);

    void setTotal(int plans);
    // The plan at 1-based `position` is being read; the ones before it are done.
    void beginPlan(int position, const QString& name);
    // A task row has been written. Cheap: called once per row.
    void taskWritten() { tasks_.fetch_add(1, std::memory_order_relaxed); }
    // Stops redrawing and clears the line, so that what follows starts on a clean line.
    void finish();

    void beforeOutput() override;
    void afterOutput() override;

    // The line's text, cut to `width` terminal columns (the plan's name shortened in its middle).
    static QString format(int done, int total, long long tasks, const QString& name, long long seconds, int width);
    // The columns the text takes on a terminal: a wide (East Asian) character 2, a combining one 0.
    static int columns(const QString& text);

private:
    void run();
    void drawLocked();
    void clearLocked();
    int width() const;

    std::FILE* out_;
    const bool enabled_;
    const std::chrono::milliseconds interval_;
    const std::chrono::steady_clock::time_point started_;
    std::atomic<long long> tasks_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    int total_ = 0;
    int done_ = 0;
    QString name_;
    bool held_ = false;      // another writer owns the terminal
    bool stopping_ = false;
    int drawnWidth_ = 0;     // columns the line on screen occupies
    std::thread thread_;
};

}  // namespace quorrix::batch
