#include "batch/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace quorrix::batch {

ProgressLine::ProgressLine(std::FILE* out, bool enabled, std::chrono::milliseconds interval)
    : out_(out), enabled_(enabled), interval_(interval), started_(std::chrono::steady_clock::now()) {
    if (enabled_) thread_ = std::thread([this] { run(); });
}

ProgressLine::~ProgressLine() { finish(); }

bool ProgressLine::isTerminal(std::FILE* out) { return out && ::isatty(::fileno(out)) == 1; }

void ProgressLine::setTotal(int plans) {
    std::lock_guard lock(mutex_);
    total_ = plans;
}

void ProgressLine::beginPlan(int position, const QString& name) {
    {
        std::lock_guard lock(mutex_);
        done_ = position - 1;
        name_ = name;
    }
    wake_.notify_one();
}

void ProgressLine::finish() {
    if (!enabled_) return;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    std::lock_guard lock(mutex_);
    clearLocked();
}

void ProgressLine::beforeOutput() {
    if (!enabled_) return;
    mutex_.lock();
    held_ = true;
    clearLocked();
    mutex_.unlock();
}

void ProgressLine::afterOutput() {
    if (!enabled_) return;
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    wake_.notify_one();
}

void ProgressLine::run() {
    std::unique_lock lock(mutex_);
    // Drawn at least once, however short the run.
    do {
        if (!held_) drawLocked();
        wake_.wait_for(lock, interval_, [this] { return stopping_; });
    } while (!stopping_);
}

int ProgressLine::width() const {
    winsize size{};
    if (::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void ProgressLine::drawLocked() {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count();
    // One column short of the terminal's width, so the line never wraps and "\r" returns to its start.
    const int columns = std::max(1, width() - 1);
    const QString text = format(done_, total_, tasks_.load(std::memory_order_relaxed), name_, seconds, columns);
    const QByteArray line = text.toLocal8Bit();
    const int shown = static_cast<int>(text.size());
    std::fputc('\r', out_);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), out_);
    // A shorter line than the last one blanks the rest and is written again.
    if (shown < drawnWidth_) {
        for (int i = shown; i < drawnWidth_; ++i) std::fputc(' ', out_);
        std::fputc('\r', out_);
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), out_);
    }
    std::fflush(out_);
    drawnWidth_ = shown;
}

void ProgressLine::clearLocked() {
    if (drawnWidth_ == 0) return;
    std::fputc('\r', out_);
    for (int i = 0; i < drawnWidth_; ++i) std::fputc(' ', out_);
    std::fputc('\r', out_);
    std::fflush(out_);
    drawnWidth_ = 0;
}

QString ProgressLine::format(int done, int total, long long tasks, const QString& name, long long seconds, int width) {
    QString line = QStringLiteral("%1/%2 plans, %3 tasks, %4:%5")
                       .arg(done)
                       .arg(total)
                       .arg(tasks)
                       .arg(seconds / 60)
                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (!name.isEmpty()) {
        // Control characters in a file name would break the line.
        QString shown = name;
        for (QChar& ch : shown)
            if (ch.category() == QChar::Other_Control || ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator)
                ch = QLatin1Char('?');
        const QString lead = QStringLiteral(", reading ");
        const qsizetype room = width - line.size() - lead.size();
        if (room >= 8) {
            if (shown.size() > room) {
                const qsizetype head = (room - 3) / 2;
                shown = shown.left(head) + QStringLiteral("...") + shown.right(room - 3 - head);
            }
            line += lead + shown;
        }
    }
    if (line.size() > width) line.truncate(width);
    return line;
}

}  // namespace quorrix::batch
