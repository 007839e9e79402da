#pragma once

#include <QString>

namespace quorrix {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Warning };
enum class MsgAnswer { Ok, Yes, No };

// What the "Add Project File(s)" dialog is asked to show.
struct OpenFilesRequest {
    QString fileName;  // initial name
    int flags = 0;     // 512: several files; 1: read-only box set; others: explorer style, long names
    QString title;
    QString filter;    // "Description (*.ext)|*.ext|"
    // Further filters offered after those of `filter`, in the same form; the first of `filter`
    // stays the one chosen.
    QString moreFilters;
};

// Every modal interaction of the program goes through this interface: the Qt implementation
// shows real dialogs, tests script the answers.
// A message text with its CR LF and lone CR line breaks turned into line feeds, the way a
// toolkit or a terminal wants them.
QString withLineFeeds(const QString& text);

class DialogProvider {
public:
    virtual ~DialogProvider() = default;

    virtual MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons,
                                 MsgIcon icon) = 0;

    // A message box that must not be lost behind another program's window coming up while it is
    // shown: it stays above every other window until it is answered and asks the desktop for the
    // user's attention. A provider without windows shows it as any other message.
    virtual MsgAnswer messageBoxOnTop(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) {
        return messageBox(text, title, buttons, icon);
    }

    // The typed answer, or the empty text for Cancel.
    virtual QString inputBox(const QString& prompt, const QString& title, const QString& proposed) = 0;

    // The dialog's answer in its text form: one full path, or the folder followed by NUL and the
    // chosen names separated by NUL; the empty text for Cancel. Throws Failure 20476 when the
    // text does not fit the 30000-character buffer.
    virtual QString showOpen(const OpenFilesRequest& request) = 0;

    // The chosen folder (the root with its separator, any other folder without a trailing one),
    // or the empty text for Cancel.
    virtual QString pickFolder(const QString& title) = 0;

    // Hands a file or folder to the desktop; false when nothing could open it.
    virtual bool openWithDesktop(const QString& path) = 0;

    // The error trap's report of a failed statement: by default the "Application Error" message
    // box (warning icon, OK only); a provider without a window may show it in a form of its own.
    virtual void reportError(const QString& locationText, const QString& description, int line);
};

}  // namespace quorrix
