#include "gui/file_name_delegate.h"

#include <gtest/gtest.h>

#include "platform/file_names.h"

namespace quorrix {
namespace {

// The window's list shows a name as the terminal does; a plain name is left as it is.
TEST(FileNameDelegate, ShowsNamesAsTheTerminalQuotesThem) {
    for (const QByteArray& bytes : {QByteArray("plain name.xml"), QByteArray("ok\x9b.xml"), QByteArray("a\033[2Jb")}) {
        const QString name = decodeFileName(bytes);
        EXPECT_EQ(FileNameDelegate().displayText(name, QLocale()), quotedFileName(name)) << bytes.constData();
    }
    EXPECT_EQ(FileNameDelegate().displayText(decodeFileName("ok\x9b.xml"), QLocale()),
              QStringLiteral("'ok'$'\\233''.xml'"));
}

}  // namespace
}  // namespace quorrix
