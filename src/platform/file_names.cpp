#include "platform/file_names.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorrix {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // a byte b that is no UTF-8 becomes kEscapeBase + b (b >= 0x80)

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The length of the valid UTF-8 sequence at p[0, left) and its code point; 0 when the first byte
// starts none (an overlong form, a surrogate, past U+10FFFF or cut short).
int validSequence(const unsigned char* p, qsizetype left, char32_t& code) {
    const unsigned char b = p[0];
    int length = 0;
    char32_t smallest = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2, code = b & 0x1F, smallest = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, code = b & 0x0F, smallest = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, code = b & 0x07, smallest = 0x10000;
    }
    if (length == 0 || left < length) return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (p[k] & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

void appendUtf8(QByteArray& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character at name[i] (a surrogate pair taken whole) and how many code units it takes.
char32_t codeAt(const QString& name, qsizetype i, int& units) {
    const QChar c = name[i];
    units = 1;
    if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(c, name[i + 1]);
    }
    return c.unicode();
}

bool unprintable(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
           (code >= 0xD800 && code <= 0xDFFF);  // a byte that is no UTF-8, or a stray surrogate
}

// The bytes of one character as the system knows them.
QByteArray bytesOf(char32_t code) {
    QByteArray out;
    if (code >= kEscapeBase + 0x80 && code <= kEscapeBase + 0xFF)
        out += static_cast<char>(code - kEscapeBase);
    else if (code >= 0xD800 && code <= 0xDFFF)
        appendUtf8(out, 0xFFFD);
    else
        appendUtf8(out, code);
    return out;
}

}  // namespace

QString decodeFileName(const QByteArray& bytes) {
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        char32_t code = 0;
        const int length = p[i] < 0x80 ? 1 : validSequence(p + i, size - i, code);
        if (length == 1) {
            out += QLatin1Char(static_cast<char>(p[i]));
        } else if (length == 0) {
            out += QChar(static_cast<char16_t>(kEscapeBase + p[i]));
            i += 1;
            continue;
        } else if (code >= 0x10000) {
            out += QChar(QChar::highSurrogate(code));
            out += QChar(QChar::lowSurrogate(code));
        } else {
            out += QChar(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

QByteArray encodeFileName(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        int units = 1;
        const char32_t code = codeAt(name, i, units);
        if (code < 0x80)
            out += static_cast<char>(code);
        else
            out += bytesOf(code);
        i += units;
    }
    return out;
}

QString localFileOf(const QUrl& url) {
    const QString path = url.toLocalFile();
    if (path.isEmpty() || !path.contains(QChar(0xFFFD))) return path;
    // Only the path's own bytes are read again; a host (a network share) keeps Qt's form.
    if (!url.host().isEmpty()) return path;
    return decodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString openForReading(QFile& file, const QString& path) {
    if (path.contains(QChar(0)))
        return QString::fromLocal8Bit(std::strerror(EINVAL));  // it would end the path early
    const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return {};
}

int escapedByte(QChar c) {
    const char16_t u = c.unicode();
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF ? u - kEscapeBase : -1;
}

bool hasUnprintable(const QString& name) {
    for (qsizetype i = 0; i < name.size();) {
        int units = 1;
        if (unprintable(codeAt(name, i, units))) return true;
        i += units;
    }
    return false;
}

QString quotedFileName(const QString& name) {
    if (!hasUnprintable(name)) return name;
    QString out = QStringLiteral("'");
    bool escaping = false;
    for (qsizetype i = 0; i < name.size();) {
        int units = 1;
        const char32_t code = codeAt(name, i, units);
        if (unprintable(code)) {
            if (!escaping) out += QStringLiteral("'$'");
            escaping = true;
            static const char kLetters[] = "abtnvfr";  // \a (7) to \r (13)
            if (code >= 7 && code <= 13) {
                out += QLatin1Char('\\');
                out += QLatin1Char(kLetters[code - 7]);
            } else {
                for (const char byte : bytesOf(code))
                    out +=
                        QStringLiteral("\\%1").arg(static_cast<unsigned char>(byte), 3, 8, QLatin1Char('0'));
            }
        } else {
            if (escaping) out += QStringLiteral("''");
            escaping = false;
            if (code == U'\'')
                out += QStringLiteral("'\\''");
            else
                out += QStringView(name).mid(i, units);
        }
        i += units;
    }
    return out + QLatin1Char('\'');
}

}  // namespace quorrix
