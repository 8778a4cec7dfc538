#include "app/user/boxes.h"

namespace app {

BoxAnswer ShowBox(Platform& platform, std::int32_t owner, Text text, Text caption, BoxKind kind) {
    const std::u16string body(TextOf(text)), title(TextOf(caption));
    if (owner != 0 && platform.WindowExists(owner)) {
        const BoxAnswer answer = platform.ShowMessageBox(owner, body, title, kind);
        if (!answer.Is(BoxAnswer::Button::NotShown)) return answer;
    }
    return platform.ShowMessageBox(0, body, title, kind);
}

void ReportOutcome(Platform& platform, RunOutcome outcome, std::int32_t hostWindow) {
    const OutcomeRow& row = RowOf(outcome);
    if (!row.logName.empty()) platform.Log().Write(u"outcome: " + std::u16string(row.logName));
    if (row.box)
        ShowBox(platform, row.ownedByHost ? hostWindow : 0, row.text, row.caption, row.kind);
}

}  // namespace app
