#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

#include "importer/plans/mpd/mpd_protocol.h"

// The programs' side of the Project database reader's process (see mpd_protocol.h).
//
// Each thread that reads databases has a reader process of its own, started with posix_spawn at
// its first database and kept for the next ones until the thread ends. Spawning is the simple
// way here: it needs neither an event loop nor a QObject that belongs to one thread, so the
// window and quorrix-batch use it alike, and its cost does not grow with the program's memory as
// fork's does. The process, its socket and pipes belong to the
// thread (all close-on-exec, so that a process started on another thread inherits none of them):
// nothing is shared between threads but the environment, computed once.
//
// A reading that goes wrong in any way ends that process; the next database gets a fresh one.
namespace quorrix::importer::plans {

// The reader program and the limits of each database's reading.
struct MpdReaderSetup {
    QString program;
    int memoryMegabytes = 1024;  // address space
    int cpuSeconds = 30;
    int wallSeconds = 60;        // then the process is ended
};

// The name of the reader program, installed beside the programs (not on PATH).
inline constexpr char kMpdReaderProgram[] = "quorrix-mpd-reader";

// The installed reader with the limits above.
MpdReaderSetup installedMpdReader();

// What the reader's process answered for a database, checked and taken apart. Moving it keeps
// `parsed` pointing into `answer` (a vector's bytes stay where they are); a copy would not.
struct MpdReading {
    std::vector<char> answer;  // complete: it ends with its closing record
    mpd::Answer parsed;        // its fields point into `answer`
    bool fresh = false;        // the process had read no database before this one

    MpdReading() = default;
    MpdReading(MpdReading&&) = default;
    MpdReading& operator=(MpdReading&&) = default;
    MpdReading(const MpdReading&) = delete;
    MpdReading& operator=(const MpdReading&) = delete;
};

// Has the database open for reading at `database` (`size` bytes) read in this thread's reader
// process, for what is `asked` (mpd::Asked bits). A crash, a limit reached, no end in time, an
// answer cut short or larger than the database can give end that process and throw the Failure "The
// database is damaged: ..." - after one more try with a fresh process when the first had read other
// databases before (what one of them did to it is no fault of this one); a reader that cannot be
// started, a Failure that says so ("The database cannot be read: ..."). The dispatcher puts the
// file's name into both.
MpdReading askMpdReader(int database, qint64 size, unsigned asked, const MpdReaderSetup& setup);

// Ends this thread's reader process: the next database is read by a fresh one.
void retireMpdReader();

// Throws the Failure "The database is damaged: WHAT."
[[noreturn]] void databaseDamaged(const QString& what);

}  // namespace quorrix::importer::plans
