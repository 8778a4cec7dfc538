#include "app/manifest/freshness.h"

#include <limits>

#include "base/text.h"

namespace app {
namespace {

constexpr std::uint64_t kMostSerial = std::numeric_limits<std::uint64_t>::max();

// One or more ASCII digits and nothing else, within 64 bits.
std::optional<std::uint64_t> ReadSerial(std::u16string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - u'0');
        if (value > (kMostSerial - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// The digits of text[at, at + count) as a number; none when any is not a digit.
std::optional<int> Digits(std::u16string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
        value = value * 10 + (text[i] - u'0');
    }
    return value;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar.
std::int64_t DaysSince1970(int year, int month, int day) {
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;  // years here are never negative
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return std::int64_t{era} * 146097 + dayOfEra - 719468;
}

// Exactly YYYY-MM-DDTHH:MM:SSZ, a real date and time of day, as seconds since 1970 UTC.
std::optional<std::int64_t> ReadUtcTime(std::u16string_view text) {
    constexpr std::u16string_view kForm = u"0000-00-00T00:00:00Z";
    if (text.size() != kForm.size()) return std::nullopt;
    for (std::size_t i = 0; i < kForm.size(); ++i) {
        if (kForm[i] != u'0' && text[i] != kForm[i]) return std::nullopt;
    }
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
    const auto second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) {
        return std::nullopt;
    }
    if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    return DaysSince1970(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

Freshness Refuse(Roles& roles, const std::u16string& reason) {
    roles.log.Write(u"manifest refused: " + reason);
    return {};
}

std::u16string SerialText(std::uint64_t serial) {
    // Serials are read as at most 20 digits; the text is rebuilt digit by digit.
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + serial % 10));
        serial /= 10;
    } while (serial != 0);
    return text;
}

bool ExpiryHolds(const std::u16string& expires, Roles& roles) {
    if (expires.empty()) {
        roles.log.Write(u"the manifest gives no expires: it does not expire");
        return true;
    }
    const std::optional<std::int64_t> end = ReadUtcTime(expires);
    if (!end) {
        Refuse(roles, u"expires \"" + expires + u"\" is not a UTC time like 2027-01-31T00:00:00Z");
        return false;
    }
    const std::int64_t now = roles.clock.CalendarSeconds();
    if (now >= *end) {
        Refuse(roles, u"it expired at " + expires + u" (the clock says " + base::DecimalText(now) +
                          u" s since 1970)");
        return false;
    }
    roles.log.Write(u"the manifest expires at " + expires);
    return true;
}

}  // namespace

Freshness CheckFreshness(const FreshnessMarks& marks, const std::u16string& appFolder,
                         Roles& roles) {
    if (!ExpiryHolds(marks.expires, roles)) return {};
    if (marks.serial.empty()) {
        roles.log.Write(u"the manifest gives no serial: an older one could replace it");
        return {true, std::nullopt};
    }
    const std::optional<std::uint64_t> serial = ReadSerial(marks.serial);
    if (!serial) return Refuse(roles, u"serial \"" + marks.serial + u"\" is not a whole number");
    // An unreadable memory could hide a higher serial: the manifest cannot be shown to be new.
    const RememberedSerial remembered = roles.serials.Recall(appFolder);
    if (!remembered.read) {
        return Refuse(roles, u"the serial taken before could not be read (error " +
                                 base::DecimalText(remembered.systemCode) + u")");
    }
    if (*serial < remembered.serial) {
        return Refuse(roles, u"serial " + SerialText(*serial) + u" is older than " +
                                 SerialText(remembered.serial) + u", taken before");
    }
    roles.log.Write(u"the manifest's serial " + SerialText(*serial) +
                    u" holds (the highest taken before: " + SerialText(remembered.serial) + u")");
    return {true, *serial};
}

void RememberSerial(std::uint64_t serial, const std::u16string& appFolder, Roles& roles) {
    const std::uint32_t failure = roles.serials.Remember(appFolder, serial);
    if (failure != 0) {
        roles.log.Write(u"could not remember serial " + SerialText(serial) + u": error " +
                        base::DecimalText(failure));
    }
}

}  // namespace app
