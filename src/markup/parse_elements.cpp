#include <string_view>
#include <vector>

#include "markup/markup_doc.h"
#include "markup/open_names.h"
#include "markup/text_util.h"
#include "markup/token_scanner.h"

namespace markup {
namespace {

// A stored start-tag name matches an end-tag name when it begins with it and either ends there
// or goes on with one of " =/[]".
bool EndTagMatches(const std::u16string& stored, const char16_t* name, int32_t length) {
    const size_t n = static_cast<size_t>(length);
    if (stored.size() < n || stored.compare(0, n, name, n) != 0) return false;
    if (stored.size() == n) return true;
    const char16_t c = stored[n];
    return c == u' ' || c == u'=' || c == u'/' || c == u'[' || c == u']';
}

void AppendQuoted(std::u16string& out, const char16_t* text, size_t length) {
    out.push_back(u'\'');
    out.append(text, length);
    out.push_back(u'\'');
}

}  // namespace

// The children of an element closed without its end tag move up to its parent, and on up
// while that one is closed the same way: each entry's parent becomes its nearest ancestor that
// was not closed so. Parents come before their children in the table, so one pass in table
// order sees every parent already final. Open elements never change their parent, so nothing
// during the parse needs these links earlier.
void MarkupDoc::RelinkMovedChildren(int32_t firstAdded) {
    if (firstAdded == 0) return;
    for (int32_t i = firstAdded; i < elemUsed; ++i) {
        ElemPos& entry = Elem(i);
        if (entry.parent >= firstAdded && (Elem(entry.parent).flagsLevel & FlagNotEnded) != 0) {
            entry.parent = Elem(entry.parent).parent;
        }
    }
}

int32_t MarkupDoc::ParseElements(int32_t startParent, TokenPos& cursor) {
    // Open elements keep their start-tag token in their slot; each token is scanned straight
    // into the slot above them.
    std::vector<NodeToken> openStack(6);
    int32_t parent = startParent;
    int32_t depth = 0;
    int32_t firstAdded = 0;
    const uint32_t baseLevel = Elem(startParent).Level();
    cursor.pos = 0;
    resultText.clear();

    bool anyMoved = false;
    // End tags that close nothing cost a walk down every open element, comparing up to the
    // end tag's length at each. Deep nesting with many such end tags, or long ones, would make
    // that quadratic, so once the walks have cost about a million units the open names are
    // indexed, and from then on such an end tag is recognised at once.
    constexpr int64_t kWalkBudget = 1000000;
    int64_t failedWalkSteps = 0;
    bool indexed = false;
    OpenNames openNames;
    auto nameOf = [&](int32_t e, int32_t slot) {
        return std::u16string_view(cursor.text + Elem(e).start + 1,
                                   openStack[static_cast<size_t>(slot)].name.size());
    };

    auto markError = [&] {
        Elem(startParent).flagsLevel |= FlagIllFormed;
        Elem(parent).flagsLevel |= FlagHasError;
    };

    // Closes the innermost open element without an end tag: its children become its following
    // siblings. The message goes into resultText only when nothing was reported before.
    auto closeNotEnded = [&](const NodeToken* endTag) {
        const int32_t e = parent;
        if (indexed) openNames.Remove(nameOf(e, depth - 1));
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
            // The moved children's parent links are set once at the end (see below): doing it
            // here would cost time quadratic in the nesting of unended elements.
            anyMoved = true;
            // An open element is always the last child of its parent.
            closed.next = firstChild;
            Elem(firstChild).prev = e;
            Elem(Elem(up).firstChild).prev = lastChild;
        }
        parent = up;
        --depth;
        if (!resultText.empty()) return;
        const std::u16string& name = openStack[static_cast<size_t>(depth)].name;
        if (endTag != nullptr) {
            AppendAscii(resultText, "End tag ");
            AppendQuoted(resultText, cursor.text + cursor.nameStart,
                         static_cast<size_t>(cursor.nameEnd - cursor.nameStart + 1));
            AppendAscii(resultText, " at offset ");
            AppendDecimal(resultText, endTag->start + 1);
            AppendAscii(resultText, " does not match start tag ");
        } else {
            AppendAscii(resultText, "Element ");
        }
        AppendQuoted(resultText, name.data(), name.size());
        AppendAscii(resultText, " at offset ");
        AppendDecimal(resultText, closed.start);
        if (endTag == nullptr) AppendAscii(resultText, " not ended");
    };

    for (;;) {
        NodeToken& token = openStack[static_cast<size_t>(depth)];
        switch (ScanToken(cursor, token)) {
            case NodeElement: {
                if (elemUsed == elemCapacity) GrowElementTable(0);
                const int32_t e = elemUsed++;
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
                if ((token.flags & FlagEmptyElement) == 0) {
                    if (indexed) openNames.Add(nameOf(e, depth));
                    ++depth;
                    parent = e;
                    if (static_cast<size_t>(depth) == openStack.size()) {
                        openStack.resize(openStack.size() * 2 + 6);
                    }
                }
                break;
            }
            case NodeEndTag: {
                const char16_t* name = cursor.text + cursor.nameStart;
                const int32_t nameLength = cursor.nameEnd - cursor.nameStart + 1;
                int32_t slot = -1;
                int32_t match = 0;
                if (!indexed || openNames.MayClose({name, static_cast<size_t>(nameLength)})) {
                    slot = depth - 1;
                    match = parent;
                    while (slot >= 0 && !EndTagMatches(openStack[static_cast<size_t>(slot)].name,
                                                       name, nameLength)) {
                        --slot;
                        match = Elem(match).parent;
                    }
                }
                if (slot < 0 && !indexed &&
                    (failedWalkSteps += int64_t{depth} * (1 + nameLength)) > kWalkBudget) {
                    indexed = true;
                    for (int32_t k = depth - 1, open = parent; k >= 0; --k) {
                        openNames.Add(nameOf(open, k));
                        open = Elem(open).parent;
                    }
                }
                if (slot < 0) {
                    markError();
                    if (resultText.empty()) {
                        AppendAscii(resultText, "No start tag for end tag ");
                        AppendQuoted(resultText, name, static_cast<size_t>(nameLength));
                        AppendAscii(resultText, " at offset ");
                        AppendDecimal(resultText, token.start);
                    }
                    break;
                }
                ElemPos& matched = Elem(match);
                matched.length = token.start + token.length - matched.start;
                matched.tagLengths = matched.StartTagLength() |
                                     ((static_cast<uint32_t>(token.length) & 0x3FF) << 22);
                if (slot != depth - 1) {
                    Elem(startParent).flagsLevel |= FlagIllFormed;
                    while (depth - 1 > slot) closeNotEnded(&token);
                }
                if (indexed) openNames.Remove(nameOf(match, depth - 1));
                parent = matched.parent;
                --depth;
                break;
            }
            case NodeError:
                markError();
                if (resultText.empty()) resultText = token.name;
                break;
            case NodeEndOfText:
                if (depth > 0) {
                    Elem(startParent).flagsLevel |= FlagIllFormed;
                    while (depth > 0) closeNotEnded(nullptr);
                }
                if (anyMoved) RelinkMovedChildren(firstAdded);
                return firstAdded;
            default:
                break;  // text, whitespace, comments, CDATA, instructions, declarations
        }
    }
}

}  // namespace markup
