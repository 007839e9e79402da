#include "platform/application_title.h"

#include "platform/config.h"

namespace quorrix {
namespace {
QString& titleStore() {
    static QString title = config::kProductName;
    return title;
}
}  // namespace

QString applicationTitle() { return titleStore(); }
void setApplicationTitle(const QString& title) { titleStore() = title; }

}  // namespace quorrix
