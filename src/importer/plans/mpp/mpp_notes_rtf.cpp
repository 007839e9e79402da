#include "importer/plans/mpp/mpp_notes_rtf.h"

#include <QByteArray>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

#include "platform/windows1252.h"

namespace quorrix::importer::plans::mpp {
namespace {

void appendWindows1252(QString& out, const char* bytes, qsizetype length) {
    for (qsizetype k = 0; k < length; ++k) out += QChar(windows1252Char(static_cast<quint8>(bytes[k])));
}

// Groups nested deeper than this (never in a real note) produce no text.
constexpr int kMaxDepth = 256;
// Longest control word kept for matching; longer ones are read whole and match nothing.
constexpr int kMaxWordLength = 32;
// Largest \ucN honoured.
constexpr int kMaxSkipCount = 16;

// Destinations whose content is never text.
bool isSkippedDestination(const QByteArray& word) {
    static const char* const kWords[] = {
        "fonttbl", "colortbl",  "stylesheet",         "info",         "pict",
        "object",  "listtable", "listoverridetable",  "rsidtbl",      "generator",
        "mmathPr", "themedata", "colorschememapping", "latentstyles", "datastore",
        "xmlnstbl"};
    for (const char* known : kWords) {
        if (word == known) return true;
    }
    return word.startsWith("header") || word.startsWith("footer");
}

class RtfReader {
  public:
    RtfReader(const char* data, qsizetype size) : p_(data), n_(size) {}

    QString run() {
        out_.reserve(std::min<qsizetype>(n_, 1 << 16));
        while (i_ < n_) step();
        flushBytes();
        if (out_.endsWith(QLatin1Char('\n'))) out_.chop(1);
        return out_;
    }

  private:
    struct State {
        bool skip = false;
        int uc = 1;
    };

    void step() {
        const char c = p_[i_];
        if (c == '{') {
            ++i_;
            openGroup();
            return;
        }
        if (c == '}') {
            ++i_;
            closeGroup();
            return;
        }
        const bool first = groupStart_;
        groupStart_ = false;
        if (c == '\\') {
            ++i_;
            control(first);
            return;
        }
        ++i_;
        if (c == '\r' || c == '\n') return;
        byte(static_cast<quint8>(c));
    }

    void openGroup() {
        flushBytes();
        skipCount_ = 0;
        groupStart_ = true;
        if (overflow_ > 0 || stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        stack_.push_back(state_);
    }

    void closeGroup() {
        flushBytes();
        skipCount_ = 0;
        groupStart_ = false;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (!stack_.empty()) {
            state_ = stack_.back();
            stack_.pop_back();
        }
    }

    bool silent() const { return state_.skip || overflow_ > 0; }

    // A character or control that a preceding \uN asks to skip: true when it is swallowed.
    bool swallowed() {
        if (skipCount_ <= 0) return false;
        --skipCount_;
        return true;
    }

    void control(bool firstInGroup) {
        if (i_ >= n_) return;
        const char c = p_[i_];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            controlWord();
            return;
        }
        ++i_;
        if (c == '\'') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && i_ < n_) {
                const int d = hexDigit(p_[i_]);
                if (d < 0) break;
                value = value * 16 + d;
                ++digits;
                ++i_;
            }
            if (digits == 0 || swallowed()) return;
            if (!silent()) bytes_ += static_cast<char>(value);
            return;
        }
        if (c == '*') {
            if (firstInGroup) state_.skip = true;
            return;
        }
        if (swallowed()) return;
        switch (c) {
            case '\\':
            case '{':
            case '}':
                text(QChar::fromLatin1(c));
                break;
            case '~':
                text(QChar(0x00A0));
                break;
            case '\r':
            case '\n':
                text(QLatin1Char('\n'));
                break;
            default:
                break;
        }
    }

    void controlWord() {
        QByteArray word;
        while (i_ < n_ && ((p_[i_] >= 'a' && p_[i_] <= 'z') || (p_[i_] >= 'A' && p_[i_] <= 'Z'))) {
            if (word.size() <= kMaxWordLength) word += p_[i_];
            ++i_;
        }
        bool negative = false;
        bool hasParameter = false;
        qint64 parameter = 0;
        if (i_ < n_ && p_[i_] == '-') {
            negative = true;
            ++i_;
        }
        while (i_ < n_ && p_[i_] >= '0' && p_[i_] <= '9') {
            hasParameter = true;
            if (parameter < 10'000'000) parameter = parameter * 10 + (p_[i_] - '0');
            ++i_;
        }
        if (negative) parameter = -parameter;
        if (i_ < n_ && p_[i_] == ' ') ++i_;

        if (isSkippedDestination(word)) {
            state_.skip = true;
            return;
        }
        if (word == "uc") {
            if (hasParameter) state_.uc = static_cast<int>(std::clamp<qint64>(parameter, 0, kMaxSkipCount));
            return;
        }
        if (word == "ansicpg") {
            if (hasParameter && parameter > 0 && parameter < 100000) codePage_ = static_cast<int>(parameter);
            return;
        }
        if (swallowed()) return;
        if (word == "par" || word == "line") {
            text(QLatin1Char('\n'));
        } else if (word == "tab") {
            text(QLatin1Char('\t'));
        } else if (word == "u" && hasParameter && parameter >= -32768 && parameter <= 65535) {
            text(QChar(static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter)));
            skipCount_ = state_.uc;
        }
    }

    void byte(quint8 b) {
        if (swallowed() || silent()) return;
        flushBytes();
        out_ += QChar(windows1252Char(b));
    }

    void text(QChar c) {
        if (silent()) return;
        flushBytes();
        out_ += c;
    }

    // The bytes of \'hh escapes in a row, decoded together (a character of a double-byte code
    // page takes two of them).
    void flushBytes() {
        if (bytes_.isEmpty()) return;
        if (codePage_ != 1252) {
            QStringDecoder decoder(codePageName(codePage_).constData());
            if (decoder.isValid()) {
                out_ += decoder.decode(bytes_);
                bytes_.clear();
                return;
            }
        }
        appendWindows1252(out_, bytes_.constData(), bytes_.size());
        bytes_.clear();
    }

    static QByteArray codePageName(int page) {
        switch (page) {
            case 932:
                return "Shift_JIS";
            case 936:
                return "GBK";
            case 949:
                return "EUC-KR";
            case 950:
                return "Big5";
            case 65001:
                return "UTF-8";
            default:
                break;
        }
        if (page >= 1250 && page <= 1258) return "windows-" + QByteArray::number(page);
        return "CP" + QByteArray::number(page);
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    const char* p_;
    qsizetype n_;
    qsizetype i_ = 0;
    QString out_;
    QByteArray bytes_;
    State state_;
    std::vector<State> stack_;
    int overflow_ = 0;
    int skipCount_ = 0;
    int codePage_ = 1252;
    bool groupStart_ = false;
};

}  // namespace

QString notesText(Bytes stored) {
    const char* data = stored.data();
    qsizetype length = 0;
    while (length < stored.size() && data[length] != '\0') ++length;
    if (length >= 5 && std::equal(data, data + 5, "{\\rtf")) return RtfReader(data, length).run();
    QString text;
    text.reserve(length);
    for (qsizetype k = 0; k < length; ++k) {
        const char c = data[k];
        if (c == '\r') {
            text += QLatin1Char('\n');
            if (k + 1 < length && data[k + 1] == '\n') ++k;
        } else {
            text += QChar(windows1252Char(static_cast<quint8>(c)));
        }
    }
    return text;
}

}  // namespace quorrix::importer::plans::mpp
