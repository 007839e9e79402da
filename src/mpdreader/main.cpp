// quorrix-mpd-reader: reads Project databases for quorrix and quorrix-batch, which start it
// themselves (see importer/plans/mpd_protocol.h); it is not meant to be run by hand.
#include <glib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "mpdreader/mpd_dump.h"
#include "mpdreader/serve.h"

namespace {

// libmdb allocates through GLib, which ends the process when memory runs out: the answer being
// written ends with the failure that says so.
void memoryRunsOut(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    const int fd = quorrix::mpdreader::answerDescriptor();
    if (fd >= 0 && message && std::strstr(message, "failed to allocate")) {
        namespace mpd = quorrix::importer::plans::mpd;
        const auto record = mpd::failureRecord(mpd::Code::OutOfMemory);
        if (::write(fd, record.data(), record.size()) < 0) {
            // Nobody is left to tell.
        }
        ::_exit(0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--serve") != 0) {
        std::fputs("quorrix-mpd-reader reads Project databases for quorrix and quorrix-batch, which start it.\n",
                   stderr);
        return 2;
    }
    const auto fatal = static_cast<GLogLevelFlags>(G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL);
    g_log_set_handler("GLib", fatal, memoryRunsOut, nullptr);
    return quorrix::mpdreader::serve(3, quorrix::mpdreader::dumpDatabase);
}
