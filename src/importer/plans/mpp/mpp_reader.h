#pragma once

#include <QByteArray>
#include <QString>

#include "importer/plans/common/plan.h"

// The native reader of Project's binary .mpp plans: Project 98 (MPP8), 2000-2003 (MPP9), 2007
// (MPP12) and 2010 and later (MPP14). Every problem - not a plan, a format it cannot read, a
// password, a damaged file - is thrown as a quorrix::Failure with a one-line description.
namespace quorrix::importer::plans {

// Reads the plan held in a file's bytes.
Plan readMpp(QByteArray bytes, const ReadOptions& options = {});

// True when `head` (the first bytes of a file) carries the compound-document signature
// D0 CF 11 E0 A1 B1 1A E1 that every .mpp plan starts with.
bool isCompoundFile(const QByteArray& head);

}  // namespace quorrix::importer::plans
