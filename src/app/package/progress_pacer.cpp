#include "app/package/progress_pacer.h"

#include <algorithm>

namespace app {
namespace {

constexpr std::int64_t kMegabyte = 1024 * 1024;

// Whole and tenth megabytes without floating point, for any non-negative size.
std::u16string Megabytes(std::int64_t bytes) {
    bytes = std::max<std::int64_t>(bytes, 0);
    const std::int64_t tenths = bytes % kMegabyte * 10 / kMegabyte;
    std::u16string text;
    for (std::int64_t whole = bytes / kMegabyte;; whole /= 10) {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + whole % 10));
        if (whole < 10) break;
    }
    text += u'.';
    text += static_cast<char16_t>(u'0' + tenths);
    return text + u" MB";
}

}  // namespace

ProgressPacer::Step ProgressPacer::Next(std::uint64_t nowMs) {
    if (nowMs < last) return Step::Wait;
    if (!shown) {
        if (nowMs - start < kShowProgressAfterMs) return Step::Wait;
        shown = true;
        last = nowMs;
        return Step::Show;
    }
    if (nowMs - last < kProgressUpdateEveryMs) return Step::Wait;
    last = nowMs;
    return Step::Update;
}

std::u16string ProgressSizeText(std::int64_t received, std::int64_t total) {
    if (total < 0) return Megabytes(received);
    return Megabytes(received) + u" / " + Megabytes(total);
}

int ProgressBarPosition(std::int64_t received, std::int64_t total) {
    if (total <= 0 || received <= 0) return 0;
    if (received >= total) return kProgressBarRange;
    // Divided first where the product could overflow.
    const std::int64_t scaled = total > INT64_MAX / kProgressBarRange
                                    ? received / (total / kProgressBarRange)
                                    : received * kProgressBarRange / total;
    return static_cast<int>(std::min<std::int64_t>(scaled, kProgressBarRange));
}

}  // namespace app
