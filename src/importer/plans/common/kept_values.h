#pragma once

#include <cstdint>
#include <vector>

namespace quorrix::importer::plans {

// The values a plan repeats (dates, duration texts), kept by key in a small table with one place
// per hash: a repeated key gets a copy of the value made for it, a key that meets another in its
// place makes its value again. `Bits`: the table holds 2^Bits values.
template <typename Key, typename Value, int Bits>
class KeptValues {
public:
    // The value of `key` (whose hash spreads over all 64 bits), made by `make()` when not kept;
    // valid until the next call.
    template <typename Make>
    const Value& get(const Key& key, std::uint64_t hash, Make&& make) {
        Kept& kept = kept_[hash >> (64 - Bits)];
        if (!kept.filled || !(kept.key == key)) {
            kept.value = make();
            kept.key = key;
            kept.filled = true;
        }
        return kept.value;
    }

private:
    struct Kept {
        Key key{};
        bool filled = false;
        Value value{};
    };
    std::vector<Kept> kept_ = std::vector<Kept>(std::size_t(1) << Bits);
};

}  // namespace quorrix::importer::plans
