#include "platform/file_facts.h"

#include "platform/file_names.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/windows1252.h"

namespace quorrix {

// ---- Failures -------------------------------------------------------------------------------

namespace {

// A path as it may stand in a one-line message: control characters shown as "?".
QString printable(const QString& path) {
    QString shown = path;
    for (QChar& c : shown)
        if (c.unicode() < 32 || c.unicode() == 127) c = QLatin1Char('?');
    return shown;
}

}  // namespace

Failure fileFailure(int errorNumber, const QString& path, bool folder) {
    const auto make = [&](int number, const char* text) {
        return Failure(number, QString::fromLatin1(text) + QStringLiteral(": ") + printable(path));
    };
    switch (errorNumber) {
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
            return folder ? make(failure_number::kPathNotFound, "Path not found")
                          : make(failure_number::kFileNotFound, "File not found");
        case EACCES:
        case EPERM:
            return make(failure_number::kPermissionDenied, "Permission denied");
        case ENAMETOOLONG:
        case EILSEQ:
        case EINVAL:
            return make(failure_number::kBadFileName, "Bad file name or number");
        case EIO:
            return make(failure_number::kDeviceIoError, "Device I/O error");
        default:
            return make(failure_number::kPathFileAccessError, "Path/File access error");
    }
}

// ---- File stamps ---------------------------------------------------------------------------

FileStamp fileStampOf(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(encodeFileName(path).constData(), &st) != 0) return {};
    FileStamp s;
    s.exists = true;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::int64_t>(st.st_size);
    s.modifiedSeconds = st.st_mtim.tv_sec;
    s.modifiedNanoseconds = st.st_mtim.tv_nsec;
    s.changedSeconds = st.st_ctim.tv_sec;
    s.changedNanoseconds = st.st_ctim.tv_nsec;
    return s;
}

// ---- Code page ------------------------------------------------------------------------------

int codePageCode(QChar c) {
    // A byte of a name that is no UTF-8 is that byte of the code page.
    if (const int byte = escapedByte(c); byte >= 0) return byte;
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (kWindows1252From128[i] == u) return 128 + i;
    return 63;
}

// ---- Listing order and wildcards --------------------------------------------------------------

namespace {

char32_t upper(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80) return u >= u'a' && u <= u'z' ? u - (u'a' - u'A') : u;
    return QChar::toUpper(static_cast<char32_t>(u));
}

// Plain wildcard match of name against pattern[0, patternEnd).
bool matchPart(const QString& pattern, qsizetype patternEnd, const QString& name) {
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;  // position of the last "*" seen
    qsizetype resume = 0;  // where the name goes on when that "*" takes one more character
    while (n < name.size()) {
        if (p < patternEnd && pattern[p] == QLatin1Char('*')) {
            star = p++;
            resume = n;
        } else if (p < patternEnd &&
                   (pattern[p] == QLatin1Char('?') || upper(pattern[p]) == upper(name[n]))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < patternEnd && pattern[p] == QLatin1Char('*')) ++p;
    return p == patternEnd;
}

}  // namespace

bool listsBefore(const QString& a, const QString& b) {
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char32_t ua = upper(a[i]);
        const char32_t ub = upper(b[i]);
        if (ua != ub) return ua < ub;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool wildcardMatch(const QString& pattern, const QString& name) {
    if (matchPart(pattern, pattern.size(), name)) return true;
    return pattern.endsWith(QStringLiteral(".*")) && matchPart(pattern, pattern.size() - 2, name);
}

// ---- The file-system layer --------------------------------------------------------------------

int FileSystem::attributes(const QString& path) const {
    const EntryFacts facts = entry(path);
    if (!facts.exists) throw fileFailure(ENOENT, path, false);
    return facts.attributes;
}

namespace {

// The path in the platform's form; a path holding NUL cannot reach the platform at all.
QByteArray nativePath(const QString& path) {
    if (path.contains(QChar(0))) throw fileFailure(EINVAL, path, false);
    return encodeFileName(path);
}

QByteArray withoutTrailingSlashes(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    return path;
}

// The last name of the path; "." and ".." are no names of their own.
bool isHiddenPath(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == QLatin1Char('/')) --end;
    const qsizetype start = path.lastIndexOf(QLatin1Char('/'), end - 1) + 1;
    const QStringView name = QStringView(path).mid(start, end - start);
    return name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") && name != QLatin1String("..");
}

int modeAttributes(mode_t mode) {
    int attributes = 0;
    if (S_ISDIR(mode))
        attributes |= attribute::kDirectory;
    else if (S_ISREG(mode))
        attributes |= attribute::kArchive;
    if ((mode & S_IWUSR) == 0) attributes |= attribute::kReadOnly;
    return attributes;
}

FolderId idOf(const struct stat& st) {
    return FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// An open folder read in large batches of names, without the extra status query a directory
// stream makes when it opens. Closed on every way out.
class FolderReader {
public:
    explicit FolderReader(const QByteArray& path)
        : fd_(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Calls `take(name, type)` for every name but "." and ".."; the errno of a failed read, 0
    // when the folder was read to its end.
    template <class Take>
    int readAll(Take take) {
        alignas(struct dirent64) char buffer[32768];
        for (;;) {
            const ssize_t got = ::getdents64(fd_, buffer, sizeof buffer);
            if (got == 0) return 0;
            if (got < 0) return errno;
            for (ssize_t at = 0; at < got;) {
                const auto* e = reinterpret_cast<const struct dirent64*>(buffer + at);
                at += e->d_reclen;
                const char* n = e->d_name;
                if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
                take(n, e->d_type);
            }
        }
    }

private:
    int fd_;
};

struct RawName {
    QByteArray bytes;
    QString name;
    unsigned char type;
    std::u32string key;  // the name in upper case, for the listing order
};

// Reads every name of an open folder; `keep` chooses by entry type.
template <class Keep>
int readNames(FolderReader& folder, std::vector<RawName>& out, Keep keep) {
    return folder.readAll([&](const char* n, unsigned char type) {
        if (!keep(type)) return;
        QByteArray bytes(n);
        QString name = decodeFileName(bytes);
        out.push_back(RawName{std::move(bytes), std::move(name), type, {}});
    });
}

std::u32string upperKey(const QString& name) {
    std::u32string key(static_cast<size_t>(name.size()), U'\0');
    for (qsizetype i = 0; i < name.size(); ++i) key[static_cast<size_t>(i)] = upper(name[i]);
    return key;
}

// The listing order of listsBefore, each name brought to upper case once.
void sortNames(std::vector<RawName>& names) {
    for (RawName& n : names) n.key = upperKey(n.name);
    std::sort(names.begin(), names.end(), [](const RawName& a, const RawName& b) {
        if (a.key != b.key) return a.key < b.key;
        return a.name < b.name;
    });
}

class RealFileSystem final : public FileSystem {
public:
    FolderFacts folder(const QString& path) const override {
        const QByteArray p = nativePath(path);
        // The folder's own entry first: a link to a folder carries the reparse point.
        struct stat st {};
        int attributes = 0;
        if (::lstat(withoutTrailingSlashes(p).constData(), &st) != 0) throw fileFailure(errno, path, true);
        if (S_ISLNK(st.st_mode)) {
            attributes |= attribute::kReparsePoint;
            if (::stat(p.constData(), &st) != 0) throw fileFailure(errno, path, true);
        }
        if (!S_ISDIR(st.st_mode)) throw fileFailure(ENOTDIR, path, true);
        attributes |= modeAttributes(st.st_mode);
        if (isHiddenPath(path)) attributes |= attribute::kHidden;
        return FolderFacts{attributes, idOf(st)};
    }

    bool isRootFolder(const QString& path) const override {
        const QByteArray p = withoutTrailingSlashes(nativePath(path));
        struct stat self {};
        struct stat parent {};
        if (::stat(p.constData(), &self) != 0) throw fileFailure(errno, path, true);
        const QByteArray up = p.endsWith('/') ? p + ".." : p + "/..";
        if (::stat(up.constData(), &parent) != 0) throw fileFailure(errno, path, true);
        return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
    }

    void forEachSubfolder(const QString& path, const SubfolderVisit& visit) const override {
        const QByteArray p = nativePath(path);
        std::vector<RawName> candidates;
        std::vector<std::pair<QString, FolderId>> found;
        std::optional<Failure> failure;
        {
            FolderReader dir(p);
            if (!dir.isOpen()) throw fileFailure(errno, path, true);
            // Names that can be read but not looked up are no folder one can walk into.
            if (::faccessat(dir.fd(), ".", X_OK, AT_EACCESS) != 0) throw fileFailure(errno, path, true);
            const int readError = readNames(dir, candidates, [](unsigned char type) {
                return type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN;
            });
            if (readError != 0) failure = fileFailure(readError, path, true);
            sortNames(candidates);
            const int fd = dir.fd();
            const qsizetype prefixSize = p.size() + (p.endsWith('/') ? 0 : 1);
            for (const RawName& candidate : candidates) {
                if (failure) break;
                // A folder whose path the platform would refuse cannot be examined: no subfolder.
                if (prefixSize + candidate.bytes.size() + 1 >= PATH_MAX) continue;
                struct stat st {};
                if (::fstatat(fd, candidate.bytes.constData(), &st, 0) == 0) {
                    if (S_ISDIR(st.st_mode)) found.emplace_back(candidate.name, idOf(st));
                    continue;
                }
                const int error = errno;
                // A link that leads nowhere, an entry that went away, a name too long to use: no
                // subfolder.
                if (error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG) continue;
                failure = fileFailure(error, path, true);
            }
        }
        for (const auto& [name, id] : found) visit(name, id);
        if (failure) throw *failure;
    }

    QList<ListedName> list(const QString& path) const override {
        const QByteArray p = nativePath(path);
        std::vector<RawName> names;
        {
            FolderReader dir(p);
            if (!dir.isOpen()) {
                if (errno == ENOENT || errno == ENOTDIR) return {};
                throw fileFailure(errno, path, true);
            }
            // A name whose path the platform would refuse is no name one can open.
            const qsizetype prefixSize = p.size() + (p.endsWith('/') ? 0 : 1);
            const int error = readNames(dir, names, [](unsigned char) { return true; });
            std::erase_if(names, [&](const RawName& n) { return prefixSize + n.bytes.size() >= PATH_MAX; });
            if (error != 0) throw fileFailure(error, path, true);
        }
        sortNames(names);
        QList<ListedName> out;
        out.reserve(static_cast<qsizetype>(names.size()));
        for (RawName& n : names) {
            const ListedName::Kind kind = n.type == DT_REG   ? ListedName::File
                                          : n.type == DT_DIR ? ListedName::Folder
                                                             : ListedName::Other;
            out.append(ListedName{std::move(n.name), kind});
        }
        return out;
    }

    EntryFacts entry(const QString& path) const override {
        if (path.isEmpty()) return {};
        const QByteArray p = nativePath(path);
        struct stat st {};
        if (::lstat(p.constData(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return {};
            throw fileFailure(errno, path, false);
        }
        EntryFacts facts;
        facts.exists = true;
        if (S_ISLNK(st.st_mode)) {
            facts.attributes |= attribute::kReparsePoint;
            if (::stat(p.constData(), &st) != 0) {
                // A link whose target is missing: an entry that opens as nothing.
                if (isHiddenPath(path)) facts.attributes |= attribute::kHidden;
                return facts;
            }
        }
        facts.attributes |= modeAttributes(st.st_mode);
        if (isHiddenPath(path)) facts.attributes |= attribute::kHidden;
        facts.openable = S_ISREG(st.st_mode);
        return facts;
    }
};

}  // namespace

const FileSystem& realFileSystem() {
    static const RealFileSystem instance;
    return instance;
}

}  // namespace quorrix

namespace Main {

QString FileNameOf(const QString& path) {
    const qsizetype separator = path.lastIndexOf(QDir::separator());
    return separator < 0 ? path : path.mid(separator + 1);
}

}  // namespace Main
