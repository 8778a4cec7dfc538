#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace markup {

// Counts, over the open elements, every end-tag name that would close one of them, so that an
// end tag that closes nothing is known at once instead of by a walk down all open elements.
// An end-tag name closes a start-tag name that equals it or that goes on after it with one of
// "=[]" (whitespace and "/" never stand inside a start-tag name).
//
// Names are keyed by a polynomial hash modulo 2^61 - 1, so all prefixes of a start-tag name
// are counted in one pass over it: keying by the text would hash every prefix anew and make a
// long name full of "=" quadratic. The base is drawn per index, so a text cannot be made to
// collide on purpose; a collision would only make MayClose say yes, and the walk that follows
// decides.
class OpenNames {
  public:
    OpenNames()
        : base(kMinBase +
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) %
                   (kModulus - 2 * kMinBase)) {}

    void Add(std::u16string_view name) { Count(name, 1); }
    void Remove(std::u16string_view name) { Count(name, -1); }
    bool MayClose(std::u16string_view endName) const {
        uint64_t hash = 0;
        for (const char16_t c : endName) hash = Step(hash, c);
        const auto found = counts.find(Key(hash, endName.size()));
        return found != counts.end() && found->second > 0;
    }

  private:
    static constexpr uint64_t kModulus = (uint64_t{1} << 61) - 1;
    static constexpr uint64_t kMinBase = uint64_t{1} << 20;  // above every UTF-16 unit

    uint64_t Step(uint64_t hash, char16_t c) const {
        const unsigned __int128 product = static_cast<unsigned __int128>(hash) * base + c + 1;
        uint64_t folded =
            static_cast<uint64_t>(product & kModulus) + static_cast<uint64_t>(product >> 61);
        if (folded >= kModulus) folded -= kModulus;
        return folded;
    }
    static uint64_t Key(uint64_t hash, size_t length) {
        return hash ^ (static_cast<uint64_t>(length) << 61);
    }

    void Count(std::u16string_view name, int32_t delta) {
        uint64_t hash = 0;
        for (size_t k = 0; k < name.size(); ++k) {
            const char16_t c = name[k];
            if (k > 0 && (c == u'=' || c == u'[' || c == u']')) counts[Key(hash, k)] += delta;
            hash = Step(hash, c);
        }
        counts[Key(hash, name.size())] += delta;
    }

    uint64_t base;
    std::unordered_map<uint64_t, int32_t> counts;
};

}  // namespace markup
