#pragma once

#include <QByteArray>
#include <QString>

#include "importer/plans/common/plan.h"
#include "importer/plans/common/plan_file.h"

// The reader of Project databases (.mpd): Jet (Access) databases holding Project's tables, in the
// schema of Project 2000-2003 (tables MSP_...) or of Project 98 (Task_Information, ...). Every
// problem - not a database, a database without a plan, a damaged file - is thrown as a
// quorrix::Failure with a one-line description.
//
// The tables are read with libmdb, which opens the file for reading only, after the reader has
// checked the file's header and size itself (the dispatcher hands it the first bytes only). Calls into libmdb are serialised, so plans may be
// read on any thread.
namespace quorrix::importer::plans {

// Reads the first project stored in the database file: its first bytes (at least the header's,
// when the file has them) and its size are checked here, its tables read by libmdb from its path.
Plan readMpd(const PlanFile& file, const ReadOptions& options = {});

// True when `head` (the first bytes of a file) carries the signature of a Jet database.
bool isJetDatabase(const QByteArray& head);

}  // namespace quorrix::importer::plans
