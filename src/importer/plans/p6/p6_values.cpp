#include "importer/plans/p6/p6_values.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "importer/plans/common/calendar.h"
#include "importer/plans/common/plan_file.h"
#include "platform/failure.h"

namespace quorrix::importer::plans::p6 {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Between `least` and `most` digits at `i`.
bool digits(std::string_view t, std::size_t& i, int least, int most, int& value) {
    value = 0;
    int n = 0;
    while (i < t.size() && n < most && isDigit(t[i])) {
        value = value * 10 + (t[i] - '0');
        ++i;
        ++n;
    }
    return n >= least;
}

// Whether a tag's name, compared without case, is one of `names`. ASCII names are compared in
// place; others go through QString::toLower, whose full case mapping can change their length.
bool isTagNamed(QStringView name, std::initializer_list<std::string_view> names) {
    bool ascii = true;
    for (const QChar c : name) ascii = ascii && c.unicode() < 0x80;
    const QString lowered = ascii ? QString() : name.toString().toLower();
    for (const std::string_view n : names) {
        const auto length = static_cast<qsizetype>(n.size());
        if (!ascii) {
            if (lowered == QLatin1StringView(n.data(), length)) return true;
            continue;
        }
        if (name.compare(QLatin1StringView(n.data(), length), Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

bool isLineBreakTag(QStringView name) {
    return isTagNamed(name, {"br", "p", "div", "li", "tr", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "table",
                             "blockquote"});
}

// The entity at `html[i]` ('&'), decoded at `out`, which it moves past; the index of its last
// character, or `i` when it is no entity (the '&' stays as it is).
qsizetype decodeEntity(const QString& html, qsizetype i, char16_t*& out) {
    // Looked for only as far as an entity can reach: a text of '&'s must not take quadratic time.
    const qsizetype near = QStringView(html).mid(i + 1, 12).indexOf(QLatin1Char(';'));
    const qsizetype semicolon = near < 0 ? -1 : i + 1 + near;
    if (semicolon < 0) {
        *out++ = u'&';
        return i;
    }
    const QStringView name = QStringView(html).mid(i + 1, semicolon - i - 1);
    char32_t code = 0;
    if (name == QLatin1String("amp")) code = '&';
    else if (name == QLatin1String("lt")) code = '<';
    else if (name == QLatin1String("gt")) code = '>';
    else if (name == QLatin1String("quot")) code = '"';
    else if (name == QLatin1String("apos")) code = '\'';
    else if (name == QLatin1String("nbsp")) code = ' ';
    else if (name.size() > 1 && name[0] == QLatin1Char('#')) {
        bool ok = false;
        const bool hex = name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X');
        const uint value = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (ok && value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) code = value;
    }
    if (code == 0) {
        *out++ = u'&';
        return i;
    }
    if (code == 0xA0) code = ' ';
    if (code >= 0x10000) {
        *out++ = QChar::highSurrogate(code);
        *out++ = QChar::lowSurrogate(code);
    } else {
        *out++ = static_cast<char16_t>(code);
    }
    return semicolon;
}

}  // namespace

bool parseDateTime(std::string_view t, Minutes& out) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    std::size_t i = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (!digits(t, i, 4, 4, year) || i >= t.size() || t[i++] != '-') return false;
    if (!digits(t, i, 1, 2, month) || i >= t.size() || t[i++] != '-') return false;
    if (!digits(t, i, 1, 2, day)) return false;
    if (i < t.size()) {
        if (t[i] != ' ' && t[i] != 'T') return false;
        ++i;
        if (!digits(t, i, 1, 2, hour) || i >= t.size() || (t[i] != ':' && t[i] != '.')) return false;
        ++i;
        if (!digits(t, i, 2, 2, minute)) return false;
        if (i < t.size()) {
            int second = 0;
            if ((t[i] != ':' && t[i] != '.') || !digits(t, ++i, 2, 2, second) || second > 59) return false;
            if (i < t.size() && t[i] == '.') {
                int fraction = 0;
                ++i;
                if (!digits(t, i, 1, 9, fraction)) return false;
            }
        }
        if (i != t.size()) return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59) return false;
    out = daysFromCivil(year, month, day) * kMinutesPerDay + hour * 60 + minute;
    return true;
}

QDateTime toDateTime(Minutes m) {
    if (m == kNoDate) return {};
    return QDateTime::fromMSecsSinceEpoch(m * 60000, Qt::UTC);
}

void Reporter::damaged(const QString& what) const {
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file is damaged: %1.").arg(what));
}

void Reporter::notAPlan() const {
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file is not a project plan."));
}

void Reporter::tooLarge() const {
    throw Failure(failure_number::kOverflow, QStringLiteral("The plan is too large to be read in memory."));
}

QString shownText(std::string_view utf8) {
    return shownValue(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

QString noteText(const QString& html) {
    // Written in place: the text is never longer than the HTML (an entity is longer than what it
    // stands for, a tag than its line break).
    QString text(html.size(), Qt::Uninitialized);
    char16_t* const textStart = reinterpret_cast<char16_t*>(text.data());
    char16_t* at = textStart;
    int hidden = 0;  // inside head, style or script
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c == QLatin1Char('<')) {
            if (QStringView(html).mid(i + 1, 3) == QLatin1String("!--")) {
                const qsizetype end = html.indexOf(QLatin1String("-->"), i + 4);
                if (end < 0) break;
                i = end + 2;
                continue;
            }
            const qsizetype end = html.indexOf(QLatin1Char('>'), i + 1);
            if (end < 0) break;  // an unterminated tag at the end
            qsizetype k = i + 1;
            const bool closing = k < end && html[k] == QLatin1Char('/');
            if (closing) ++k;
            const qsizetype nameStart = k;
            while (k < end && html[k].isLetterOrNumber()) ++k;
            const QStringView name = QStringView(html).mid(nameStart, k - nameStart);
            if (isTagNamed(name, {"head", "style", "script"}))
                hidden = closing ? std::max(0, hidden - 1) : hidden + 1;
            else if (!hidden && isLineBreakTag(name))
                *at++ = u'\n';
            i = end;
            continue;
        }
        if (hidden) continue;
        if (c == QLatin1Char('&')) i = decodeEntity(html, i, at);
        else if (c == QLatin1Char('\r')) *at++ = u'\n';
        else *at++ = c.unicode();
    }
    // Each line's blanks collapsed to one space between words, blank lines dropped: again in place.
    QString out(at - textStart, Qt::Uninitialized);
    char16_t* const outStart = reinterpret_cast<char16_t*>(out.data());
    char16_t* put = outStart;
    for (const char16_t* from = textStart; from < at;) {
        const char16_t* lineEnd = std::find(from, static_cast<const char16_t*>(at), u'\n');
        char16_t* lineStart = put;
        if (put != outStart) *put++ = u'\n';
        char16_t* words = put;
        bool blank = false;
        for (; from < lineEnd; ++from) {
            if (QChar(*from).isSpace()) {
                blank = true;
                continue;
            }
            if (blank && put != words) *put++ = u' ';
            blank = false;
            *put++ = *from;
        }
        if (put == words) put = lineStart;  // nothing on the line
        from = lineEnd + 1;
    }
    out.truncate(put - outStart);
    return out;
}

}  // namespace quorrix::importer::plans::p6
