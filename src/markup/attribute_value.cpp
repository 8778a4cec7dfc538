#include "markup/attribute_value.h"

#include "markup/text_util.h"

namespace markup {
namespace {

bool IsAttributeNameEnd(char16_t c) {
    return c == u'=' || IsXmlSpace(c) || c == u'>' || c == u'/' || c == u'?';
}

bool IsUnquotedValueEnd(char16_t c) {
    return IsXmlSpace(c) || c == u'>';
}

struct AttrToken {
    TextSpan span;  // for a quoted token the units between the marks
    bool quoted = false;
    char16_t first = 0;  // first unit of an unquoted token
};

// Reads the next token at i; false at the end of the text.
bool NextToken(const char16_t* text, int32_t& i, bool valuePosition, AttrToken& token) {
    while (IsXmlSpace(text[i])) ++i;
    const char16_t c = text[i];
    if (c == 0) return false;
    if (c == u'"' || c == u'\'') {
        const int32_t begin = ++i;
        while (text[i] != 0 && text[i] != c) ++i;
        token.span = {begin, i - begin};
        token.quoted = true;
        if (text[i] != 0) ++i;  // the closing mark
        return true;
    }
    auto isEnd = valuePosition ? IsUnquotedValueEnd : IsAttributeNameEnd;
    const int32_t begin = i;
    if (isEnd(c)) {
        ++i;
    } else {
        while (text[i] != 0 && !isEnd(text[i])) ++i;
    }
    token.span = {begin, i - begin};
    token.quoted = false;
    token.first = c;
    return true;
}

struct Entity {
    const char16_t* name;  // with its ";"
    int32_t length;
    char16_t value;
};

constexpr Entity kEntities[] = {
    {u"lt;", 3, u'<'},    {u"amp;", 4, u'&'},  {u"gt;", 3, u'>'},
    {u"apos;", 5, u'\''}, {u"quot;", 5, u'"'},
};

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

bool IsNumberSpace(char16_t c) {
    return IsXmlSpace(c) || c == u'\v' || c == u'\f';
}

// The number in [p, end) read as the C library's text-to-long conversion reads it: leading
// whitespace, a sign, in base 16 an optional 0x, then digits up to the first that does not
// belong. At most seven units, so it cannot overflow.
int64_t ReadNumber(const char16_t* p, const char16_t* end, int base) {
    while (p < end && IsNumberSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == u'+' || *p == u'-')) negative = *p++ == u'-';
    if (base == 16 && end - p >= 3 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        DigitValue(p[2]) < 16) {
        p += 2;
    }
    int64_t value = 0;
    for (; p < end && DigitValue(*p) < base; ++p) value = value * base + DigitValue(*p);
    return negative ? -value : value;
}

}  // namespace

bool FindAttribute(const char16_t* text, int32_t from, const std::u16string& name,
                   TextSpan& value) {
    int32_t i = from;
    bool elementNamePassed = false;
    bool matched = false;
    TextSpan matchedName;
    AttrToken token;
    while (NextToken(text, i, false, token)) {
        if (token.quoted) {
            if (matched) break;
            continue;
        }
        if (!elementNamePassed) {
            elementNamePassed = true;
            continue;
        }
        if (token.span.length == 1 && token.first == u'=') {
            if (!NextToken(text, i, true, token)) {
                // The text ends right after "=": the attribute has no value at all.
                if (matched) {
                    value = {i, 0};
                    return true;
                }
                break;
            }
            if (matched) {
                value = token.span;
                return true;
            }
            continue;
        }
        if (token.first == u'>' || token.first == u'/' || token.first == u'?') break;
        if (matched) break;
        if (NameMatches(text + token.span.offset, token.span.length, name)) {
            matched = true;
            matchedName = token.span;
        }
    }
    if (!matched) return false;
    value = matchedName;
    return true;
}

std::u16string DecodeValue(const char16_t* value, int32_t length) {
    std::u16string out;
    out.reserve(static_cast<size_t>(length));
    const char16_t* p = value;
    const char16_t* const end = value + length;
    while (p < end) {
        const char16_t c = *p;
        if (c != u'&') {
            out.push_back(c);
            ++p;
            continue;
        }
        if (p + 1 < end && p[1] == u'#') {
            int base = 10;
            const char16_t* number = p + 2;
            if (number < end && *number == u'x') {
                base = 16;
                ++number;
            }
            // The ";" must lie within the value, among the eight units after "#" or "x".
            const char16_t* semicolon = nullptr;
            for (const char16_t* q = number; q < end && q < number + 8; ++q) {
                if (*q == u';') {
                    semicolon = q;
                    break;
                }
            }
            if (semicolon != nullptr) {
                const int64_t code = ReadNumber(number, semicolon, base);
                // Beyond the 16-bit range a code point takes a surrogate pair; outside Unicode
                // the reference is no character and stays as text.
                if (code > 0 && code <= 0xFFFF) {
                    out.push_back(static_cast<char16_t>(code));
                    p = semicolon + 1;
                    continue;
                }
                if (code > 0xFFFF && code <= 0x10FFFF) {
                    const int64_t v = code - 0x10000;
                    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
                    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
                    p = semicolon + 1;
                    continue;
                }
            }
            out.push_back(u'&');
            ++p;
            continue;
        }
        bool replaced = false;
        for (const Entity& entity : kEntities) {
            if (end - (p + 1) >= entity.length &&
                std::char_traits<char16_t>::compare(p + 1, entity.name,
                                                    static_cast<size_t>(entity.length)) == 0) {
                out.push_back(entity.value);
                p += 1 + entity.length;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out.push_back(u'&');
            ++p;
        }
    }
    return out;
}

}  // namespace markup
