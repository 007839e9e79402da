#pragma once

#include <QString>

namespace quorrix {

// The title of every message box that has no title of its own. Set once at start-up.
QString applicationTitle();
void setApplicationTitle(const QString& title);

}  // namespace quorrix
