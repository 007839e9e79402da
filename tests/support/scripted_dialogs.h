#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <ostream>
#include <optional>
#include <variant>
#include <vector>

#include "platform/dialogs.h"
#include "platform/failure.h"

// Readable test output for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace quorrix::testing {

// One dialog the code under test showed.
struct DialogCall {
    enum Kind { Message, Input, Open, Folder, Desktop };
    Kind kind;
    QString text;  // message text, input prompt, folder title, or the path given to the desktop
    QString title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString proposed;  // input box
    OpenFilesRequest open;
    bool onTop = false;  // a message box kept above every other window
};

// A dialog provider that replays scripted answers and records every call. A message box with
// only OK needs no script (OK is its only answer); every other dialog must have its answer
// queued, or the test fails.
class ScriptedDialogs : public DialogProvider {
public:
    void answerMessage(MsgAnswer answer) { messages_.push_back(answer); }
    void answerInput(const QString& text) { inputs_.push_back(text); }
    void answerOpen(const QString& dialogText) { opens_.push_back(dialogText); }
    void failOpen(const Failure& failure) { opens_.push_back(failure); }
    void answerFolder(const QString& folder) { folders_.push_back(folder); }
    void answerDesktop(bool opened) { desktops_.push_back(opened); }

    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    MsgAnswer messageBoxOnTop(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& proposed) override;
    QString showOpen(const OpenFilesRequest& request) override;
    QString pickFolder(const QString& title) override;
    bool openWithDesktop(const QString& path) override;

    std::vector<DialogCall> calls;

    // The texts of every "Application Error" report shown, in order.
    QStringList reports() const;
    // The texts of every other message box, in order.
    QStringList messages() const;
    // True when every scripted answer was used.
    bool allAnswersUsed() const;

private:
    std::deque<MsgAnswer> messages_;
    std::deque<QString> inputs_;
    std::deque<std::variant<QString, Failure>> opens_;
    std::deque<QString> folders_;
    std::deque<bool> desktops_;
};

// The report text expected for a failure in a procedure of Form1.
QString expectedReport(const QString& procedure, const QString& description, int line);

}  // namespace quorrix::testing
