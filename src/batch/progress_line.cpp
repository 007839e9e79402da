#include "batch/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cwchar>
#include <locale.h>
#include <vector>

namespace quorrix::batch {

namespace {

// The columns a character takes on a terminal: the C library's wcwidth under a UTF-8 locale of
// its own (East Asian wide and full-width 2, combining and other zero-width characters 0), so the
// user's locale setting cannot change the count; 1 for what it calls unprintable (shown as one
// replacement character), and 1 each where the system has no UTF-8 locale at all.
int columnsOf(char32_t code) {
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!utf8) return 1;
    const locale_t previous = ::uselocale(utf8);
    const int w = ::wcwidth(static_cast<wchar_t>(code));
    ::uselocale(previous);
    return w < 0 ? 1 : w;
}

// The text's characters (surrogate pairs taken whole) with their columns.
struct Glyph {
    qsizetype at, units;
    int columns;
};
std::vector<Glyph> glyphsOf(const QString& text) {
    std::vector<Glyph> glyphs;
    glyphs.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        char32_t code = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        glyphs.push_back({i, units, columnsOf(code)});
        i += units;
    }
    return glyphs;
}

// The longest start of the text that takes at most `columns` columns.
QString headOf(const QString& text, int columns) {
    qsizetype end = 0;
    int used = 0;
    for (const Glyph& g : glyphsOf(text)) {
        if (used + g.columns > columns) break;
        used += g.columns;
        end = g.at + g.units;
    }
    return text.left(end);
}

// The longest end of the text that takes at most `columns` columns and does not begin with a
// zero-width character torn from the one it belongs to.
QString tailOf(const QString& text, int columns) {
    const std::vector<Glyph> glyphs = glyphsOf(text);
    std::size_t first = glyphs.size();
    int used = 0;
    while (first > 0 && used + glyphs[first - 1].columns <= columns) used += glyphs[--first].columns;
    while (first < glyphs.size() && glyphs[first].columns == 0) ++first;
    return first < glyphs.size() ? text.mid(glyphs[first].at) : QString();
}

}  // namespace

int ProgressLine::columns(const QString& text) {
    int total = 0;
    for (const Glyph& g : glyphsOf(text)) total += g.columns;
    return total;
}

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
    const int room = std::max(1, width() - 1);
    const QString text = format(done_, total_, tasks_.load(std::memory_order_relaxed), name_, seconds, room);
    const QByteArray line = text.toUtf8();
    const int shown = columns(text);
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
        const int room = width - columns(line) - static_cast<int>(lead.size());
        if (room >= 8) {
            if (columns(shown) > room) {
                // The end gets what the start leaves over, a column a wide character could not take.
                const QString head = headOf(shown, (room - 3) / 2);
                shown = head + QStringLiteral("...") + tailOf(shown, room - 3 - columns(head));
            }
            line += lead + shown;
        }
    }
    if (columns(line) > width) line = headOf(line, width);
    return line;
}

}  // namespace quorrix::batch
