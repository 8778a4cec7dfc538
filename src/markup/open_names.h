#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace markup {

// Counts, over the open elements, every end-tag name that would close one of them, so that an
// end tag that closes nothing is known at once instead of by a walk down all open elements.
// An end-tag name closes a start-tag name that equals it or that goes on after it with one of
// "=[]" (whitespace and "/" never stand inside a start-tag name).
class OpenNames {
  public:
    void Add(std::u16string_view name) { Count(name, 1); }
    void Remove(std::u16string_view name) { Count(name, -1); }
    bool MayClose(std::u16string_view endName) const {
        const auto found = counts.find(endName);
        return found != counts.end() && found->second > 0;
    }

  private:
    void Count(std::u16string_view name, int32_t delta) {
        for (size_t k = 1; k < name.size(); ++k) {
            if (name[k] == u'=' || name[k] == u'[' || name[k] == u']') {
                counts[name.substr(0, k)] += delta;
            }
        }
        counts[name] += delta;
    }

    std::unordered_map<std::u16string_view, int32_t> counts;
};

}  // namespace markup
