#include "markup/token_scanner.h"

#include "markup/text_util.h"
#include "markup/token_scanner_stepwise.h"

namespace markup {
namespace {

// Classes of the ASCII units that the scanner stops at; every unit from 0x80 up is plain.
enum : uint8_t {
    NameEnd = 1,     // whitespace, "/" or ">": ends a tag name
    TagSpecial = 2,  // ">", quotes, "=", whitespace or zero: needs a look inside a tag
};

struct CharTable {
    uint8_t cls[128] = {};
    constexpr CharTable() {
        for (char16_t c : {u' ', u'\t', u'\n', u'\r'}) cls[c] = NameEnd | TagSpecial;
        cls[u'/'] = NameEnd;
        cls[u'>'] = NameEnd | TagSpecial;
        cls[0] = NameEnd | TagSpecial;
        cls[u'"'] = TagSpecial;
        cls[u'\''] = TagSpecial;
        cls[u'='] = TagSpecial;
    }
};
constexpr CharTable kChars;

inline bool Has(char16_t c, uint8_t cls) {
    return c < 128 && (kChars.cls[c] & cls) != 0;
}

inline bool IsNameStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c > 0x60;
}

// Every unit that the scanner stops at lies at or below ">", so one comparison passes over
// letters and all non-ASCII text before the table is consulted.
inline bool Above(char16_t c) {
    return c > u'>';
}

// Offset of the first unit at or after i that ends a name (the zero included).
inline int32_t SkipName(const char16_t* text, int32_t i) {
    while (Above(text[i]) || !Has(text[i], NameEnd)) ++i;
    return i;
}

inline NodeType Finish(TokenPos& cursor, NodeToken& token, NodeType type, int32_t tokenEnd) {
    cursor.pos = tokenEnd + 1;
    token.type = type;
    token.length = tokenEnd + 1 - token.start;
    return type;
}

inline NodeType Unterminated(TokenPos& cursor, NodeToken& token, Status status) {
    int32_t end = cursor.pos;
    while (cursor.text[end] != 0) ++end;
    token.error = status;
    return Finish(cursor, token, NodeError, end - 1);
}

// The body of a start tag or of an error token, from the first unit that the quote rules see
// (bodyStart) on. A ">" outside a quoted value ends it; a quote opens a value only right after
// "="; an error token also ends before any "<". The units before a ">" that decide an empty
// element are read back from the text instead of being tracked unit by unit.
template <bool isError>
NodeType ScanTagBody(TokenPos& cursor, NodeToken& token, int32_t bodyStart, Status unterminated) {
    const char16_t* text = cursor.text;
    bool afterEquals = false;
    int32_t i = bodyStart;
    for (;;) {
        char16_t c = text[i];
        while (Above(c) || (!Has(c, TagSpecial) && (!isError || c != u'<'))) {
            afterEquals = false;
            c = text[++i];
        }
        if (c == u'>') break;
        if (c == 0) return Unterminated(cursor, token, unterminated);
        if (isError && c == u'<') return Finish(cursor, token, NodeError, i - 1);
        if (c == u'=') {
            const char16_t lastChar = i > bodyStart ? text[i - 1] : 0;
            afterEquals = !afterEquals && lastChar != u'=';
            // The usual name="value": straight on to the quote.
            if (afterEquals && (text[i + 1] == u'"' || text[i + 1] == u'\'')) c = text[++i];
        }
        if (c == u'"' || c == u'\'') {
            if (afterEquals) {
                afterEquals = false;
                char16_t q;
                if constexpr (isError) {
                    for (;;) {
                        q = text[++i];
                        if (q == c || q == 0) break;
                        if (q == u'<') return Finish(cursor, token, NodeError, i - 1);
                    }
                } else {
                    // Both quotes and the zero lie at or below the apostrophe.
                    do {
                        q = text[++i];
                    } while (q > u'\'' || (q != c && q != 0));
                }
                if (q == 0) return Unterminated(cursor, token, unterminated);
            }
        }
        // Whitespace leaves afterEquals as it is.
        ++i;
    }
    if (isError) return Finish(cursor, token, NodeError, i);
    const char16_t lastChar = i > bodyStart ? text[i - 1] : 0;
    const char16_t charBeforeLast = i > bodyStart + 1 ? text[i - 2] : 0;
    if (lastChar == u'/' && (charBeforeLast == 0 || IsXmlSpace(charBeforeLast) ||
                             charBeforeLast == u'\'' || charBeforeLast == u'"')) {
        token.flags |= FlagEmptyElement;
    }
    return Finish(cursor, token, NodeElement, i);
}

// A token that ends at a ">" preceded by the given units ("?", "--" or "]]"), and only where the
// ">" lies beyond offset markerLength.
NodeType ScanToMarker(TokenPos& cursor, NodeToken& token, int32_t i, NodeType type,
                      const char16_t* lead, int32_t leadLength, Status unterminated) {
    const char16_t* text = cursor.text;
    for (;; ++i) {
        const char16_t c = text[i];
        if (Above(c)) continue;
        if (c == u'>') {
            if (i > leadLength + 1 && text[i - 1] == lead[leadLength - 1] &&
                (leadLength == 1 || text[i - 2] == lead[0])) {
                return Finish(cursor, token, type, i);
            }
        } else if (c == 0) {
            return Unterminated(cursor, token, unterminated);
        }
    }
}

// A markup declaration such as <!ELEMENT ...>: up to a ">" outside quotes.
NodeType ScanDeclaration(TokenPos& cursor, NodeToken& token, int32_t i) {
    const char16_t* text = cursor.text;
    bool inSingle = false, inDouble = false;
    for (;; ++i) {
        const char16_t c = text[i];
        if (c == u'>' && !inSingle && !inDouble) return Finish(cursor, token, NodeDocType, i);
        if (c == 0) return Unterminated(cursor, token, Status::UnterminatedDocType);
        if (c == u'"' && !inSingle) inDouble = !inDouble;
        if (c == u'\'' && !inDouble) inSingle = !inSingle;
    }
}

NodeType ScanMarkup(TokenPos& cursor, NodeToken& token) {
    const char16_t* text = cursor.text;
    const int32_t start = token.start;
    const char16_t c = text[start + 1];
    if (IsNameStart(c)) {
        const int32_t nameEnd = SkipName(text, start + 2);
        if (text[nameEnd] == 0) return Unterminated(cursor, token, Status::UnterminatedElementTag);
        token.name.assign(text + start + 1, static_cast<size_t>(nameEnd - start - 1));
        return ScanTagBody<false>(cursor, token, nameEnd, Status::UnterminatedElementTag);
    }
    switch (c) {
        case u'/': {
            const int32_t nameEnd = SkipName(text, start + 2);
            if (text[nameEnd] == 0) return Unterminated(cursor, token, Status::UnterminatedEndTag);
            cursor.nameStart = start + 2;
            cursor.nameEnd = nameEnd - 1;
            int32_t i = nameEnd;
            while (text[i] != u'>') {
                if (text[i] == 0) return Unterminated(cursor, token, Status::UnterminatedEndTag);
                ++i;
            }
            return Finish(cursor, token, NodeEndTag, i);
        }
        case u'?': {
            const int32_t nameEnd = SkipName(text, start + 2);
            if (text[nameEnd] == 0)
                return Unterminated(cursor, token, Status::UnterminatedInstruction);
            token.name.assign(text + start + 2, static_cast<size_t>(nameEnd - start - 2));
            return ScanToMarker(cursor, token, nameEnd, NodeProcessingInstruction, u"?", 1,
                                Status::UnterminatedInstruction);
        }
        case u'!':
            switch (text[start + 2]) {
                case u'-':
                    if (text[start + 3] == u'-') {
                        return ScanToMarker(cursor, token, start + 4, NodeComment, u"--", 2,
                                            Status::UnterminatedComment);
                    }
                    if (text[start + 3] == 0)
                        return Unterminated(cursor, token, Status::UnterminatedTag);
                    token.error = Status::BadCommentTag;
                    return ScanTagBody<true>(cursor, token, start + 4, Status::UnterminatedTag);
                case u'[':
                    if (text[start + 3] == u'C') {
                        return ScanToMarker(cursor, token, start + 4, NodeCData, u"]]", 2,
                                            Status::UnterminatedCData);
                    }
                    if (text[start + 3] == 0)
                        return Unterminated(cursor, token, Status::UnterminatedTag);
                    token.error = Status::BadBracketTag;
                    return ScanTagBody<true>(cursor, token, start + 4, Status::UnterminatedTag);
                case u'D':
                    // Nested declarations, comments and instructions: rare enough for the
                    // unit-by-unit machine.
                    return ScanTokenStepwise(cursor, token);
                case u'E':
                case u'A':
                case u'N':
                    return ScanDeclaration(cursor, token, start + 3);
                case 0:
                    return Unterminated(cursor, token, Status::UnterminatedTag);
                default:
                    token.error = Status::BadBangTag;
                    return ScanTagBody<true>(cursor, token, start + 3, Status::UnterminatedTag);
            }
        case 0:
            return Unterminated(cursor, token, Status::UnterminatedTag);
        default:
            token.error = Status::BadTagNameCharacter;
            return ScanTagBody<true>(cursor, token, start + 2, Status::UnterminatedTag);
    }
}

}  // namespace

NodeType ScanToken(TokenPos& cursor, NodeToken& token) {
    const char16_t* text = cursor.text;
    const int32_t start = cursor.pos;
    token.start = start;
    token.flags = 0;
    char16_t c = text[start];
    if (c == u'<') return ScanMarkup(cursor, token);
    if (c == 0) {
        token.type = static_cast<NodeType>(0);
        token.length = 0;
        return NodeEndOfText;
    }
    int32_t i = start + 1;
    if (IsXmlSpace(c)) {
        while (IsXmlSpace(text[i])) ++i;
        c = text[i];
        if (c == u'<' || c == 0) return Finish(cursor, token, NodeWhitespace, i - 1);
        ++i;  // the unit that turns whitespace into character data is not an end
    }
    // Character data ends before "<", at ">" (included) or at the end of the text.
    for (;; ++i) {
        c = text[i];
        if (Above(c)) continue;
        if (c == u'<' || c == 0) return Finish(cursor, token, NodeText, i - 1);
        if (c == u'>') return Finish(cursor, token, NodeText, i);
    }
}

std::u16string EndTagName(const TokenPos& cursor) {
    if (cursor.nameEnd < cursor.nameStart) return std::u16string();
    return std::u16string(cursor.text + cursor.nameStart,
                          static_cast<size_t>(cursor.nameEnd - cursor.nameStart + 1));
}

}  // namespace markup
