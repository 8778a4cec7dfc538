#include <string_view>
#include <vector>

#include "markup/markup_doc.h"
#include "markup/name_match.h"
#include "markup/open_names.h"
#include "markup/token_scanner.h"

namespace markup {

// One parse: builds the element table under startParent from the tokens of the text. Open
// elements keep their start-tag token in their slot of openStack; each token is scanned
// straight into the slot above them. The steps taken for every tag are forced inline into the
// token loop, which keeps the parse's state in registers (called, they cost 3% more work).
class ElementParser {
  public:
    ElementParser(MarkupDoc& document, int32_t firstParent, TokenPos& position)
        : doc(document),
          cursor(position),
          startParent(firstParent),
          parent(firstParent),
          baseLevel(document.Elem(firstParent).Level()) {}

    // The first element added, or 0.
    int32_t Run() {
        cursor.pos = 0;
        for (;;) {
            NodeToken& token = openStack[static_cast<size_t>(depth)];
            switch (ScanToken(cursor, token)) {
                case NodeElement:
                    AddElement(token);
                    break;
                case NodeEndTag:
                    CloseByEndTag(token);
                    break;
                case NodeError:
                    MarkError();
                    Report(token.error, token.start);
                    break;
                case NodeEndOfText:
                    CloseAtEnd();
                    return firstAdded;
                default:
                    break;  // text, whitespace, comments, CDATA, instructions, declarations
            }
        }
    }

  private:
    // End tags that close nothing cost a walk down every open element, comparing up to the
    // end tag's length at each. Deep nesting with many such end tags, or long ones, would make
    // that quadratic, so once the walks have cost about a million units the open names are
    // indexed, and from then on such an end tag is recognised at once.
    static constexpr int64_t kWalkBudget = 1000000;

    ElemPos& Elem(int32_t i) { return doc.Elem(i); }
    std::u16string_view NameOf(int32_t e, int32_t slot) {
        return std::u16string_view(cursor.text + Elem(e).start + 1,
                                   openStack[static_cast<size_t>(slot)].name.size());
    }

    // Only the first fault is kept.
    void Report(Status status, int32_t offset, int32_t startOffset = 0) {
        if (doc.result.status != Status::Ok) return;
        doc.result.status = status;
        doc.result.offset = offset;
        doc.result.startOffset = startOffset;
    }
    void MarkError() {
        Elem(startParent).flagsLevel |= FlagIllFormed;
        Elem(parent).flagsLevel |= FlagHasError;
    }

    [[gnu::always_inline]] void AddElement(const NodeToken& token) {
        if (doc.elemUsed == doc.elemCapacity) doc.GrowElementTable(0);
        const int32_t e = doc.elemUsed++;
        if (firstAdded == 0) firstAdded = e;
        ElemPos& owner = Elem(parent);
        ElemPos& added = Elem(e);
        uint32_t flags = 0;
        if (owner.firstChild == 0) {
            owner.firstChild = e;
            added.prev = e;
            flags = FlagFirst;
        } else {
            ElemPos& first = Elem(owner.firstChild);
            const int32_t last = first.prev;
            Elem(last).next = e;
            first.prev = e;
            added.prev = last;
        }
        added.flagsLevel = flags | ((baseLevel + static_cast<uint32_t>(depth)) & 0xFFFF);
        added.parent = parent;
        added.next = 0;
        added.firstChild = 0;
        added.start = token.start;
        added.length = token.length;
        added.tagLengths = static_cast<uint32_t>(token.length) & 0x3FFFFF;
        if ((token.flags & FlagEmptyElement) != 0) return;
        if (indexed) openNames.Add(NameOf(e, depth));
        ++depth;
        parent = e;
        // Last, since token lives in the stack.
        if (static_cast<size_t>(depth) == openStack.size()) {
            openStack.resize(openStack.size() * 2 + 6);
        }
    }

    // The slot of the innermost open element that the end tag closes, with its entry in match;
    // -1 when it closes none.
    [[gnu::always_inline]] int32_t FindOpen(std::u16string_view name, int32_t& match) {
        int32_t slot = -1;
        if (!indexed || openNames.MayClose(name)) {
            slot = depth - 1;
            match = parent;
            while (slot >= 0 && !NameMatches(name.data(), static_cast<int32_t>(name.size()),
                                             openStack[static_cast<size_t>(slot)].name)) {
                --slot;
                match = Elem(match).parent;
            }
        }
        if (slot < 0 && !indexed &&
            (failedWalkSteps += int64_t{depth} * static_cast<int64_t>(1 + name.size())) >
                kWalkBudget) {
            indexed = true;
            for (int32_t k = depth - 1, open = parent; k >= 0; --k) {
                openNames.Add(NameOf(open, k));
                open = Elem(open).parent;
            }
        }
        return slot;
    }

    [[gnu::always_inline]] void CloseByEndTag(const NodeToken& token) {
        const std::u16string_view name(cursor.text + cursor.nameStart,
                                       static_cast<size_t>(cursor.nameEnd - cursor.nameStart + 1));
        int32_t match = 0;
        const int32_t slot = FindOpen(name, match);
        if (slot < 0) {
            MarkError();
            Report(Status::NoStartTag, token.start);
            return;
        }
        ElemPos& matched = Elem(match);
        matched.length = token.start + token.length - matched.start;
        matched.tagLengths =
            matched.StartTagLength() | ((static_cast<uint32_t>(token.length) & 0x3FF) << 22);
        if (slot != depth - 1) {
            Elem(startParent).flagsLevel |= FlagIllFormed;
            while (depth - 1 > slot) CloseNotEnded(&token);
        }
        if (indexed) openNames.Remove(NameOf(match, depth - 1));
        parent = matched.parent;
        --depth;
    }

    // Closes the innermost open element without an end tag: its children become its following
    // siblings.
    void CloseNotEnded(const NodeToken* endTag) {
        const int32_t e = parent;
        if (indexed) openNames.Remove(NameOf(e, depth - 1));
        ElemPos& closed = Elem(e);
        const uint32_t startTagLength = closed.StartTagLength();
        closed.tagLengths = startTagLength;
        closed.length = static_cast<int32_t>(startTagLength);
        closed.flagsLevel |= FlagNotEnded;
        const int32_t up = closed.parent;
        if ((closed.flagsLevel & FlagHasError) != 0) {
            closed.flagsLevel &= ~FlagHasError;
            Elem(up).flagsLevel |= FlagHasError;
        }
        const int32_t firstChild = closed.firstChild;
        closed.firstChild = 0;
        if (firstChild != 0) {
            const int32_t lastChild = Elem(firstChild).prev;
            // The moved children's parent links are set once at the end (RelinkMovedChildren):
            // doing it here would cost time quadratic in the nesting of unended elements.
            anyMoved = true;
            // An open element is always the last child of its parent.
            closed.next = firstChild;
            Elem(firstChild).prev = e;
            Elem(Elem(up).firstChild).prev = lastChild;
        }
        parent = up;
        --depth;
        if (endTag != nullptr) {
            Report(Status::EndTagMismatch, endTag->start, closed.start);
        } else {
            Report(Status::ElementNotEnded, closed.start);
        }
    }

    void CloseAtEnd() {
        if (depth > 0) {
            Elem(startParent).flagsLevel |= FlagIllFormed;
            while (depth > 0) CloseNotEnded(nullptr);
        }
        if (anyMoved) RelinkMovedChildren();
    }

    // The children of an element closed without its end tag move up to its parent, and on up
    // while that one is closed the same way: each entry's parent becomes its nearest ancestor
    // that was not closed so. Parents come before their children in the table, so one pass in
    // table order sees every parent already final. Open elements never change their parent,
    // so nothing during the parse needs these links earlier.
    void RelinkMovedChildren() {
        for (int32_t i = firstAdded; i < doc.elemUsed; ++i) {
            ElemPos& entry = Elem(i);
            if (entry.parent >= firstAdded && (Elem(entry.parent).flagsLevel & FlagNotEnded) != 0) {
                entry.parent = Elem(entry.parent).parent;
            }
        }
    }

    MarkupDoc& doc;
    TokenPos& cursor;
    const int32_t startParent;
    int32_t parent;
    const uint32_t baseLevel;
    std::vector<NodeToken> openStack = std::vector<NodeToken>(6);
    int32_t depth = 0;
    int32_t firstAdded = 0;
    bool anyMoved = false;
    int64_t failedWalkSteps = 0;
    bool indexed = false;
    OpenNames openNames;
};

int32_t MarkupDoc::ParseElements(int32_t startParent, TokenPos& cursor) {
    return ElementParser(*this, startParent, cursor).Run();
}

}  // namespace markup
