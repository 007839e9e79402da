#pragma once

#include <QString>
#include <bitset>
#include <optional>

namespace quorrix::importer::plans {

// The kinds of custom task field a plan can hold, in the order their keys are listed.
enum class CustomKind : unsigned char { Text, Number, Flag, Date, Start, Finish, Duration, Cost, OutlineCode };

inline constexpr int kCustomKindCount = 9;
// Text1–30, Number1–20, Flag1–20, and ten of each other kind.
inline constexpr int kCustomFieldCount = 30 + 20 + 20 + 6 * 10;

// A custom field as a slot 0 … kCustomFieldCount − 1: the kinds in order, each kind's fields by
// number. Readers keep their values by slot; the project application names them by field ID.
using CustomSlots = std::bitset<kCustomFieldCount>;

int customFieldsOf(CustomKind kind);                     // 30 for Text, ...
int customSlot(CustomKind kind, int number);             // number 1-based
CustomKind customKindOf(int slot);
int customNumberOf(int slot);                            // 1-based
QString customKindName(CustomKind kind);                 // "Text", "Outline Code"
QString customFieldName(int slot);                       // "Text1", "Outline Code3"
QString customFieldKey(int slot);                        // "text1", "outline-code3"
// The field's index in the plan files (field ID − 0x0B400000), and the field ID itself.
int customFieldIndex(int slot);
long customFieldId(int slot);
std::optional<int> customSlotOfId(long fieldId);
std::optional<int> customSlotOfIndex(int index);

}  // namespace quorrix::importer::plans
