#pragma once

#include <QByteArray>
#include <QString>

#include "importer/plans/common/plan.h"

// The readers of Primavera P6 exports: XER (P6's tab-separated table dump) and P6 XML (root
// element APIBusinessObjects, in any schema version). Every project the file exports is read;
// several come each under a summary row named after it. Every problem - not such a file, a
// damaged one, a value P6 never writes - is thrown as a quorrix::Failure with a one-line
// description ("The file is damaged: ..."; the dispatcher names the file).
namespace quorrix::importer::plans {

// True when `head` (the first bytes of a file) is an XER export: "ERMHDR" first, in UTF-8 or a
// Windows code page (with or without a byte-order mark) or in UTF-16.
bool isXerFile(const QByteArray& head);

// True when `head` (the first 4 KiB of a file or all of it) is XML whose root element is named
// APIBusinessObjects or BusinessObjects, with or without a prefix or namespace.
bool isP6XmlFile(const QByteArray& head);

// The bytes are taken over so that they can be let go once the tables are read.
Plan readXer(QByteArray bytes, const ReadOptions& options = {});
Plan readP6Xml(QByteArray bytes, const ReadOptions& options = {});

// The dispatcher's row: either P6 format by the first bytes, and the reader of the format the
// bytes are in.
bool isP6File(const QByteArray& head);
Plan readP6(QByteArray bytes, const ReadOptions& options = {});

}  // namespace quorrix::importer::plans
