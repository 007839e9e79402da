#pragma once

// File names as they cross to and from the system. The system's names are bytes, nearly always
// UTF-8; Qt's own conversion turns every byte that is not UTF-8 into U+FFFD, so such a file could
// be listed but never opened again. Here a byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80 + byte and goes back to that very byte: every name survives the round trip,
// and no valid UTF-8 ever decodes to a lone surrogate. Every name that reaches or comes from the
// system (the folder walk, the open of a plan, the command line) goes through these two.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QUrl>

namespace quorrix {

// The name's bytes as the system knows them.
QString decodeFileName(const QByteArray& bytes);
// The bytes of a name; a surrogate that decodeFileName cannot have made becomes U+FFFD.
QByteArray encodeFileName(const QString& name);

// The local path of a file URL (from a drop), its escaped bytes taken as they are; Qt's own
// toLocalFile reads them as UTF-8 and turns the rest into U+FFFD.
QString localFileOf(const QUrl& url);

// Opens the file at the path for reading into `file` (through the bytes of the path, which Qt's
// own open would change); the empty text, or the system's reason why not ("Permission denied").
QString openForReading(QFile& file, const QString& path);

// The byte (128 to 255) a character of a decoded name stands for, or -1 for a character that is
// itself.
int escapedByte(QChar c);

// True when the name holds a character a terminal would act on or cannot show: a control
// character (C0, DEL, C1), a line or paragraph separator, or a byte that is no UTF-8.
bool hasUnprintable(const QString& name);

// The name as a terminal may show it: unchanged when every character is printable; otherwise in
// the shell's quoting, as `ls` shows it on a terminal: printable runs in '...', the others as
// $'\n', $'\t', ... or octal bytes ($'\033', $'\233'), e.g. 'ok'$'\233''.xml'.
QString quotedFileName(const QString& name);

}  // namespace quorrix
