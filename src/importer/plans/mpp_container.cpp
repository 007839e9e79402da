#include "importer/plans/mpp_container.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile-impl.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>
#include <map>

#include "importer/plans/mpp_bytes.h"
#include "platform/failure.h"

namespace quorrix::importer::plans::mpp {
namespace {

[[noreturn]] void damaged(const QString& what) {
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file is damaged: %1.").arg(what));
}

// libgsf reports problems of damaged documents through GLib's log; the reader turns them into
// failures of its own, so those messages are not shown on the terminal.
void quietLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// libgsf and its GLib types are set up once per process and stay for its lifetime. The first
// call from any thread does it while calls from others wait (a function-local static), so
// plans can be opened on several threads; each document has its own libgsf objects.
void initialiseGsf() {
    static const bool done = [] {
        gsf_init();
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                                        G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        for (const char* domain : {"libgsf", "libgsf:msole"}) g_log_set_handler(domain, levels, quietLog, nullptr);
        return true;
    }();
    (void)done;
}

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};
using InputPtr = std::unique_ptr<GsfInput, GObjectUnref>;

// libgsf reads the directory of a compound document recursively, one call per link between
// entries, so a crafted directory (a chain of thousands of siblings) could exhaust the stack; and
// it loses the entries it finds beside the root entry, which no valid document has. Before libgsf
// sees the document, the same walk is made here without recursion, and a tree nested deeper than
// any real plan's (Project keeps its directory trees balanced) or a root entry with siblings is
// refused as damage.
//
// The entries' timestamps are cleared in the reader's copy: they are not needed, and libgsf
// would look up the local time zone (reading /etc/localtime again) for each of them.
constexpr size_t kMaxDirectoryDepth = 1000;
constexpr quint32 kLastRegularSector = 0xFFFFFFFA;
constexpr quint32 kNoEntry = 0xFFFFFFFF;

void prepareDirectory(QByteArray& document, const std::function<bool(const QString&)>& keepStorage) {
    const mpp::Bytes bytes(document);
    const int shift = bytes.u16(30);
    if (shift < 7 || shift > 20) return;  // not a layout libgsf reads either
    const qint64 sectorSize = qint64(1) << shift;
    const qint64 perSector = sectorSize / 4;
    const qint64 sectorsInFile = bytes.size() / sectorSize;
    const auto sectorOffset = [shift](quint32 sector) { return (qint64(sector) + 1) << shift; };

    // The sectors holding the allocation table: 109 in the header, the rest in a chain.
    const qint64 fatCount = std::min<qint64>(bytes.u32(44), sectorsInFile);
    std::vector<quint32> fatSectors;
    for (int k = 0; k < 109 && qint64(fatSectors.size()) < fatCount; ++k) fatSectors.push_back(bytes.u32(76 + 4 * k));
    quint32 difat = bytes.u32(68);
    for (qint64 steps = 0; qint64(fatSectors.size()) < fatCount && difat < kLastRegularSector && steps <= sectorsInFile; ++steps) {
        const qint64 at = sectorOffset(difat);
        if (!bytes.holds(at, sectorSize)) break;
        for (qint64 k = 0; k < perSector - 1 && qint64(fatSectors.size()) < fatCount; ++k) fatSectors.push_back(bytes.u32(at + 4 * k));
        difat = bytes.u32(at + sectorSize - 4);
    }
    const auto nextSector = [&](quint32 sector) -> quint32 {
        const qint64 index = sector / perSector;
        if (index >= qint64(fatSectors.size())) return 0xFFFFFFFE;
        const qint64 at = sectorOffset(fatSectors[size_t(index)]) + (sector % perSector) * 4;
        return bytes.holds(at, 4) ? bytes.u32(at) : 0xFFFFFFFE;
    };

    // The directory's sectors, each visited at most once per sector of the file.
    std::vector<qint64> directory;
    for (quint32 sector = bytes.u32(48); sector < kLastRegularSector && qint64(directory.size()) < sectorsInFile;
         sector = nextSector(sector)) {
        const qint64 at = sectorOffset(sector);
        if (!bytes.holds(at, sectorSize)) break;
        directory.push_back(at);
    }
    const qint64 perDirectorySector = sectorSize / 128;
    const qint64 entries = qint64(directory.size()) * perDirectorySector;
    if (entries == 0) return;
    if (bytes.u32(directory[0] + 68) != kNoEntry || bytes.u32(directory[0] + 72) != kNoEntry) {
        damaged(QStringLiteral("its directory of parts is malformed (the root entry has siblings)"));
    }
    const auto entryOffset = [&](quint32 entry) {
        return directory[size_t(entry / perDirectorySector)] + qint64(entry % perDirectorySector) * 128;
    };

    // Depth-first through left sibling, right sibling and child, in libgsf's order, each entry
    // once; an entry of unknown type ends its branch as it does there.
    struct Frame {
        quint32 entry;
        int link;
    };
    std::vector<char> seen(size_t(entries), 0);
    std::vector<Frame> stack{{0, 0}};
    seen[0] = 1;
    while (!stack.empty()) {
        if (stack.size() > kMaxDirectoryDepth) damaged(QStringLiteral("its directory of parts is nested too deeply"));
        Frame& frame = stack.back();
        const qint64 at = entryOffset(frame.entry);
        const quint8 type = bytes.u8(at + 66);
        const bool known = frame.entry == 0 || type == 1 || type == 2 || type == 5;
        if (frame.link == 3 || !known) {
            stack.pop_back();
            continue;
        }
        const quint32 next = bytes.u32(at + 68 + 4 * frame.link);
        ++frame.link;
        if (next < entries && !seen[next]) {
            seen[next] = 1;
            stack.push_back({next, 0});
        }
    }

    // The storages beside the plan's data (views, tables, filters, macros: half of a plan's
    // directory) are left out of the reader's copy when they are not wanted: libgsf builds an
    // object for every entry it can reach, which is most of the cost of opening a small plan.
    // Their entries stay, childless; the walk above has checked the whole tree.
    std::vector<qint64> cut;
    if (keepStorage) {
        const quint32 first = bytes.u32(directory[0] + 76);
        std::vector<char> visited(size_t(entries), 0);
        std::vector<quint32> pending;
        if (first < entries) pending.push_back(first);
        while (!pending.empty()) {
            const quint32 entry = pending.back();
            pending.pop_back();
            if (visited[entry]) continue;
            visited[entry] = 1;
            const qint64 at = entryOffset(entry);
            for (const qint64 link : {68, 72}) {
                const quint32 next = bytes.u32(at + link);
                if (next < entries && !visited[next]) pending.push_back(next);
            }
            if (bytes.u8(at + 66) != 1 || bytes.u32(at + 76) == kNoEntry) continue;
            const int units = std::min(int(bytes.u16(at + 64)) / 2, 32);
            QString name;
            for (int k = 0; k < units; ++k) {
                const quint16 unit = bytes.u16(at + 2 * k);
                if (unit == 0) break;
                name += QChar(unit);
            }
            if (!keepStorage(name)) cut.push_back(at);
        }
    }

    std::vector<qint64> stamped;
    for (qint64 entry = 0; entry < entries; ++entry) {
        const qint64 at = entryOffset(quint32(entry));
        if (bytes.u32(at + 100) | bytes.u32(at + 104) | bytes.u32(at + 108) | bytes.u32(at + 112)) stamped.push_back(at);
    }
    if (stamped.empty() && cut.empty()) return;
    char* data = document.data();  // detaches from the caller's bytes
    for (const qint64 at : stamped) std::memset(data + at + 100, 0, 16);
    for (const qint64 at : cut) std::memset(data + at + 76, 0xFF, 4);
}

}  // namespace

bool isCompoundSignature(const QByteArray& head) {
    static const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    return head.size() >= 8 && std::memcmp(head.constData(), kSignature, 8) == 0;
}

struct CompoundFile::Handle {
    QByteArray document;
    InputPtr source;
    InputPtr root;                           // a GsfInfile
    std::map<QStringList, InputPtr> storages;  // storages opened so far, by path
    InputPtr last;                           // the stream opened last
};

CompoundFile::CompoundFile(QByteArray bytes, const std::function<bool(const QString&)>& keepStorage)
    : handle_(std::make_unique<Handle>()) {
    if (!isCompoundSignature(bytes)) {
        throw Failure(failure_number::kBadFileFormat,
                      QStringLiteral("The file is not a plan file (it is not a compound document)."));
    }
    prepareDirectory(bytes, keepStorage);
    handle_->document = std::move(bytes);
    const QByteArray& document = handle_->document;
    initialiseGsf();
    documentSize_ = document.size();
    handle_->source.reset(gsf_input_memory_new(reinterpret_cast<const guint8*>(document.constData()),
                                               document.size(), FALSE));
    if (!handle_->source) damaged(QStringLiteral("its compound-document structure cannot be read"));
    GError* error = nullptr;
    GsfInfile* root = gsf_infile_msole_new(handle_->source.get(), &error);
    if (error) g_error_free(error);
    if (!root) damaged(QStringLiteral("its compound-document structure cannot be read"));
    handle_->root.reset(GSF_INPUT(root));
}

CompoundFile::~CompoundFile() = default;

namespace {

// The child `name` of `parent`: nothing when absent; a failure when present but unreadable.
InputPtr openChild(GsfInfile* parent, const QString& name, bool* absent) {
    const QByteArray wanted = name.toUtf8();
    const int count = gsf_infile_num_children(parent);
    for (int i = 0; i < count; ++i) {
        const char* childName = gsf_infile_name_by_index(parent, i);
        if (!childName || wanted != childName) continue;
        // The class method, not gsf_infile_child_by_index(): that one also prints a warning.
        GError* error = nullptr;
        GsfInput* child = G_TYPE_INSTANCE_GET_CLASS(parent, GSF_INFILE_TYPE, GsfInfileClass)->child_by_index(parent, i, &error);
        if (error) {
            g_error_free(error);
            if (child) g_object_unref(child);
            child = nullptr;
        }
        if (!child) damaged(QStringLiteral("the part \"%1\" cannot be read").arg(name.trimmed()));
        *absent = false;
        return InputPtr(child);
    }
    *absent = true;
    return nullptr;
}

}  // namespace

void* CompoundFile::open(const QStringList& path, bool* absent) const {
    GsfInput* current = handle_->root.get();
    *absent = false;
    for (qsizetype k = 0; k < path.size(); ++k) {
        const QStringList prefix = path.mid(0, k + 1);
        if (const auto it = handle_->storages.find(prefix); it != handle_->storages.end()) {
            current = it->second.get();
            continue;
        }
        if (!GSF_IS_INFILE(current)) {
            *absent = true;
            return nullptr;
        }
        InputPtr child = openChild(GSF_INFILE(current), path[k], absent);
        if (*absent) return nullptr;
        current = child.get();
        const bool storage = GSF_IS_INFILE(current) && gsf_infile_num_children(GSF_INFILE(current)) >= 0;
        if (storage) {
            handle_->storages.emplace(prefix, std::move(child));
        } else {
            handle_->last = std::move(child);
        }
    }
    return current;
}

std::optional<QByteArray> CompoundFile::stream(const QStringList& path) const {
    bool absent = false;
    auto* current = static_cast<GsfInput*>(open(path, &absent));
    if (absent || path.isEmpty()) return std::nullopt;
    if (GSF_IS_INFILE(current) && gsf_infile_num_children(GSF_INFILE(current)) >= 0) {
        return std::nullopt;  // a storage, not a stream
    }
    const gsf_off_t size = gsf_input_size(current);
    const QString name = path.isEmpty() ? QString() : path.last().trimmed();
    if (size < 0 || size > documentSize_) damaged(QStringLiteral("the part \"%1\" claims more bytes than the file holds").arg(name));
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(current, static_cast<size_t>(size), reinterpret_cast<guint8*>(data.data()))) {
        damaged(QStringLiteral("the part \"%1\" ends early").arg(name));
    }
    handle_->last.reset();
    return data;
}

}  // namespace quorrix::importer::plans::mpp
