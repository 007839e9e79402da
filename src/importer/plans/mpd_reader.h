#pragma once

#include <QByteArray>
#include <QString>

#include "importer/plans/plan.h"

// The reader of Project databases (.mpd): Jet (Access) databases holding Project's tables, in the
// schema of Project 2000-2003 (tables MSP_...) or of Project 98 (Task_Information, ...). Every
// problem - not a database, a database without a plan, a damaged file - is thrown as a
// quorrix::Failure with a one-line description.
//
// The tables are read with libmdb, from a copy of the file in memory: libmdb never sees the file
// itself, so nothing can ever be written to it. Calls into libmdb are serialised, so plans may be
// read on any thread.
namespace quorrix::importer::plans {

// Reads the first project stored in the database at `path`.
Plan readMpdFile(const QString& path, const ReadOptions& options = {});

// Reads the first project of a database held in memory.
Plan readMpd(const QByteArray& bytes, const ReadOptions& options = {});

// True when `head` (the first bytes of a file) carries the signature of a Jet database.
bool isJetDatabase(const QByteArray& head);

}  // namespace quorrix::importer::plans
