#include "app/user/boxes.h"

namespace app {

BoxAnswer ShowBox(Roles& roles, std::int32_t owner, Text text, Text caption, BoxKind kind) {
    return ShowBox(roles, owner, std::u16string(TextOf(text, roles.desktop.UserLanguage())),
                   caption, kind);
}

BoxAnswer ShowBox(Roles& roles, std::int32_t owner, const std::u16string& body, Text caption,
                  BoxKind kind) {
    const std::u16string title(TextOf(caption, roles.desktop.UserLanguage()));
    if (owner != 0 && roles.desktop.WindowExists(owner)) {
        const BoxAnswer answer = roles.desktop.ShowMessageBox(owner, body, title, kind);
        if (!answer.Is(BoxAnswer::Button::NotShown)) return answer;
    }
    return roles.desktop.ShowMessageBox(0, body, title, kind);
}

void ReportOutcome(Roles& roles, RunOutcome outcome, std::int32_t hostWindow,
                   const LaunchOptions& options) {
    const OutcomeRow& row = RowOf(outcome);
    if (!row.logName.empty()) roles.log.Write(u"outcome: " + std::u16string(row.logName));
    if (row.box && !options.Unattended())
        ShowBox(roles, row.ownedByHost ? hostWindow : 0, row.text, row.caption, row.kind);
}

}  // namespace app
