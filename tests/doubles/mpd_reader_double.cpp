// A stand-in for quorrix-mpd-reader: the same service, each "database" a script (a line at offset
// 4096, after a database header) of what its reading does instead of reading anything - the
// failures a damaged database can cause in libmdb, and the answers a reader gone astray can give.
#include <unistd.h>

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mpdreader/serve.h"

namespace {

namespace mpd = quorrix::importer::plans::mpd;

void script(int database, unsigned, mpd::AnswerWriter& answer) {
    char text[64] = {};
    if (::pread(database, text, sizeof text - 1, 4096) < 0) return;
    const std::string what(text, strcspn(text, "\n"));
    const auto raw = [&](std::string_view bytes) {
        if (::write(quorrix::mpdreader::answerDescriptor(), bytes.data(), bytes.size()) < 0) return;
    };
    static int readings = 0;
    ++readings;
    if (what == "crash") std::abort();
    // As a process might after an earlier database had damaged its memory.
    if (what == "crash-after-others" && readings > 1) std::abort();
    if (what == "hang") ::pause();
    if (what == "spin")
        for (;;) asm volatile("");
    if (what == "memory") {
        std::vector<std::string> kept;
        while (kept.size() < 256) kept.emplace_back(std::size_t(16) << 20, 'x');  // 4 GB, unless stopped
    }
    if (what == "noise") {
        std::fputs("a complaint on standard error\n", stderr);
        std::fflush(stderr);
    }
    if (what == "status") {
        answer.flush();
        ::_exit(3);
    }
    if (what == "garbage") raw("\x01\x02garbage");
    if (what == "flood")
        for (const std::string block(1 << 20, 'R');;) raw(block);
    if (what == "cut") {
        answer.schema(mpd::kSchema9);
        answer.table(mpd::Kind::Tasks);
        answer.flush();
        raw("R\x05");
        return;
    }
    // A plan of one task, after whatever was asked.
    answer.schema(mpd::kSchema9);
    answer.table(mpd::Kind::Tasks);
    std::string_view fields[mpd::kTaskColumns] = {"1", "1", "1", "One", "4800", "2024-03-04 08:00:00",
                                                  "2024-03-04 17:00:00"};
    if (what == "unread") fields[mpd::kTotalSlack] = "5";  // asked for the four fields alone
    answer.row(fields, mpd::kTaskColumns);
    if (what == "unasked") answer.table(mpd::Kind::Links);
    answer.end();
}

}  // namespace

int main() { return quorrix::mpdreader::serve(3, script); }
