#include "app/user/question.h"

#include "app/user/boxes.h"
#include "base/text.h"

namespace app {

bool UserAgreesToUpdate(Roles& roles, std::int32_t hostWindow, const Offer& offer) {
    const BoxAnswer answer =
        ShowBox(roles, hostWindow, Text::NewerVersion, Text::CaptionInformation, BoxKind::Question);
    roles.log.Write(u"offer: " + offer.name + u" from " + offer.address + u"; answer " +
                    BoxAnswerLogCode(answer) +
                    (answer.Is(BoxAnswer::Button::Yes) ? u" (Yes)" : u" (not Yes)"));
    return answer.Is(BoxAnswer::Button::Yes);
}

}  // namespace app
