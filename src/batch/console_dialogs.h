#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

#include "batch/progress_line.h"
#include "platform/dialogs.h"

namespace quorrix::batch {

// A file name as the command line writes it: on a terminal quoted where it holds a control
// character (as ls does), elsewhere its bytes as they are.
QByteArray nameForOutput(const QString& name, bool terminal);

// The dialog provider of the command line: error reports go to standard error, one line each,
// every other message to standard output. Nobody is there to answer: a question is answered Yes
// and said so.
class ConsoleDialogs : public DialogProvider {
public:
    // `quiet`: messages other than error reports are not printed. `guard` (optional) is told
    // before and after every line written, so that a progress line on the terminal stays whole.
    explicit ConsoleDialogs(bool quiet = false, OutputGuard* guard = nullptr) : quiet_(quiet), guard_(guard) {}

    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& proposed) override;
    QString showOpen(const OpenFilesRequest& request) override;
    QString pickFolder(const QString& title) override;
    bool openWithDesktop(const QString& path) override;
    // "quorrix-batch: FILE: description (at line N)", FILE being the subject (left out when
    // there is none): the command line's form of the window's report.
    void reportError(const QString& locationText, const QString& description, int line) override;

    // The file the statements now at work are about; the empty text for none.
    void setSubject(const QString& path) { subject_ = path; }

    // From now on only error reports are printed: the messages of a run whose workbook could not
    // be written (its closing "Done.") would tell the user the opposite of what happened.
    void withholdMessages() { withheld_ = true; }

    // The closing message ("Done." and the files that could not be imported) is kept instead of
    // printed, so that printClosingMessage can write the names in it as names.
    void holdClosingMessage() { holding_ = true; }
    // Prints the kept closing message, if any; `failedFiles` are the names its list holds.
    void printClosingMessage(const QStringList& failedFiles, bool terminal);

private:
    bool quiet_;
    OutputGuard* guard_;
    bool withheld_ = false;
    bool holding_ = false;
    std::optional<QString> held_;
    QString subject_;
};

}  // namespace quorrix::batch
