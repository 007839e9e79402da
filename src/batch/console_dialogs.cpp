#include "batch/console_dialogs.h"

#include <cstdio>

#include "platform/file_names.h"

namespace quorrix::batch {

namespace {

// Text the program wrote itself, one line: breaks and other control characters become spaces
// and "?" (the names within were shown so already).
QString oneLine(const QString& text) {
    QString line = withLineFeeds(text);
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char('?');
    return line;
}

}  // namespace

QByteArray nameForOutput(const QString& name, bool terminal) {
    return terminal ? quotedFileName(name).toUtf8() : encodeFileName(name);
}

MsgAnswer ConsoleDialogs::messageBox(const QString& text, const QString&, MsgButtons buttons, MsgIcon) {
    const MsgAnswer answer = buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    if (quiet_ || withheld_) return answer;
    if (holding_ && text.startsWith(QStringLiteral("Done."))) {
        held_ = text;
        return answer;
    }
    if (guard_) guard_->beforeOutput();
    std::fputs(withLineFeeds(text).toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    if (answer == MsgAnswer::Yes) std::fputs("(answered Yes)\n", stdout);
    std::fflush(stdout);
    if (guard_) guard_->afterOutput();
    return answer;
}

void ConsoleDialogs::reportError(const QString&, const QString& description, int line) {
    QString text = QStringLiteral("quorrix-batch: ");
    if (!subject_.isEmpty()) text += quotedFileName(subject_) + QStringLiteral(": ");
    text += oneLine(description) + QStringLiteral(" (at line %1)\n").arg(line);
    if (guard_) guard_->beforeOutput();
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
    if (guard_) guard_->afterOutput();
}

void ConsoleDialogs::printClosingMessage(const QStringList& failedFiles, bool terminal) {
    if (!held_) return;
    static const QString kHeading = QStringLiteral("These files could not be imported:");
    QString expected = QStringLiteral("Done.");
    if (!failedFiles.isEmpty()) expected += QStringLiteral("\r\n") + kHeading;
    for (const QString& f : failedFiles) expected += QStringLiteral("\r\n") + f;
    QByteArray out;
    if (*held_ == expected) {
        out = "Done.\n";
        if (!failedFiles.isEmpty()) out += kHeading.toUtf8() + '\n';
        for (const QString& f : failedFiles) out += nameForOutput(f, terminal) + '\n';
    } else {
        // Not the message the run's list of failures makes: its lines, each made harmless.
        for (const QString& l : withLineFeeds(*held_).split(QLatin1Char('\n'))) out += oneLine(l).toUtf8() + '\n';
    }
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    std::fflush(stdout);
    held_.reset();
}

QString ConsoleDialogs::inputBox(const QString&, const QString&, const QString&) { return {}; }
QString ConsoleDialogs::showOpen(const OpenFilesRequest&) { return {}; }
QString ConsoleDialogs::pickFolder(const QString&) { return {}; }
bool ConsoleDialogs::openWithDesktop(const QString&) { return false; }

}  // namespace quorrix::batch
