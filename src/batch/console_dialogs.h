#pragma once

#include <QTextStream>

#include "batch/progress_line.h"
#include "platform/dialogs.h"

namespace quorrix::batch {

// The dialog provider of the command line: error reports go to standard error, every other
// message to standard output. Nobody is there to answer: a question is answered Yes and said so.
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

    // From now on only error reports are printed: the messages of a run whose workbook could not
    // be written (its closing "Done.") would tell the user the opposite of what happened.
    void withholdMessages() { withheld_ = true; }

private:
    bool quiet_;
    OutputGuard* guard_;
    bool withheld_ = false;
};

}  // namespace quorrix::batch
