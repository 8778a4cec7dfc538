#include "markup/token_scanner_stepwise.h"

#include "markup/scan_messages.h"
#include "markup/text_util.h"

namespace markup {
namespace {

enum : uint32_t {
    AfterLt = 1,
    AfterBang = 2,
    AfterBangDash = 4,
    AfterBangBracket = 8,
    InWhitespace = 16,
    InDocType = 32,
    InSingleQuote = 64,
    InDoubleQuote = 128,
    AfterEquals = 256,
};

bool IsNameStart(char16_t c) {
    return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c > 0x60;
}

const char* UnterminatedLabel(uint32_t state, NodeType type) {
    if ((state & InDocType) != 0 || type == NodeDocType) return "Doctype";
    switch (type) {
        case NodeElement:
            return "Element tag";
        case NodeEndTag:
            return "Element end tag";
        case NodeCData:
            return "CDATA Section";
        case NodeProcessingInstruction:
            return "Processing instruction";
        case NodeComment:
            return "Comment";
        default:
            return "tag";
    }
}

}  // namespace

NodeType ScanTokenStepwise(TokenPos& cursor, NodeToken& token) {
    const char16_t* text = cursor.text;
    const int32_t start = cursor.pos;
    token.start = start;
    token.flags = 0;
    if (text[start] == 0) {
        token.type = static_cast<NodeType>(0);
        token.length = 0;
        return NodeEndOfText;
    }

    uint32_t state = 0;
    const char16_t* marker = nullptr;
    int32_t markerLength = 0;
    NodeType type = NodeError;
    int32_t nameStart = 0;
    char16_t lastChar = 0;
    char16_t charBeforeLast = 0;
    int32_t tokenEnd = start;

    for (int32_t i = start;; ++i) {
        const char16_t c = text[i];
        if (c == 0) {
            tokenEnd = i - 1;
            if (type != NodeText && type != NodeWhitespace) {
                SetUnterminatedMessage(token.name, UnterminatedLabel(state, type), start);
                type = NodeError;
            }
            break;
        }

        // Step 1: a name being read swallows everything up to whitespace, "/" or ">".
        if (nameStart != 0) {
            if (!IsXmlSpace(c) && c != u'/' && c != u'>') continue;
            if (type == NodeEndTag) {
                cursor.nameStart = nameStart;
                cursor.nameEnd = i - 1;
            } else {
                token.name.assign(text + nameStart, static_cast<size_t>(i - nameStart));
            }
            nameStart = 0;
            lastChar = 0;
            charBeforeLast = 0;
        }

        // Step 2: the kind is known; look for its end marker.
        if (markerLength != 0) {
            if (c == u'>' && (state & (InSingleQuote | InDoubleQuote)) == 0) {
                tokenEnd = i;
                if (markerLength == 1) {
                    markerLength = 0;
                    if (type == NodeElement && lastChar == u'/' &&
                        (charBeforeLast == 0 || IsXmlSpace(charBeforeLast) ||
                         charBeforeLast == u'\'' || charBeforeLast == u'"')) {
                        token.flags |= FlagEmptyElement;
                    }
                    if ((state & InDocType) != 0) continue;
                    break;
                }
                bool markerEnds = tokenEnd > markerLength;
                for (int32_t k = 0; markerEnds && k < markerLength - 1; ++k) {
                    if (text[i - (markerLength - 1) + k] != marker[k]) markerEnds = false;
                }
                if (markerEnds) {
                    markerLength = 0;
                    if ((state & InDocType) != 0) continue;
                    break;
                }
                continue;
            }
            if (c == u'<' && (type == NodeText || type == NodeError)) {
                tokenEnd = i - 1;
                break;
            }
            if (type == NodeElement || type == NodeError) {
                if ((state & InDoubleQuote) != 0) {
                    if (c == u'"') state &= ~InDoubleQuote;
                } else if ((state & InSingleQuote) != 0) {
                    if (c == u'\'') state &= ~InSingleQuote;
                } else if (c == u'"' || c == u'\'') {
                    if ((state & AfterEquals) != 0) {
                        state &= ~AfterEquals;
                        state |= c == u'"' ? InDoubleQuote : InSingleQuote;
                    }
                } else if (c == u'=') {
                    if ((state & AfterEquals) == 0 && lastChar != u'=') {
                        state |= AfterEquals;
                    } else {
                        state &= ~AfterEquals;
                    }
                } else if (!IsXmlSpace(c)) {
                    state &= ~AfterEquals;
                }
                charBeforeLast = lastChar;
                lastChar = c;
            } else if (type == NodeDocType) {
                if (c == u'"' && (state & InSingleQuote) == 0) state ^= InDoubleQuote;
                if (c == u'\'' && (state & InDoubleQuote) == 0) state ^= InSingleQuote;
            }
            continue;
        }

        // Step 3: the kind is still open.
        if (state == 0) {
            if (c == u'<') {
                state |= AfterLt;
            } else if (IsXmlSpace(c)) {
                state |= InWhitespace;
                type = NodeWhitespace;
            } else {
                type = NodeText;
                marker = u"<";
                markerLength = 1;
            }
        } else if ((state & InWhitespace) != 0) {
            if (c == u'<') {
                tokenEnd = i - 1;
                type = NodeWhitespace;
                break;
            }
            if (!IsXmlSpace(c)) {
                state &= ~InWhitespace;
                type = NodeText;
                marker = u"<";
                markerLength = 1;
            }
        } else if ((state & AfterLt) != 0) {
            state &= ~AfterLt;
            if (IsNameStart(c)) {
                type = NodeElement;
                marker = u">";
                markerLength = 1;
                nameStart = i;
            } else if (c == u'/') {
                type = NodeEndTag;
                marker = u">";
                markerLength = 1;
                nameStart = i + 1;
            } else if (c == u'!') {
                state |= AfterBang;
            } else if (c == u'?') {
                type = NodeProcessingInstruction;
                marker = u"?>";
                markerLength = 2;
                nameStart = i + 1;
            } else {
                type = NodeError;
                marker = u">";
                markerLength = 1;
                SetIncorrectMessage(token.name, "tag name character", start);
            }
        } else if ((state & AfterBang) != 0) {
            state &= ~AfterBang;
            const bool inDocType = (state & InDocType) != 0;
            if (c == u'-') {
                state |= AfterBangDash;
            } else if (!inDocType && c == u'[') {
                state |= AfterBangBracket;
            } else if (!inDocType && c == u'D') {
                state |= InDocType;
            } else {
                marker = u">";
                markerLength = 1;
                if (c == u'E' || c == u'A' || c == u'N') {
                    type = NodeDocType;
                } else {
                    type = NodeError;
                    SetIncorrectMessage(token.name, "! tag", start);
                }
            }
        } else if ((state & AfterBangDash) != 0) {
            state &= ~AfterBangDash;
            if (c == u'-') {
                type = NodeComment;
                marker = u"-->";
                markerLength = 3;
            } else {
                type = NodeError;
                marker = u">";
                markerLength = 1;
                SetIncorrectMessage(token.name, "comment tag", start);
            }
        } else if ((state & AfterBangBracket) != 0) {
            state &= ~AfterBangBracket;
            if (c == u'C') {
                type = NodeCData;
                marker = u"]]>";
                markerLength = 3;
            } else {
                type = NodeError;
                marker = u">";
                markerLength = 1;
                SetIncorrectMessage(token.name, "tag", start);
            }
        } else if ((state & InDocType) != 0) {
            if (c == u'<') {
                state |= AfterLt;
            } else if (c == u'>') {
                tokenEnd = i;
                type = NodeDocType;
                break;
            }
        }
    }

    cursor.pos = tokenEnd + 1;
    token.type = type;
    token.length = tokenEnd + 1 - start;
    return type;
}

}  // namespace markup
