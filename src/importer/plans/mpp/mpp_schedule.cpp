#include "importer/plans/mpp/mpp_schedule.h"

#include "importer/plans/common/custom_fields.h"

namespace quorrix::importer::plans::mpp {
namespace {

constexpr qint32 kMinutesPerDay = 0x0240001D;
constexpr qint32 kMinutesPerWeek = 0x0240001E;
constexpr qint32 kDaysPerMonth = 0x0240138F;
constexpr qint32 kDefaultDurationFormat = 0x02400015;
constexpr qint32 kCriticalSlackLimit = 0x02400014;

constexpr int kLinkMetaItemSize = 10;
constexpr int kOutlineCodeMetaItemSize = 10;
constexpr qint64 kListReferenceSize = 26;  // mask, entry's unique ID, GUID, 4 bytes
constexpr qint64 kMpp8LinkRecord = 36;
constexpr qint64 kMpp8Record = 316;  // as Project 98 writes it

// The custom field whose alias is the k-th text of the Project 2000 list, or -1.
int mpp9AliasSlot(int k) {
    const auto in = [k](int first, int count) { return k >= first && k < first + count; };
    if (in(118, 10)) return customSlot(CustomKind::Text, k - 117);
    if (in(128, 20)) return customSlot((k - 128) % 2 ? CustomKind::Finish : CustomKind::Start, (k - 128) / 2 + 1);
    if (in(149, 10)) return customSlot(CustomKind::Number, k - 148);
    if (in(159, 20) && (k - 159) % 2 == 0) return customSlot(CustomKind::Duration, (k - 159) / 2 + 1);
    if (in(184, 10)) return customSlot(CustomKind::Date, k - 183);
    if (in(194, 20)) return customSlot(CustomKind::Text, k - 183);
    if (in(214, 10)) return customSlot(CustomKind::Number, k - 203);
    if (in(227, 10)) return customSlot(CustomKind::OutlineCode, k - 226);
    if (in(237, 20)) return customSlot(CustomKind::Flag, k - 236);
    if (in(278, 10)) return customSlot(CustomKind::Cost, k - 277);
    return -1;
}

// The link record's type: 0 FF, 1 FS, 2 SF, 3 SS; anything else counts as FS.
int linkType(quint16 stored) { return stored <= 3 ? stored : 1; }

}  // namespace

ScheduleSettings scheduleSettings(const Props& props) {
    ScheduleSettings s;
    if (const auto v = props.value(kMinutesPerDay); v && v->i32(0) > 0) s.units.minutesPerDay = v->i32(0);
    if (const auto v = props.value(kMinutesPerWeek); v && v->i32(0) > 0) s.units.minutesPerWeek = v->i32(0);
    if (const auto v = props.value(kDaysPerMonth); v && v->u16(0) > 0) s.units.daysPerMonth = v->u16(0);
    if (const auto v = props.value(kDefaultDurationFormat)) s.units.defaultFormat = v->u16(0);
    if (const auto v = props.value(kCriticalSlackLimit))
        s.criticalSlackTenths = double(v->i32(0)) * s.units.minutesPerDay * 10;
    return s;
}

std::vector<std::pair<int, QString>> mpp9Aliases(Bytes value) {
    std::vector<std::pair<int, QString>> out;
    qint64 at = 0;
    for (int k = 0; at + 1 < value.size(); ++k) {
        qint64 end = at;
        while (end + 1 < value.size() && (value.data()[end] | value.data()[end + 1]) != 0) end += 2;  // to a NUL
        const int slot = mpp9AliasSlot(k);
        if (slot >= 0 && end > at) out.emplace_back(slot, utf16Text(value.slice(at, end - at)));
        at = end + 2;
    }
    return out;
}

std::vector<std::pair<int, QString>> mpp12Aliases(Bytes value) {
    std::vector<std::pair<int, QString>> out;
    const qint64 size = std::min<qint64>(value.i32(0), value.size());
    const qint64 count = value.i32(8);
    for (qint64 k = 0, at = 12; k < count && at < size; ++k, at += 8) {
        const auto slot = customSlotOfId(static_cast<long>(value.u32(at)));
        const qint64 offset = value.i32(at + 4);
        if (!slot || offset < 0 || offset + 4 >= value.size()) continue;
        const QString alias = utf16Text(value.slice(offset + 4, value.size() - offset - 4));
        if (!alias.isEmpty()) out.emplace_back(*slot, alias);
    }
    return out;
}

std::vector<PlanLink> mppLinks(bool lagFirst, Bytes fixedMeta, Bytes fixedData) {
    std::vector<PlanLink> out;
    const auto meta = FixedMeta::parse(fixedMeta, kLinkMetaItemSize);
    if (!meta) return out;
    for (qint64 i = 0; i < meta->count(); ++i) {
        const Bytes item = meta->item(i);
        if (item.u16(0) != 0) continue;  // deleted
        const qint64 offset = item.i32(4);
        if (offset < 0 || offset > fixedData.size() - 14) continue;
        const Bytes record = fixedData.slice(offset, 20);  // reads past the end give zeros
        PlanLink link;
        link.predecessor = record.i32(4);
        link.successor = record.i32(8);
        link.type = linkType(record.u16(12));
        link.lagTenths = lagFirst ? record.i32(14) : record.i32(16);
        link.lagFormat = lagFirst ? record.u16(18) : record.u16(14);
        if (link.predecessor != 0 && link.successor != 0) out.push_back(link);
    }
    return out;
}

std::vector<PlanLink> mpp8Links(Bytes fixFix) {
    std::vector<PlanLink> out;
    for (qint64 at = 0; at + kMpp8LinkRecord <= fixFix.size(); at += kMpp8LinkRecord) {
        const Bytes record = fixFix.slice(at, kMpp8LinkRecord);
        if (record.i32(28) != 0) continue;  // deleted
        PlanLink link;
        link.predecessor = record.i32(12);
        link.successor = record.i32(16);
        link.type = linkType(record.u16(20));
        link.lagFormat = record.u16(22);
        link.lagTenths = record.i32(24);
        if (link.predecessor != 0 && link.successor != 0) out.push_back(link);
    }
    return out;
}

OutlineCodes::OutlineCodes(Format format, int applicationVersion, Bytes fixedMeta, Bytes fixedData, Bytes varMeta,
                           Bytes var2Data)
    : mpp9_(format == Format::Mpp9), var2Data_(var2Data), budget_(var2Data.size()) {
    var_ = VarMeta::parse(varMeta, mpp9_ ? VarMeta::Layout::Mpp9 : VarMeta::Layout::Mpp12);
    const auto meta = FixedMeta::parse(fixedMeta, kOutlineCodeMetaItemSize);
    if (mpp9_ || !meta) return;
    const int parentAt = format == Format::Mpp14 && applicationVersion >= 15 ? 10 : 8;
    for (qint64 i = 0; i < meta->count(); ++i) {
        const Bytes item = fixedDataItem(*meta, fixedData, i, 0, 0);
        if (item.size() < parentAt + 2) continue;
        parentOf_.emplace(item.u16(4), item.u16(parentAt));
    }
}

QString OutlineCodes::entryText(qint32 id, int key) {
    if (!var_) return {};
    const auto offset = var_->offset(id, key);
    if (!offset) return {};
    if (const auto it = texts_.find(*offset); it != texts_.end()) return it->second;
    QString text;
    if (const auto bytes = varValue(var2Data_, *offset)) {
        budget_ -= bytes->size();
        if (budget_ >= 0) text = utf16Text(*bytes);
    }
    texts_.emplace(*offset, text);
    return text;
}

QString OutlineCodes::pathOf(qint32 itemId) {
    QString path = entryText(itemId, kEntryValueKey);
    // Up to the top; a list deeper than any plan's, or a loop, ends the path.
    qint32 at = itemId;
    for (int depth = 0; depth < 100; ++depth) {
        const auto parent = parentOf_.find(at);
        if (parent == parentOf_.end() || parent->second == 0 || parent->second == at) break;
        at = parent->second;
        path = entryText(at, kEntryValueKey) + QLatin1Char('.') + path;
    }
    return path;
}

QString OutlineCodes::text(Bytes reference) {
    if (mpp9_) return entryText(reference.i32(0), 1);
    const quint16 mask = reference.u16(0);
    const qint32 id = reference.i32(2);
    if ((mask & 0xFF00) != 0x0700) return entryText(id, kEntryValueKey);
    return pathOf(id);
}

bool OutlineCodes::isListReference(Bytes value) {
    return value.size() == kListReferenceSize && (value.u16(0) & 0xFF00) == 0x0700;
}

std::optional<Bytes> OutlineCodes::listEntry(Bytes reference) {
    if (!var_) return std::nullopt;
    const auto offset = var_->offset(reference.i32(2), kEntryValueKey);
    if (!offset) return std::nullopt;
    return varValue(var2Data_, *offset);
}

void finishSchedule(const std::vector<TaskDetails*>& positions, const std::vector<PlanLink>& links,
                    const ScheduleSettings& settings) {
    // A plan without links has no texts to find: its tasks' IDs are not gathered.
    std::unordered_map<long long, long> idOfUnique;
    if (!links.empty()) {
        idOfUnique.reserve(positions.size());
        for (std::size_t k = 0; k < positions.size(); ++k)
            if (positions[k] && positions[k]->uniqueId)
                idOfUnique.emplace(static_cast<long long>(*positions[k]->uniqueId), static_cast<long>(k + 1));
    }
    const auto texts = linkTexts(links, idOfUnique, settings.units);
    for (TaskDetails* d : positions) {
        if (!d || !d->uniqueId) continue;
        ScheduleFields& s = d->schedule;
        if (const auto found = texts.empty() ? texts.end() : texts.find(static_cast<long long>(*d->uniqueId));
            found != texts.end()) {
            s.predecessors = found->second.predecessors;
            s.successors = found->second.successors;
        }
        // Kept as stored where the record holds it; not derived without the slack.
        if (s.critical || !s.totalSlackMinutes) continue;
        CriticalFacts facts;
        facts.complete = d->percentComplete.value_or(0) >= 100 || d->actualFinish.isValid();
        facts.totalSlackTenths = s.totalSlackMinutes.value_or(0) * 10;
        facts.slackLimitTenths = settings.criticalSlackTenths;
        facts.manual = s.manual.value_or(false);
        facts.linked = !s.predecessors.isEmpty() || !s.successors.isEmpty();
        facts.estimated = s.estimated.value_or(false);
        s.critical = isCritical(facts);
    }
}

void readMpp8Schedule(Bytes record, double durationMinutes, const ScheduleSettings& settings, DurationTexts& texts,
                      Timestamps& dates, TaskDetails& d) {
    ScheduleFields& s = d.schedule;
    const auto date = [&](qint64 offset) { return dates.at(record, offset).value_or(QDateTime()); };
    // The longer records Project 2000 and 2003 write keep the free slack alone.
    s.freeSlackMinutes = record.i32(36) / 10.0;
    if (record.size() == kMpp8Record) s.totalSlackMinutes = record.i32(40) / 10.0;
    s.critical = (record.u8(12) & 0x02) != 0;
    s.constraintType = record.u16(88);
    s.constraintDate = date(120);
    s.priority = (record.u16(128) + 1) * 100.0;
    s.earlyStart = date(96);
    s.earlyFinish = date(20);
    s.lateStart = date(24);
    s.lateFinish = date(160);
    s.taskType = record.u16(134);
    s.manual = false;
    s.active = true;
    s.estimated = false;
    const int format = record.u16(72) & 0x1F;  // Project 98 formats hold no estimates
    s.durationShown = texts(durationMinutes, format);
    s.durationDays = plans::durationDays(durationMinutes, format, settings.units);
    if (d.baselineDurationMinutes) {
        s.baselineDurationShown = texts(*d.baselineDurationMinutes, format);
        s.baselineDurationDays = plans::durationDays(*d.baselineDurationMinutes, format, settings.units);
    }
}

}  // namespace quorrix::importer::plans::mpp
