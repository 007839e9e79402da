#pragma once

// Builders of small .mpp-like files for the reader's tests: compound documents written with
// libgsf, holding streams laid out by hand the way the task streams are documented.

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace quorrix::importer::plans::mpp_test {

// ---- little-endian writing ------------------------------------------------------------------

inline void put16(QByteArray& b, qsizetype at, quint16 v) {
    if (b.size() < at + 2) b.resize(at + 2, '\0');
    qToLittleEndian(v, b.data() + at);
}
inline void put32(QByteArray& b, qsizetype at, quint32 v) {
    if (b.size() < at + 4) b.resize(at + 4, '\0');
    qToLittleEndian(v, b.data() + at);
}
inline void putF64(QByteArray& b, qsizetype at, double v) {
    if (b.size() < at + 8) b.resize(at + 8, '\0');
    std::memcpy(b.data() + at, &v, 8);
}
inline QByteArray le32(quint32 v) {
    QByteArray b;
    put32(b, 0, v);
    return b;
}
inline QByteArray utf16(const QString& text, bool terminate = true) {
    QByteArray b;
    for (QChar c : text) {
        b.append(static_cast<char>(c.unicode() & 0xFF));
        b.append(static_cast<char>(c.unicode() >> 8));
    }
    if (terminate) b.append(2, '\0');
    return b;
}

// The 4-byte timestamp: time in tenths of a minute, day number after 1983-12-31.
inline quint32 stamp(const QDateTime& t) {
    const qint64 days = QDate(1983, 12, 31).daysTo(t.date());
    const int tenths = t.time().msecsSinceStartOfDay() / 6000;
    return static_cast<quint32>(tenths) | (static_cast<quint32>(days) << 16);
}

// ---- compound document -----------------------------------------------------------------------

struct Part {
    QStringList path;
    QByteArray data;
};

// A compound document holding `parts`; storages are made as the paths need them. Its sectors
// are 512 bytes (version 3) or, with `sectorShift` 12, 4096 bytes (version 4).
inline QByteArray compoundFile(const std::vector<Part>& parts, int sectorShift = 9) {
    gsf_init();
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* root = gsf_outfile_msole_new_full(sink, 1u << sectorShift, 64);
    // Children must be written depth-first and closed in order: group parts by their tree.
    struct Node {
        std::map<QString, Node> children;
        std::optional<QByteArray> data;
    };
    Node tree;
    for (const Part& part : parts) {
        Node* node = &tree;
        for (const QString& name : part.path) node = &node->children[name];
        node->data = part.data;
    }
    struct Writer {
        static void write(GsfOutfile* parent, const Node& node) {
            for (const auto& [name, child] : node.children) {
                const QByteArray utf8 = name.toUtf8();
                if (child.data) {
                    GsfOutput* out = gsf_outfile_new_child(parent, utf8.constData(), FALSE);
                    gsf_output_write(out, child.data->size(), reinterpret_cast<const guint8*>(child.data->constData()));
                    gsf_output_close(out);
                    g_object_unref(out);
                } else {
                    GsfOutput* dir = gsf_outfile_new_child(parent, utf8.constData(), TRUE);
                    write(GSF_OUTFILE(dir), child);
                    gsf_output_close(dir);
                    g_object_unref(dir);
                }
            }
        }
    };
    Writer::write(root, tree);
    gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
    const QByteArray bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
                           static_cast<qsizetype>(gsf_output_size(sink)));
    g_object_unref(sink);  // closed with the document
    return bytes;
}

// A compound document written by hand (512-byte sectors, no mini stream) whose directory is a
// root entry with `streams` empty streams chained as right siblings, as a careless writer lays
// them out; with `rootSibling` the root entry itself also gets a sibling, which real documents
// never have.
inline QByteArray chainedDirectory(int streams, bool rootSibling = false) {
    constexpr int kSector = 512;
    const int entries = 1 + streams + (rootSibling ? 1 : 0);
    const int directorySectors = (entries * 128 + kSector - 1) / kSector;
    int fatSectors = 1;
    while (fatSectors * (kSector / 4) < fatSectors + directorySectors) ++fatSectors;
    QByteArray b(kSector, '\0');
    const QByteArray signature = QByteArray::fromHex("D0CF11E0A1B11AE1");
    b.replace(0, 8, signature);
    put16(b, 24, 0x3E);
    put16(b, 26, 3);
    put16(b, 28, 0xFFFE);
    put16(b, 30, 9);
    put16(b, 32, 6);
    put32(b, 44, static_cast<quint32>(fatSectors));
    put32(b, 48, static_cast<quint32>(fatSectors));  // the directory follows the table
    put32(b, 56, 4096);
    put32(b, 60, 0xFFFFFFFE);
    put32(b, 68, 0xFFFFFFFE);
    for (int k = 0; k < 109; ++k) put32(b, 76 + 4 * k, k < fatSectors ? static_cast<quint32>(k) : 0xFFFFFFFF);
    QByteArray fat(fatSectors * kSector, '\xFF');
    for (int k = 0; k < fatSectors; ++k) put32(fat, 4 * k, 0xFFFFFFFD);
    for (int k = 0; k < directorySectors; ++k) {
        put32(fat, 4 * (fatSectors + k), k + 1 < directorySectors ? static_cast<quint32>(fatSectors + k + 1) : 0xFFFFFFFE);
    }
    b += fat;
    QByteArray directory(directorySectors * kSector, '\0');
    const auto entry = [&directory](int index, const QString& name, int type, qint32 left, qint32 right, qint32 child) {
        const int at = index * 128;
        const QByteArray text = utf16(name);
        directory.replace(at, text.size(), text);
        put16(directory, at + 64, static_cast<quint16>(text.size()));
        directory[at + 66] = static_cast<char>(type);
        directory[at + 67] = 1;
        put32(directory, at + 68, static_cast<quint32>(left));
        put32(directory, at + 72, static_cast<quint32>(right));
        put32(directory, at + 76, static_cast<quint32>(child));
        put32(directory, at + 116, 0xFFFFFFFE);
    };
    entry(0, QStringLiteral("Root Entry"), 5, -1, rootSibling ? streams + 1 : -1, streams > 0 ? 1 : -1);
    for (int k = 1; k <= streams; ++k) entry(k, QStringLiteral("s%1").arg(k), 2, -1, k < streams ? k + 1 : -1, -1);
    if (rootSibling) entry(streams + 1, QStringLiteral("Sibling"), 1, -1, -1, -1);
    b += directory;
    return b;
}

// \1CompObj: 28-byte header, then the application name, the file format and the ProgID.
inline QByteArray compObj(const QByteArray& application, const std::optional<QByteArray>& format) {
    QByteArray b(28, '\0');
    const auto add = [&b](const QByteArray& text) {
        b += le32(static_cast<quint32>(text.size() + 1));
        b += text;
        b += '\0';
    };
    add(application);
    if (format) {
        add(*format);
        add("MSProject.Project.9");
    }
    return b;
}

// A property stream with the given key → value entries.
inline QByteArray props(const std::vector<std::pair<quint32, QByteArray>>& entries) {
    QByteArray b(16, '\0');
    put16(b, 12, static_cast<quint16>(entries.size()));
    for (const auto& [key, value] : entries) {
        b += le32(static_cast<quint32>(value.size()));
        b += le32(key);
        b += le32(0);
        b += value;
        if (value.size() % 2) b += '\0';
    }
    return b;
}

// One field-map record: fixed offset (0xFFFF = var data), MPP9 var key, field index, category, size.
struct FieldRecord {
    int index;
    int offset;
    int size;
    int category = 0x03;
    int varKey = 0;
    quint32 base = 0x0B400000;  // the table: tasks 0x0B400000, resources 0x0C400000, assignments 0x0F400000
};
inline QByteArray fieldMap(const std::vector<FieldRecord>& records) {
    QByteArray b;
    for (const FieldRecord& r : records) {
        QByteArray rec(28, '\0');
        put16(rec, 4, static_cast<quint16>(r.offset));
        rec[6] = static_cast<char>(r.varKey);
        put32(rec, 8, r.offset == 0xFFFF ? 0x04 : 0x0A);
        put32(rec, 12, r.base + static_cast<quint32>(r.index));
        put16(rec, 20, static_cast<quint16>(r.category));
        put16(rec, 22, static_cast<quint16>(r.size));
        b += rec;
    }
    return b;
}

// ---- a whole plan --------------------------------------------------------------------------

enum class Kind { Mpp9, Mpp12, Mpp14 };

// One FixedMeta item with its data: a full task record, a null block or a deleted record.
struct Record {
    qint32 uniqueId = 0;
    qint32 storedId = 0;
    std::optional<QString> name;
    std::optional<QDateTime> start, finish;
    qint32 durationTenths = 4800;
    double sortPosition = 0;
    bool nullBlock = false;
    qint32 flags = 0;
    bool manual = false;  // MPP14
    std::optional<QDateTime> manualStart, manualFinish;
    qint32 manualDurationTenths = -1;
    int recordSize = 0;   // 0 = the layout's full size
    std::optional<qint32> nameOffset;  // points the name at this Var2Data offset instead
    std::map<int, QByteArray> fixedBytes;  // further bytes of the FixedData record, by offset
    std::map<int, QByteArray> varValues;   // further Var2Data values, by key
    std::map<int, qint32> varOffsets;      // further VarMeta entries pointing at a given offset, by key
    quint8 metaByte8 = 0, metaByte10 = 0;  // FixedMeta item bytes holding flags
};

// Layout written: block 0 UID 0, ID 4, Duration 60, Start 88, Finish 92, Created 130, up to 264
// bytes; MPP14 adds block 1 with Task Start 50, Task Finish 54, Manual Duration 58. Fixed2Data
// records carry the sort position at 16.
struct PlanLayout {
    Kind kind = Kind::Mpp12;
    QByteArray application = "Microsoft Project 12.0";
    std::vector<Record> records;  // after the three placeholder items
    std::vector<std::pair<quint32, QByteArray>> rootProps;
    quint8 xorMask = 0;           // applied to the project Props (and MPP9 FixedData)
    bool withFieldMap = true;
    QStringList omit;             // stream names left out of TBkndTask
    std::vector<FieldRecord> extraFields;  // further task fields (block 0 or var data)
    std::vector<std::pair<quint32, QByteArray>> extraProjectProps;
    std::vector<Part> extraParts;          // further streams, by path below the project storage
};

inline constexpr int kFullRecord = 264;
inline constexpr int kNameIndex = 14;

inline QByteArray buildPlan(const PlanLayout& layout) {
    const bool mpp9 = layout.kind == Kind::Mpp9;
    const bool mpp14 = layout.kind == Kind::Mpp14;
    const QByteArray number = mpp9 ? "9" : layout.kind == Kind::Mpp12 ? "12" : "14";
    const QString storage = QStringLiteral("   1") + QString::fromLatin1(number);
    const int nameKey = mpp9 ? 11 : kNameIndex;
    const int nullSize = mpp9 ? 8 : 16;

    std::vector<FieldRecord> fields = {{86, 0, 4}, {23, 4, 4}, {29, 60, 4}, {35, 88, 4, 0x13},
                                       {36, 92, 4, 0x13}, {93, 130, 4, 0x13}, {500, 260, 4}};
    for (const FieldRecord& f : layout.extraFields) {
        if (f.offset != 0xFFFF) fields.push_back(f);
    }
    // Block 0 offsets must rise: a falling offset starts the next block.
    std::stable_sort(fields.begin(), fields.end(), [](const FieldRecord& a, const FieldRecord& b) { return a.offset < b.offset; });
    fields.push_back({kNameIndex, 0xFFFF, 512, 0x08, mpp9 ? 11 : 0});
    for (const FieldRecord& f : layout.extraFields) {
        if (f.offset == 0xFFFF) fields.push_back(f);
    }
    if (mpp14) {
        fields.push_back({1283, 50, 4, 0x13});
        fields.push_back({1284, 54, 4, 0x13});
        fields.push_back({1288, 58, 4});
        fields.push_back({501, 60, 4});
    }
    std::vector<std::pair<quint32, QByteArray>> projectEntries = layout.extraProjectProps;
    if (layout.withFieldMap) projectEntries.insert(projectEntries.begin(), {0x00020014, fieldMap(fields)});
    QByteArray projectProps = props(projectEntries);

    const int meta2Size = mpp14 ? 92 : 86;
    QByteArray fixedMeta(16, '\0'), fixedData, fixed2Meta(16, '\0'), fixed2Data;
    put32(fixedMeta, 0, 0xFADFADBA);
    put32(fixed2Meta, 0, 0xFADFADBA);
    QByteArray varMeta(24, '\0'), var2Data;
    put32(varMeta, 0, 0xFADFADBA);

    const auto addItem = [&](qint32 flags, const QByteArray& data, const QByteArray& data2, quint8 modeByte,
                             quint8 metaByte8 = 0, quint8 metaByte10 = 0) {
        QByteArray item(47, '\0');
        put32(item, 0, static_cast<quint32>(flags));
        put32(item, 4, static_cast<quint32>(fixedData.size()));
        item[8] = static_cast<char>(metaByte8);
        item[10] = static_cast<char>(metaByte10);
        fixedMeta += item;
        fixedData += data;
        QByteArray item2(meta2Size, '\0');
        put32(item2, 4, static_cast<quint32>(fixed2Data.size()));
        item2[8] = static_cast<char>(modeByte);
        fixed2Meta += item2;
        fixed2Data += data2;
    };
    for (int k = 0; k < 3; ++k) addItem(0, QByteArray(4, '\0'), QByteArray(24, '\0'), 0);

    for (const Record& r : layout.records) {
        QByteArray data2(64, '\0');
        putF64(data2, 16, r.sortPosition);
        if (r.nullBlock) {
            QByteArray data(nullSize, '\0');
            put32(data, 0, static_cast<quint32>(r.uniqueId));
            put32(data, 4, static_cast<quint32>(r.storedId));
            if (!mpp9) putF64(data, 8, r.sortPosition);
            addItem(r.flags, data, data2, 0);
            continue;
        }
        QByteArray data(r.recordSize ? r.recordSize : kFullRecord, '\0');
        const auto set32 = [&data](int at, quint32 v) {
            if (at + 4 <= data.size()) put32(data, at, v);
        };
        set32(0, static_cast<quint32>(r.uniqueId));
        set32(4, static_cast<quint32>(r.storedId));
        set32(60, static_cast<quint32>(r.durationTenths));
        set32(88, r.start ? stamp(*r.start) : 0);
        set32(92, r.finish ? stamp(*r.finish) : 0);
        set32(130, r.start ? stamp(*r.start) : 0);  // Created
        if (mpp14) {
            put32(data2, 50, r.manualStart ? stamp(*r.manualStart) : (r.start ? stamp(*r.start) : 0));
            put32(data2, 54, r.manualFinish ? stamp(*r.manualFinish) : (r.finish ? stamp(*r.finish) : 0));
            put32(data2, 58, static_cast<quint32>(r.manual ? r.manualDurationTenths : r.durationTenths));
        }
        for (const auto& [at, bytes] : r.fixedBytes) {
            if (at + bytes.size() <= data.size()) data.replace(at, bytes.size(), bytes);
        }
        addItem(r.flags, data, data2, r.manual ? (layout.application.contains("14.0") ? 0x08 : 0x80) : 0, r.metaByte8,
                r.metaByte10);
        const auto addVar = [&](int key, qint32 offset) {
            QByteArray entry(mpp9 ? 8 : 12, '\0');
            if (mpp9) {
                put32(entry, 0, static_cast<quint32>(r.uniqueId) & 0xFFFFFF);
                entry[3] = static_cast<char>(key);
                put32(entry, 4, static_cast<quint32>(offset));
            } else {
                put32(entry, 0, static_cast<quint32>(r.uniqueId));
                put32(entry, 4, static_cast<quint32>(offset));
                put16(entry, 8, static_cast<quint16>(key));
            }
            varMeta += entry;
        };
        for (const auto& [key, value] : r.varValues) {
            addVar(key, static_cast<qint32>(var2Data.size()));
            var2Data += le32(static_cast<quint32>(value.size()));
            var2Data += value;
        }
        for (const auto& [key, offset] : r.varOffsets) addVar(key, offset);
        if (r.name || r.nameOffset) {
            int offset = static_cast<int>(var2Data.size());
            if (r.nameOffset) {
                offset = *r.nameOffset;
            } else {
                const QByteArray text = utf16(*r.name);
                var2Data += le32(static_cast<quint32>(text.size()));
                var2Data += text;
            }
            QByteArray entry(mpp9 ? 8 : 12, '\0');
            if (mpp9) {
                put32(entry, 0, static_cast<quint32>(r.uniqueId) & 0xFFFFFF);
                entry[3] = static_cast<char>(nameKey);
                put32(entry, 4, static_cast<quint32>(offset));
            } else {
                put32(entry, 0, static_cast<quint32>(r.uniqueId));
                put32(entry, 4, static_cast<quint32>(offset));
                put16(entry, 8, static_cast<quint16>(nameKey));
            }
            varMeta += entry;
        }
    }
    put32(fixedMeta, 8, static_cast<quint32>((fixedMeta.size() - 16) / 47));
    put32(fixed2Meta, 8, static_cast<quint32>((fixed2Meta.size() - 16) / meta2Size));

    const auto masked = [&layout](QByteArray b) {
        for (char& c : b) c = static_cast<char>(static_cast<quint8>(c) ^ layout.xorMask);
        return b;
    };
    std::vector<Part> parts;
    parts.push_back({{QStringLiteral("\001CompObj")}, compObj(layout.application, "MSProject.MPP" + number)});
    parts.push_back({{QStringLiteral("Props") + QString::fromLatin1(number)}, props(layout.rootProps)});
    parts.push_back({{storage, QStringLiteral("Props")}, masked(projectProps)});
    const QString tasks = QStringLiteral("TBkndTask");
    const auto add = [&](const QString& name, const QByteArray& data) {
        if (!layout.omit.contains(name)) parts.push_back({{storage, tasks, name}, data});
    };
    add(QStringLiteral("FixedMeta"), fixedMeta);
    add(QStringLiteral("FixedData"), mpp9 ? masked(fixedData) : fixedData);
    add(QStringLiteral("Fixed2Meta"), fixed2Meta);
    add(QStringLiteral("Fixed2Data"), mpp9 ? QByteArray() : fixed2Data);
    add(QStringLiteral("VarMeta"), varMeta);
    add(QStringLiteral("Var2Data"), var2Data);
    for (const Part& part : layout.extraParts) {
        QStringList path = part.path;
        path.prepend(storage);
        parts.push_back({path, part.data});
    }
    return compoundFile(parts);
}

inline QDateTime at(int y, int m, int d, int h = 8, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC); }

// A task record with a name, working eight hours on `day` of March 2024.
inline Record task(qint32 uniqueId, qint32 storedId, const QString& name, double sortPosition, int day = 4) {
    Record r;
    r.uniqueId = uniqueId;
    r.storedId = storedId;
    r.name = name;
    r.start = at(2024, 3, day, 8);
    r.finish = at(2024, 3, day, 17);
    r.sortPosition = sortPosition;
    return r;
}

// The project summary task (unique ID 0, stored ID 0), unnamed as Project 2000 leaves it.
inline Record summary() {
    Record r = task(0, 0, QString(), 0);
    r.name.reset();
    return r;
}

}  // namespace quorrix::importer::plans::mpp_test
