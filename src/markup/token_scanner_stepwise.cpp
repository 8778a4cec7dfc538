#include "markup/token_scanner_stepwise.h"

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

// One token's scan, one unit a step. Each step first finishes a name being read, then either
// looks for the end marker of a kind already known or narrows down the kind. Every step that
// can end the token says so by returning true.
class StepwiseScan {
  public:
    StepwiseScan(TokenPos& position, NodeToken& out) : cursor(position), token(out) {}

    NodeType Run() {
        const char16_t* text = cursor.text;
        for (int32_t i = token.start;; ++i) {
            const char16_t c = text[i];
            if (c == 0) {
                EndOfText(i);
                break;
            }
            if (InName(c, i)) continue;
            if (markerLength != 0 ? TowardsMarker(c, i) : TowardsKind(c, i)) break;
        }
        cursor.pos = tokenEnd + 1;
        token.type = type;
        token.length = tokenEnd + 1 - token.start;
        return type;
    }

  private:
    void Expect(NodeType kind, const char16_t* end, int32_t endLength) {
        type = kind;
        marker = end;
        markerLength = endLength;
    }
    void Fail(Status error) {
        Expect(NodeError, u">", 1);
        token.error = error;
    }

    // Text and whitespace end at the end of the text; every other kind is cut short there.
    void EndOfText(int32_t i) {
        tokenEnd = i - 1;
        if (type == NodeText || type == NodeWhitespace) return;
        if ((state & InDocType) != 0 || type == NodeDocType) {
            token.error = Status::UnterminatedDocType;
        } else if (type == NodeElement) {
            token.error = Status::UnterminatedElementTag;
        } else if (type == NodeEndTag) {
            token.error = Status::UnterminatedEndTag;
        } else if (type == NodeCData) {
            token.error = Status::UnterminatedCData;
        } else if (type == NodeProcessingInstruction) {
            token.error = Status::UnterminatedInstruction;
        } else if (type == NodeComment) {
            token.error = Status::UnterminatedComment;
        } else {
            token.error = Status::UnterminatedTag;
        }
        type = NodeError;
    }

    // A name being read swallows everything up to whitespace, "/" or ">".
    bool InName(char16_t c, int32_t i) {
        if (nameStart == 0) return false;
        if (!IsXmlSpace(c) && c != u'/' && c != u'>') return true;
        if (type == NodeEndTag) {
            cursor.nameStart = nameStart;
            cursor.nameEnd = i - 1;
        } else {
            token.name.assign(cursor.text + nameStart, static_cast<size_t>(i - nameStart));
        }
        nameStart = 0;
        lastChar = 0;
        charBeforeLast = 0;
        return false;
    }

    bool TowardsMarker(char16_t c, int32_t i) {
        if (c == u'>' && (state & (InSingleQuote | InDoubleQuote)) == 0) return AtGreaterThan(i);
        if (c == u'<' && (type == NodeText || type == NodeError)) {
            tokenEnd = i - 1;
            return true;
        }
        if (type == NodeElement || type == NodeError) {
            TrackTagBody(c);
        } else if (type == NodeDocType) {
            if (c == u'"' && (state & InSingleQuote) == 0) state ^= InDoubleQuote;
            if (c == u'\'' && (state & InDoubleQuote) == 0) state ^= InSingleQuote;
        }
        return false;
    }

    // A ">" ends the token when the marker's other units stand before it; within a document
    // type it ends only the nested part.
    bool AtGreaterThan(int32_t i) {
        tokenEnd = i;
        if (markerLength == 1) {
            if (type == NodeElement && lastChar == u'/' &&
                (charBeforeLast == 0 || IsXmlSpace(charBeforeLast) || charBeforeLast == u'\'' ||
                 charBeforeLast == u'"')) {
                token.flags |= FlagEmptyElement;
            }
        } else {
            bool markerEnds = tokenEnd > markerLength;
            for (int32_t k = 0; markerEnds && k < markerLength - 1; ++k) {
                if (cursor.text[i - (markerLength - 1) + k] != marker[k]) markerEnds = false;
            }
            if (!markerEnds) return false;
        }
        markerLength = 0;
        return (state & InDocType) == 0;
    }

    // Quotes open a value only right after "=" (whitespace between allowed).
    void TrackTagBody(char16_t c) {
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
    }

    bool TowardsKind(char16_t c, int32_t i) {
        if (state == 0) {
            if (c == u'<') {
                state |= AfterLt;
            } else if (IsXmlSpace(c)) {
                state |= InWhitespace;
                type = NodeWhitespace;
            } else {
                Expect(NodeText, u"<", 1);
            }
        } else if ((state & InWhitespace) != 0) {
            if (c == u'<') {
                tokenEnd = i - 1;
                type = NodeWhitespace;
                return true;
            }
            if (!IsXmlSpace(c)) {
                state &= ~InWhitespace;
                Expect(NodeText, u"<", 1);
            }
        } else if ((state & AfterLt) != 0) {
            state &= ~AfterLt;
            AfterLessThan(c, i);
        } else if ((state & (AfterBang | AfterBangDash | AfterBangBracket)) != 0) {
            AfterExclamation(c);
        } else if ((state & InDocType) != 0) {
            if (c == u'<') {
                state |= AfterLt;
            } else if (c == u'>') {
                tokenEnd = i;
                type = NodeDocType;
                return true;
            }
        }
        return false;
    }

    void AfterLessThan(char16_t c, int32_t i) {
        if (IsNameStart(c)) {
            Expect(NodeElement, u">", 1);
            nameStart = i;
        } else if (c == u'/') {
            Expect(NodeEndTag, u">", 1);
            nameStart = i + 1;
        } else if (c == u'!') {
            state |= AfterBang;
        } else if (c == u'?') {
            Expect(NodeProcessingInstruction, u"?>", 2);
            nameStart = i + 1;
        } else {
            Fail(Status::BadTagNameCharacter);
        }
    }

    // "<!", "<!-" or "<![" has been read.
    void AfterExclamation(char16_t c) {
        const uint32_t read = state & (AfterBang | AfterBangDash | AfterBangBracket);
        state &= ~read;
        if (read == AfterBangDash) {
            c == u'-' ? Expect(NodeComment, u"-->", 3) : Fail(Status::BadCommentTag);
        } else if (read == AfterBangBracket) {
            c == u'C' ? Expect(NodeCData, u"]]>", 3) : Fail(Status::BadBracketTag);
        } else if (c == u'-') {
            state |= AfterBangDash;
        } else if ((state & InDocType) == 0 && c == u'[') {
            state |= AfterBangBracket;
        } else if ((state & InDocType) == 0 && c == u'D') {
            state |= InDocType;
        } else if (c == u'E' || c == u'A' || c == u'N') {
            Expect(NodeDocType, u">", 1);
        } else {
            Fail(Status::BadBangTag);
        }
    }

    TokenPos& cursor;
    NodeToken& token;
    uint32_t state = 0;
    const char16_t* marker = nullptr;
    int32_t markerLength = 0;
    NodeType type = NodeError;
    int32_t nameStart = 0;  // 0 when no name is being read
    char16_t lastChar = 0;
    char16_t charBeforeLast = 0;
    int32_t tokenEnd = 0;
};

}  // namespace

NodeType ScanTokenStepwise(TokenPos& cursor, NodeToken& token) {
    token.start = cursor.pos;
    token.flags = 0;
    if (cursor.text[token.start] == 0) {
        token.type = static_cast<NodeType>(0);
        token.length = 0;
        return NodeEndOfText;
    }
    return StepwiseScan(cursor, token).Run();
}

}  // namespace markup
