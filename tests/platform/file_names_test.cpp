#include "platform/file_names.h"

#include <gtest/gtest.h>

#include "platform/file_facts.h"

namespace quorrix {
namespace {

// Every byte string is a name: what the system gives comes back byte for byte, and a byte that
// is no UTF-8 stands alone, however the bytes around it look.
TEST(FileNames, EveryNameSurvivesTheWayToTheSystemAndBack) {
    const struct {
        QByteArray bytes;
        QString decoded;
    } cases[] = {
        {"plain.xml", QStringLiteral("plain.xml")},
        {"Caf\xc3\xa9 \xe2\x82\xac.xml", QString::fromUtf8("Café €.xml")},
        {"\xf0\x9f\x98\x80", QString::fromUtf8("\xf0\x9f\x98\x80")},  // outside the BMP
        {"ok\x9b.xml", QStringLiteral("ok") + QChar(0xDC9B) + QStringLiteral(".xml")},
        {"\xc0\xaf", QString(QChar(0xDCC0)) + QChar(0xDCAF)},                      // overlong "/"
        {"\xed\xa0\x80", QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80)},  // an encoded surrogate
        {"\xf4\x90\x80\x80", QString(QChar(0xDCF4)) + QChar(0xDC90) + QChar(0xDC80) + QChar(0xDC80)},
        {"\xe6\x97", QString(QChar(0xDCE6)) + QChar(0xDC97)},  // cut short
        {"\xe6\x97\xa5\xff", QString::fromUtf8("\xe6\x97\xa5") + QChar(0xDCFF)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeFileName(c.bytes), c.decoded) << c.bytes.toHex().constData();
        EXPECT_EQ(encodeFileName(c.decoded), c.bytes) << c.bytes.toHex().constData();
    }
    // The code page sees the byte itself; a drop's URL gives the name's own bytes.
    EXPECT_EQ(codePageCode(QChar(0xDC9B)), 0x9B);
    EXPECT_EQ(localFileOf(QUrl::fromEncoded("file:///tmp/ok%9B%20x.xml")), decodeFileName("/tmp/ok\x9b x.xml"));
}

// On a terminal a name with a control character is quoted as ls quotes it; any other name is
// shown as it is.
TEST(FileNames, AreQuotedForATerminalAsLsQuotesThem) {
    const struct {
        QByteArray bytes;
        const char* shown;
    } cases[] = {
        {"plain name.xml", "plain name.xml"},
        {"it's.xml", "it's.xml"},
        {"a\033[2Jb", "'a'$'\\033''[2Jb'"},
        {"\033start", "''$'\\033''start'"},
        {"end\033", "'end'$'\\033'"},
        {"two\033\033x", "'two'$'\\033\\033''x'"},
        {"x\ny", "'x'$'\\n''y'"},
        {"it's\tx", "'it'\\''s'$'\\t''x'"},
        {"r\rb\bv\vf\fa\a", "'r'$'\\r''b'$'\\b''v'$'\\v''f'$'\\f''a'$'\\a'"},
        {"ok\x9b.xml", "'ok'$'\\233''.xml'"},
        {"only\x80\x81", "'only'$'\\200\\201'"},
        {"c\xc2\x85"
         "d",
         "'c'$'\\302\\205''d'"},                         // a C1 control
        {"u\xe2\x80\xa8v", "'u'$'\\342\\200\\250''v'"},  // the line separator
    };
    for (const auto& c : cases) {
        const QString name = decodeFileName(c.bytes);
        EXPECT_EQ(quotedFileName(name), QString::fromUtf8(c.shown)) << c.shown;
        EXPECT_EQ(hasUnprintable(name), quotedFileName(name) != name) << c.shown;
    }
}

}  // namespace
}  // namespace quorrix
