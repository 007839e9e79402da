#pragma once

#include "importer/plans/mpd/mpd_protocol.h"

// The service of quorrix-mpd-reader (see importer/plans/mpd_protocol.h): one process that reads
// the databases it is sent one after another. Starting a process, or even a copy of one, for every
// database would cost several times what reading a small database costs; the programs replace
// the process instead whenever a reading goes wrong in any way, and have a failed database read
// once more by a fresh one before they report it.
namespace quorrix::mpdreader {

// Reads the database open at `database` and writes the answer's records after the header.
// May throw std::bad_alloc; everything else it reports as a failure record itself.
using Dump = void (*)(int database, unsigned asked, importer::plans::mpd::AnswerWriter& answer);

// Serves the requests arriving on `control` until it closes; gives the exit status.
int serve(int control, Dump dump);

// The descriptor of the answer being written, for a last failure record written from a handler
// that cannot return (-1 between requests).
int answerDescriptor();

}  // namespace quorrix::mpdreader
