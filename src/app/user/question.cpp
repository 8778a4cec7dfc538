#include "app/user/question.h"

#include "app/user/boxes.h"
#include "base/text.h"

namespace app {

bool UserAgreesToUpdate(Roles& roles, const UpdateContext& context) {
    const BoxAnswer answer = ShowBox(roles, context.hostWindow, Text::NewerVersion,
                                     Text::CaptionInformation, BoxKind::Question);
    roles.log.Write(u"offer: " + context.packageName + u" from " + context.packageUrl +
                    u"; answer " + BoxAnswerLogCode(answer) +
                    (answer.Is(BoxAnswer::Button::Yes) ? u" (Yes)" : u" (not Yes)"));
    return answer.Is(BoxAnswer::Button::Yes);
}

}  // namespace app
