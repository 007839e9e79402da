#include "importer/plans/common/custom_fields.h"

#include <array>

namespace quorrix::importer::plans {
namespace {

constexpr long kTaskFieldBase = 0x0B400000;

struct KindFacts {
    const char* name;
    const char* key;
    int count;
};
constexpr std::array<KindFacts, kCustomKindCount> kKinds{{
    {"Text", "text", 30},
    {"Number", "number", 20},
    {"Flag", "flag", 20},
    {"Date", "date", 10},
    {"Start", "start", 10},
    {"Finish", "finish", 10},
    {"Duration", "duration", 10},
    {"Cost", "cost", 10},
    {"Outline Code", "outline-code", 10},
}};

// Each kind's field indexes by number: the first fields kept their places from the oldest plans,
// the later ones were added further on.
int indexOf(CustomKind kind, int n) {
    switch (kind) {
    case CustomKind::Text:
        if (n <= 5) return 51 + 3 * (n - 1);
        if (n <= 10) return 66 + (n - 6);
        return 317 + (n - 11);
    case CustomKind::Start: return n <= 5 ? 52 + 3 * (n - 1) : 282 + 2 * (n - 6);
    case CustomKind::Finish: return n <= 5 ? 53 + 3 * (n - 1) : 283 + 2 * (n - 6);
    case CustomKind::Number: return n <= 5 ? 87 + (n - 1) : 302 + (n - 6);
    case CustomKind::Date: return 265 + (n - 1);
    case CustomKind::Duration: return n <= 3 ? 103 + (n - 1) : 275 + (n - 4);
    case CustomKind::Cost: return n <= 3 ? 106 + (n - 1) : 258 + (n - 4);
    case CustomKind::Flag: return n <= 10 ? 72 + (n - 1) : 292 + (n - 11);
    case CustomKind::OutlineCode: return 416 + 2 * (n - 1);
    }
    return 0;
}

struct Tables {
    std::array<int, kCustomFieldCount> indexBySlot{};
    std::array<signed char, kCustomFieldCount> kindBySlot{};
    std::array<unsigned char, kCustomFieldCount> numberBySlot{};
    std::array<short, 512> slotByIndex{};
    Tables() {
        slotByIndex.fill(-1);
        int slot = 0;
        for (int k = 0; k < kCustomKindCount; ++k)
            for (int n = 1; n <= kKinds[static_cast<std::size_t>(k)].count; ++n, ++slot) {
                const auto s = static_cast<std::size_t>(slot);
                indexBySlot[s] = indexOf(static_cast<CustomKind>(k), n);
                kindBySlot[s] = static_cast<signed char>(k);
                numberBySlot[s] = static_cast<unsigned char>(n);
                slotByIndex[static_cast<std::size_t>(indexBySlot[s])] = static_cast<short>(slot);
            }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

const KindFacts& facts(CustomKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

}  // namespace

int customFieldsOf(CustomKind kind) { return facts(kind).count; }

int customSlot(CustomKind kind, int number) {
    int slot = 0;
    for (int k = 0; k < static_cast<int>(kind); ++k) slot += kKinds[static_cast<std::size_t>(k)].count;
    return slot + number - 1;
}

CustomKind customKindOf(int slot) {
    return static_cast<CustomKind>(tables().kindBySlot[static_cast<std::size_t>(slot)]);
}

int customNumberOf(int slot) { return tables().numberBySlot[static_cast<std::size_t>(slot)]; }

QString customKindName(CustomKind kind) { return QString::fromLatin1(facts(kind).name); }

QString customFieldName(int slot) { return customKindName(customKindOf(slot)) + QString::number(customNumberOf(slot)); }

QString customFieldKey(int slot) {
    return QString::fromLatin1(facts(customKindOf(slot)).key) + QString::number(customNumberOf(slot));
}

int customFieldIndex(int slot) { return tables().indexBySlot[static_cast<std::size_t>(slot)]; }

long customFieldId(int slot) { return kTaskFieldBase + customFieldIndex(slot); }

std::optional<int> customSlotOfIndex(int index) {
    if (index < 0 || index >= static_cast<int>(tables().slotByIndex.size())) return std::nullopt;
    const int slot = tables().slotByIndex[static_cast<std::size_t>(index)];
    if (slot < 0) return std::nullopt;
    return slot;
}

std::optional<int> customSlotOfId(long fieldId) {
    if (fieldId < kTaskFieldBase || fieldId >= kTaskFieldBase + 512) return std::nullopt;
    return customSlotOfIndex(static_cast<int>(fieldId - kTaskFieldBase));
}

}  // namespace quorrix::importer::plans
