#include "app/startup.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include "platform/application_title.h"
#include "platform/config.h"

namespace Main {

QString deriveApplicationTitle(const QString& productName) {
    QString t = productName;
    do {
        const qsizetype space = t.lastIndexOf(QLatin1Char(' '));
        // Without a space there is no last word to drop: the name stays whole rather than
        // collapsing to an empty title.
        if (space < 0) break;
        t = t.left(space);
    } while (t.size() > 40);
    return t;
}

void SetApplicationTitle() { quorrix::setApplicationTitle(deriveApplicationTitle(quorrix::config::kProductName)); }

void WaitSeconds(double seconds) {
    if (seconds <= 0) return;
    // A local event loop keeps the window handling its events for the whole wait without
    // spinning the processor.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), &loop, &QEventLoop::quit);
    loop.exec();
}

bool HasFileDate(const QString& path) {
    try {
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

}  // namespace Main
