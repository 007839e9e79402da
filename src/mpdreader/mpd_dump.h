#pragma once

#include "importer/plans/mpd/mpd_protocol.h"

namespace quorrix::mpdreader {

// Reads the tables of a plan from the database open at `database` with libmdb and writes them to
// `answer` (after its header): the schema, the projects, the tasks and the further tables
// `asked` for (mpd::Asked bits), closed by the end record or by a failure record. libmdb keeps some
// global state: one database at a time in a process.
void dumpDatabase(int database, unsigned asked, importer::plans::mpd::AnswerWriter& answer);

}  // namespace quorrix::mpdreader
