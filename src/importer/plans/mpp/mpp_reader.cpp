#include "importer/plans/mpp/mpp_reader.h"

#include <algorithm>
#include <string_view>

#include "importer/plans/common/code_pages.h"
#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/mpp/mpp_blocks.h"
#include "importer/plans/mpp/mpp_container.h"
#include "importer/plans/mpp/mpp_fields.h"
#include "importer/plans/mpp/mpp_schedule.h"
#include "importer/plans/mpp/mpp_tasks.h"
#include "platform/failure.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {
namespace {

using namespace mpp;

[[noreturn]] void fail(const QString& description) { throw Failure(failure_number::kBadFileFormat, description); }

[[noreturn]] void damaged(const QString& what) { fail(QStringLiteral("The file is damaged: %1.").arg(what)); }

[[noreturn]] void notAPlan(const QString& application) {
    if (application.isEmpty()) fail(QStringLiteral("The file is a compound document but not a plan."));
    fail(QStringLiteral("The file is a compound document but not a plan (%1).").arg(application));
}

// Property keys of the root PropsN stream and of the project Props stream.
constexpr qint32 kPasswordFlag = 0x35400000;
constexpr qint32 kPasswordData = 0x35400004;
constexpr qint32 kObfuscationCode = 0x35400007;
constexpr qint32 kTaskFieldMap = 0x00020014;
constexpr qint32 kTaskFieldMapFallback = 0x03000014;
constexpr qint32 kResourceFieldMap = 0x00020015;
constexpr qint32 kResourceFieldMapFallback = 0x03000015;
constexpr qint32 kAssignmentFieldMap = 0x00020017;
constexpr qint32 kAssignmentFieldMapFallback = 0x03000017;
constexpr qint32 kMpp9Aliases = 0x00100001;
constexpr qint32 kTaskAliases = 0x04400001;

const QString kCompObj = QStringLiteral("\001CompObj");

struct Identity {
    Format format = Format::Mpp9;
    int applicationVersion = 0;
};

// A length-prefixed ANSI string of \1CompObj; nothing when it does not fit.
std::optional<QString> compObjString(Bytes stream, qint64& at) {
    if (!stream.holds(at, 4)) return std::nullopt;
    const qint64 length = stream.u32(at);
    at += 4;
    if (!stream.holds(at, length)) return std::nullopt;
    QByteArray text(stream.data() + at, length);
    at += length;
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0) text.truncate(nul);
    return QString::fromLatin1(text);
}

// Text from the file made safe for a one-line description: printable, short.
QString printable(const QString& text) {
    QString result;
    for (const QChar c : text) result += c.isPrint() ? c : QChar(' ');
    result = result.simplified();
    if (result.size() > 60) result = result.left(60) + QStringLiteral("...");
    return result;
}

// The version number of an application name such as "Microsoft Project 12.0" (any character
// but a line break between the words, then the digits and ".0"); nothing for other names.
std::optional<int> projectVersion(QStringView application) {
    qsizetype at = 0;
    const auto word = [&](QStringView expected) {
        if (!application.mid(at).startsWith(expected)) return false;
        at += expected.size();
        return true;
    };
    const auto anyCharacter = [&] {
        if (at >= application.size() || application[at] == u'\n') return false;
        ++at;
        return true;
    };
    if (!word(u"Microsoft") || !anyCharacter() || !word(u"Project") || !anyCharacter()) return std::nullopt;
    const qsizetype digits = at;
    while (at < application.size() && application[at] >= u'0' && application[at] <= u'9') ++at;
    const QStringView number = application.mid(digits, at - digits);
    if (number.isEmpty() || !word(u".0")) return std::nullopt;
    return number.toInt();
}

Identity identify(const CompoundFile& file) {
    const auto compObj = file.stream({kCompObj});
    if (!compObj) notAPlan({});
    const Bytes bytes(*compObj);
    qint64 at = 28;
    const auto application = compObjString(bytes, at);
    if (!application) notAPlan({});
    const auto format = compObjString(bytes, at);

    const std::optional<int> version = projectVersion(*application);
    Identity identity;
    identity.applicationVersion = version.value_or(0);

    const QString name = format ? *format : QString();
    if (name == QLatin1String("MSProject.MPP8") || name == QLatin1String("MSProject.MPT8")) {
        identity.format = Format::Mpp8;
    } else if (name == QLatin1String("MSProject.MPP9") || name == QLatin1String("MSProject.MPT9") ||
               name == QLatin1String("MSProject.GLOBAL9")) {
        identity.format = Format::Mpp9;
    } else if (name == QLatin1String("MSProject.MPP12") || name == QLatin1String("MSProject.MPT12") ||
               name == QLatin1String("MSProject.GLOBAL12")) {
        identity.format = Format::Mpp12;
    } else if (name == QLatin1String("MSProject.MPP14") || name == QLatin1String("MSProject.MPT14") ||
               name == QLatin1String("MSProject.GLOBAL14")) {
        identity.format = Format::Mpp14;
    } else if (version && identity.applicationVersion <= 4) {
        fail(QStringLiteral("This plan was saved in a format that cannot be read (Project %1).")
                 .arg(identity.applicationVersion));
    } else if (name.startsWith(QLatin1String("MSProject.")) || version) {
        const QString shown = printable(name.isEmpty() ? *application : name);
        fail(QStringLiteral("This plan was saved in a format that cannot be read (%1).").arg(shown));
    } else {
        notAPlan(printable(*application));
    }
    return identity;
}

QByteArray required(const CompoundFile& file, const QStringList& path) {
    auto data = file.stream(path);
    if (!data) damaged(QStringLiteral("the part \"%1\" is missing").arg(path.last().trimmed()));
    return *data;
}

void unmask(QByteArray& data, quint8 mask) {
    if (mask == 0) return;
    for (char& c : data) c = static_cast<char>(static_cast<quint8>(c) ^ mask);
}

// The title of the file's summary information (File > Properties), empty when none is stored.
// The stream is a property set: a header naming the first section's offset at byte 44, the
// section's (ID, offset) pairs after its size and count, and each value behind its type.
QString summaryTitle(const CompoundFile& file) {
    const std::optional<QByteArray> stream = file.stream({QStringLiteral("\x05SummaryInformation")});
    if (!stream) return {};
    const Bytes set(*stream);
    const qint64 section = set.u32(44);
    if (set.u16(0) != 0xFFFE || !set.holds(section, 8)) return {};
    const qint64 count = std::min<qint64>(set.u32(section + 4), (set.size() - section) / 8);
    constexpr quint32 kCodePage = 1, kTitle = 2;
    constexpr quint16 kShort = 0x0002, kNarrowText = 0x001E, kWideText = 0x001F;
    int codePage = 1252;
    std::optional<qint64> title;
    for (qint64 k = 0; k < count; ++k) {
        const quint32 id = set.u32(section + 8 + k * 8);
        const qint64 at = section + set.u32(section + 12 + k * 8);
        if (id == kCodePage && set.u16(at) == kShort) codePage = set.u16(at + 4);
        if (id == kTitle) title = at;
    }
    if (!title) return {};
    const quint16 type = set.u16(*title);
    const qint64 length = set.u32(*title + 4);
    if (type == kWideText) {
        if (!set.holds(*title + 8, length * 2)) return {};
        return utf16Text(set.slice(*title + 8, length * 2));
    }
    if (type != kNarrowText || !set.holds(*title + 8, length)) return {};
    std::string_view text(set.slice(*title + 8, length).data(), static_cast<std::size_t>(length));
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    if (codePage == 65001) return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return decode(codePage == 1251 ? CodePage::Windows1251 : CodePage::Windows1252, text);
}

Plan readMpp8(const CompoundFile& file, const ReadOptions& options) {
    const QString storage = QStringLiteral("   1");
    const QString tasks = QStringLiteral("TBkndTask");
    const QByteArray fixFix = required(file, {storage, tasks, QStringLiteral("FixFix   0")});
    const QByteArray defer = required(file, {storage, tasks, QStringLiteral("FixDeferFix   0")});
    if (!options.details) return decodeMpp8Tasks(Bytes(fixFix), Bytes(defer));
    // The resource and assignment tables: absent ones give no resource names.
    const auto optional = [&](const char* table, const char* name) {
        return file.stream({storage, QString::fromLatin1(table), QString::fromLatin1(name)}).value_or(QByteArray());
    };
    const QByteArray resources = optional("TBkndRsc", "FixFix   0");
    const QByteArray resourceTexts = optional("TBkndRsc", "FixDeferFix   0");
    const QByteArray assignments = optional("TBkndAssn", "FixFix   0");
    Mpp8Tables tables;
    tables.resources = Bytes(resources);
    tables.resourceTexts = Bytes(resourceTexts);
    tables.assignments = Bytes(assignments);
    tables.projectTitle = summaryTitle(file);
    tables.custom = options.custom;
    QByteArray links;
    if (options.schedule) {
        tables.schedule = true;
        if (const auto props = file.stream({storage, QStringLiteral("Props")}))
            tables.settings = scheduleSettings(Props::parseMpp8(Bytes(*props)));
        links = optional("TBkndCons", "FixFix   0");
        tables.links = Bytes(links);
    }
    return decodeMpp8Tasks(Bytes(fixFix), Bytes(defer), &tables);
}

// The streams of a table; absent streams, and those not asked for, stay empty.
struct TableData {
    enum Parts { kFixed, kAll };  // FixedMeta and FixedData; and VarMeta and Var2Data
    QByteArray fixedMeta, fixedData, varMeta, var2Data;

    TableData(const CompoundFile& file, const QString& storage, const QString& table, Parts parts = kAll) {
        const auto part = [&](const QString& name) {
            return file.stream({storage, table, name}).value_or(QByteArray());
        };
        fixedMeta = part(QStringLiteral("FixedMeta"));
        fixedData = part(QStringLiteral("FixedData"));
        if (parts == kAll) {
            varMeta = part(QStringLiteral("VarMeta"));
            var2Data = part(QStringLiteral("Var2Data"));
        }
    }
    TableStreams streams() const { return {Bytes(fixedMeta), Bytes(fixedData), Bytes(varMeta), Bytes(var2Data)}; }
};

Plan readMpp9To14(const CompoundFile& file, const Identity& identity, const ReadOptions& options) {
    const QString number = identity.format == Format::Mpp9 ? QStringLiteral("9")
                           : identity.format == Format::Mpp12 ? QStringLiteral("12")
                                                              : QStringLiteral("14");
    const QString storage = QStringLiteral("   1") + number;

    // Read protection and obfuscation, from the root properties (never obfuscated themselves).
    quint8 flag = 0;
    quint8 mask = 0;
    std::optional<Bytes> passwordData;
    const auto rootProps = file.stream({QStringLiteral("Props") + number});
    Props root;
    if (rootProps) {
        root = Props::parse(Bytes(*rootProps));
        if (const auto value = root.value(kPasswordFlag)) flag = value->u8(0);
        if (const auto value = root.value(kObfuscationCode)) {
            const quint8 code = value->u8(0);
            mask = code == 0 ? 0 : static_cast<quint8>(0xFF - code);
        }
        passwordData = root.value(kPasswordData);
    }
    if (flag == 0) mask = 0;
    if (flag & 0x01) {
        bool protectedPlan = true;
        if (identity.format == Format::Mpp9) {
            protectedPlan = passwordData && passwordData->size() >= 64 && (passwordData->u8(60) ^ mask) != 0;
        } else if (identity.format == Format::Mpp14) {
            protectedPlan = passwordData.has_value();
        }
        if (protectedPlan) {
            throw Failure(failure_number::kPermissionDenied,
                          QStringLiteral("The plan is password-protected and cannot be read."));
        }
    }

    // The task field map of the project properties.
    FieldMap fields = FieldMap::defaults(identity.format);
    DetailTables tables;
    if (options.details) tables.projectTitle = summaryTitle(file);
    tables.schedule = options.details && options.schedule;
    tables.custom = options.details ? options.custom : CustomSlots();
    std::vector<std::pair<int, QString>> aliases;
    // Kept while the tasks are read: the resource and assignment field maps are parsed from it
    // only when the plan assigns resources.
    std::optional<QByteArray> projectProps = file.stream({storage, QStringLiteral("Props")});
    std::optional<Bytes> resourceMap, assignmentMap;  // in projectProps
    if (projectProps) {
        unmask(*projectProps, mask);
        const Props props = Props::parse(Bytes(*projectProps));
        const auto fieldMap = [&props](qint32 key, qint32 fallback) {
            auto map = props.value(key);
            return map ? map : props.value(fallback);
        };
        if (const auto map = fieldMap(kTaskFieldMap, kTaskFieldMapFallback)) fields = FieldMap::parse(*map, identity.format);
        if (options.details) {
            resourceMap = fieldMap(kResourceFieldMap, kResourceFieldMapFallback);
            assignmentMap = fieldMap(kAssignmentFieldMap, kAssignmentFieldMapFallback);
            tables.settings = scheduleSettings(props);
            if (tables.custom.any() && identity.format == Format::Mpp9) {
                if (const auto names = props.value(kMpp9Aliases)) aliases = mpp9Aliases(*names);
            }
        }
    }

    const QString tasks = QStringLiteral("TBkndTask");
    const bool mpp9 = identity.format == Format::Mpp9;
    const QByteArray fixedMeta = required(file, {storage, tasks, QStringLiteral("FixedMeta")});
    QByteArray fixedData = required(file, {storage, tasks, QStringLiteral("FixedData")});
    if (mpp9) unmask(fixedData, mask);
    QByteArray fixed2Meta;
    QByteArray fixed2Data;
    if (!mpp9) {
        fixed2Meta = required(file, {storage, tasks, QStringLiteral("Fixed2Meta")});
        fixed2Data = required(file, {storage, tasks, QStringLiteral("Fixed2Data")});
    }
    const QByteArray varMeta = required(file, {storage, tasks, QStringLiteral("VarMeta")});
    const QByteArray var2Data = required(file, {storage, tasks, QStringLiteral("Var2Data")});

    TaskStreams streams;
    streams.format = identity.format;
    streams.applicationVersion = identity.applicationVersion;
    streams.fixedMeta = Bytes(fixedMeta);
    streams.fixedData = Bytes(fixedData);
    streams.fixed2Meta = Bytes(fixed2Meta);
    streams.fixed2Data = Bytes(fixed2Data);
    streams.varMeta = Bytes(varMeta);
    streams.var2Data = Bytes(var2Data);
    if (!options.details) return decodeTasks(streams, fields);

    const QString assignmentTable = QStringLiteral("TBkndAssn");
    const TableData assignments(file, storage, assignmentTable, TableData::kFixed);
    tables.assignments = assignments.streams();
    std::optional<QByteArray> assignmentIndex;
    const auto readAssignmentIndex = [&]() {
        if (!assignmentIndex)
            assignmentIndex = file.stream({storage, assignmentTable, QStringLiteral("VarMeta")}).value_or(QByteArray());
        return Bytes(*assignmentIndex);
    };
    tables.assignmentIndex = std::ref(readAssignmentIndex);
    // The tables' functions refer to these (no copy of a capture for each plan).
    const auto parseResourceMap = [&] { return FieldMap::parse(*resourceMap, identity.format, resourceFields()); };
    const auto parseAssignmentMap = [&] {
        return FieldMap::parse(*assignmentMap, identity.format, assignmentFields());
    };
    if (resourceMap) tables.resourceMap = std::ref(parseResourceMap);
    if (assignmentMap) tables.assignmentMap = std::ref(parseAssignmentMap);
    std::optional<TableData> resources;
    const auto readResources = [&]() {
        if (!resources) resources.emplace(file, storage, QStringLiteral("TBkndRsc"));
        return resources->streams();
    };
    tables.resources = std::ref(readResources);
    std::optional<TableData> links, outlineCodes;
    const auto readOutlineCodes = [&]() {
        if (!outlineCodes) outlineCodes.emplace(file, storage, QStringLiteral("TBkndOutlCode"));
        return outlineCodes->streams();
    };
    if (tables.schedule) {
        links.emplace(file, storage, QStringLiteral("TBkndCons"), TableData::kFixed);
        tables.links = links->streams();
    }
    if (tables.custom.any()) {
        tables.outlineCodes = std::ref(readOutlineCodes);
        if (identity.format != Format::Mpp9) {
            if (auto taskProps = file.stream({storage, tasks, QStringLiteral("Props")})) {
                unmask(*taskProps, mask);
                if (const auto names = Props::find(Bytes(*taskProps), kTaskAliases))
                    aliases = mpp12Aliases(*names);
            }
        }
    }
    Plan plan = decodeTasks(streams, fields, &tables);
    plan.customHeld.set();
    plan.customAliases = std::move(aliases);
    return plan;
}

}  // namespace

bool isCompoundFile(const QByteArray& head) { return isCompoundSignature(head); }

namespace {

Plan readDocument(QByteArray bytes, const ReadOptions& options) {
    // A plan's data is in the root storage "   1" or "   1" and the format's number; the others
    // hold views, tables and macros.
    const CompoundFile file(std::move(bytes),
                            [](const QString& storage) { return storage.startsWith(QLatin1String("   1")); });
    const Identity identity = identify(file);
    if (identity.format == Format::Mpp8) return readMpp8(file, options);
    return readMpp9To14(file, identity, options);
}

}  // namespace

Plan readMpp(QByteArray bytes, const ReadOptions& options) {
    Plan plan = readDocument(std::move(bytes), options);
    finishPlan(plan, options);
    return plan;
}

}  // namespace quorrix::importer::plans
