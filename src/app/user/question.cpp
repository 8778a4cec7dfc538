#include "app/user/question.h"

#include "app/log/download_log.h"
#include "app/user/boxes.h"
#include "app/user/notes.h"
#include "base/text.h"

namespace app {

bool UserAgreesToUpdate(Roles& roles, std::int32_t hostWindow, const Offer& offer, bool silent) {
    if (silent) {
        roles.log.Write(u"offer: " + offer.name + u" from " + AddressForLog(offer.address) +
                        u"; silent run, the host's call is the consent");
        return true;
    }
    const std::u16string question =
        QuestionWithNotes(TextOf(Text::NewerVersion, roles.desktop.UserLanguage()), offer.notes);
    const BoxAnswer answer =
        ShowBox(roles, hostWindow, question, Text::CaptionInformation, BoxKind::Question);
    roles.log.Write(u"offer: " + offer.name + u" from " + AddressForLog(offer.address) +
                    u"; answer " + BoxAnswerLogCode(answer) +
                    (answer.Is(BoxAnswer::Button::Yes) ? u" (Yes)" : u" (not Yes)"));
    return answer.Is(BoxAnswer::Button::Yes);
}

}  // namespace app
