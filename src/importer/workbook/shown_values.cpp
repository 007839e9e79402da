#include "importer/workbook/shown_values.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quorrix::importer::workbook::shown {

namespace {

const qint64 kOriginJulianDay = QDate(1899, 12, 30).toJulianDay();
constexpr std::int64_t kFirstMarchOf1900 = 61;  // days after the origin

// Pixel widths of the printable ASCII characters in the standard font, from the space (32) on.
constexpr unsigned char kAsciiPixels[95] = {
    3, 5, 6, 7, 7, 11, 10, 3, 5, 5, 7, 7, 4, 5, 4, 6,            // space ! " # $ % & ' ( ) * + , - . /
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7,                                // 0-9
    4, 4, 7, 7, 7, 7, 13,                                        // : ; < = > ? @
    9, 8, 8, 9, 7, 7, 9, 9, 4, 5, 8, 6, 12, 10, 10, 8, 10, 8, 7, 7, 9, 9, 13, 8, 7, 7,  // A-Z
    5, 6, 5, 7, 7, 4,                                            // [ \ ] ^ _ `
    7, 8, 6, 8, 8, 5, 7, 8, 4, 4, 7, 4, 12, 8, 8, 8, 8, 5, 6, 5, 8, 7, 11, 7, 7, 6,    // a-z
    5, 7, 5, 7};                                                 // { | } ~
constexpr int kDigitPixels = 7;
constexpr int kOtherPixels = 8;   // letters beyond ASCII
constexpr int kWidePixels = 15;   // East Asian wide characters and characters beyond the BMP
constexpr int kMarginPixels = 7;  // what fitting adds to the widest value
constexpr int kPaddingPixels = 5; // the spreadsheet's padding inside a column

bool isWide(char16_t u) {
    return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
           (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
           (u >= 0xFFE0 && u <= 0xFFE6);
}

int digitCount(std::int64_t n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

int asciiPixels(const char* text) {
    int pixels = 0;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        pixels += (c >= 32 && c < 127) ? kAsciiPixels[c - 32] : kOtherPixels;
    }
    return pixels;
}

struct Parts {
    int year, month, day, hour, minute;
};

Parts partsOf(std::int64_t msecs) {
    std::int64_t days = msecs / kMsecsPerDay;
    std::int64_t rest = msecs % kMsecsPerDay;
    if (rest < 0) {
        rest += kMsecsPerDay;
        --days;
    }
    int y, m, d;
    QDate::fromJulianDay(kOriginJulianDay + days).getDate(&y, &m, &d);
    return {y, m, d, static_cast<int>(rest / 3600000), static_cast<int>(rest / 60000 % 60)};
}

}  // namespace

bool isSpreadsheetDate(const QDateTime& value) {
    const QDate date = value.date();
    return date.isValid() && date >= QDate(1900, 1, 1) && date <= QDate(9999, 12, 31);
}

std::int64_t wallMsecs(const QDateTime& value) {
    return (value.date().toJulianDay() - kOriginJulianDay) * kMsecsPerDay + value.time().msecsSinceStartOfDay();
}

double dateSerial(std::int64_t msecs) {
    double serial = static_cast<double>(msecs) / kMsecsPerDay;
    if (msecs < kFirstMarchOf1900 * kMsecsPerDay) serial -= 1;
    return serial;
}

QString dateTimeText(std::int64_t msecs) {
    const Parts p = partsOf(msecs);
    char buffer[48];
    if (isMidnight(msecs))
        std::snprintf(buffer, sizeof buffer, "%d/%d/%04d", p.month, p.day, p.year);
    else
        std::snprintf(buffer, sizeof buffer, "%d/%d/%04d %d:%02d", p.month, p.day, p.year, p.hour, p.minute);
    return QString::fromLatin1(buffer);
}

int dateTimePixels(std::int64_t msecs) {
    const Parts p = partsOf(msecs);
    const int slash = kAsciiPixels['/' - 32];
    int pixels = (digitCount(p.month) + digitCount(p.day) + std::max(4, digitCount(p.year))) * kDigitPixels + 2 * slash;
    if (!isMidnight(msecs))
        pixels += kAsciiPixels[' ' - 32] + (digitCount(p.hour) + 2) * kDigitPixels + kAsciiPixels[':' - 32];
    return pixels;
}

QString generalText(double value) {
    char buffer[64];
    if (value == 0) return QStringLiteral("0");
    if (std::fabs(value) < 1e11 && value == std::trunc(value)) {
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        return QString::fromLatin1(buffer);
    }
    for (int precision = 10; precision >= 1; --precision) {
        std::snprintf(buffer, sizeof buffer, "%.*G", precision, value);
        if (std::strlen(buffer) <= 11) break;
    }
    return QString::fromLatin1(buffer);
}

int numberPixels(double value) {
    if (std::fabs(value) < 1e11 && value == std::trunc(value)) {
        const auto magnitude = static_cast<std::int64_t>(std::fabs(value));
        return digitCount(magnitude) * kDigitPixels + (value < 0 ? kAsciiPixels['-' - 32] : 0);
    }
    return asciiPixels(generalText(value).toLatin1().constData());
}

int textPixels(const QString& text) {
    int pixels = 0;
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    for (; p < end; ++p) {
        const char16_t u = p->unicode();
        if (u < 128) {
            pixels += (u >= 32 && u < 127) ? kAsciiPixels[u - 32] : 0;  // control characters take no room
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            pixels += kWidePixels;
            if (p + 1 < end && p[1].isLowSurrogate()) ++p;
        } else {
            pixels += isWide(u) ? kWidePixels : kOtherPixels;
        }
    }
    return pixels;
}

int textPixels(std::string_view utf8) {
    int pixels = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            pixels += (lead >= 32 && lead < 127) ? kAsciiPixels[lead - 32] : 0;
            ++p;
            continue;
        }
        char32_t code;
        int more;
        if (lead >= 0xF0) code = lead & 0x07, more = 3;
        else if (lead >= 0xE0) code = lead & 0x0F, more = 2;
        else if (lead >= 0xC0) code = lead & 0x1F, more = 1;
        else code = 0xFFFD, more = 0;  // a stray continuation byte
        ++p;
        for (; more > 0 && p < end && (*p & 0xC0) == 0x80; --more, ++p) code = (code << 6) | (*p & 0x3F);
        pixels += code > 0xFFFF ? kWidePixels : (isWide(static_cast<char16_t>(code)) ? kWidePixels : kOtherPixels);
    }
    return pixels;
}

double widthForPixels(int pixels) {
    const int column = pixels + kMarginPixels;
    const double width = column <= kDigitPixels + kPaddingPixels ? column / double(kDigitPixels + kPaddingPixels)
                                                                 : double(column - kPaddingPixels) / kDigitPixels;
    return std::min(width, 255.0);
}

}  // namespace quorrix::importer::workbook::shown
