#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

#include "importer/plans/common/plan.h"
#include "importer/plans/common/plan_file.h"

// The reader of Project databases (.mpd): Jet (Access) databases holding Project's tables, in the
// schema of Project 2000-2003 (tables MSP_...) or of Project 98 (Task_Information, ...). Every
// problem - not a database, a database without a plan, a damaged file - is thrown as a
// quorrix::Failure with a one-line description.
//
// The reader checks the file's header and size itself (the dispatcher hands it the first bytes
// only); the tables are read with libmdb in a process of their own (see mpd_service.h), which gets
// the file open for reading only. A database that makes libmdb crash, loop or run out of memory
// fails like any damaged database ("The database is damaged: ..."). Plans may be read on any
// thread.
namespace quorrix::importer::plans {

struct MpdReaderSetup;

// Reads the first project stored in the database file with the installed reader program: its
// first bytes (at least the header's, when the file has them) and its size are checked here.
Plan readMpd(const PlanFile& file, const ReadOptions& options = {});
// The same with another reader program or other limits.
Plan readMpd(const PlanFile& file, const ReadOptions& options, const MpdReaderSetup& setup);

// The plan in an answer of the reader's process, checked as strictly as a file: a Failure when it
// breaks any rule.
Plan planFromMpdAnswer(std::string_view answer, const ReadOptions& options);

// What the reader's process is asked for (mpd::Asked bits) to read `options`: of the custom fields,
// the tables of the kinds asked for.
unsigned mpdAsked(const ReadOptions& options);

// True when `head` (the first bytes of a file) carries the signature of a Jet database.
bool isJetDatabase(const QByteArray& head);

}  // namespace quorrix::importer::plans
