#include "app/user/question.h"

#include "app/user/boxes.h"
#include "base/text.h"

namespace app {

bool UserAgreesToUpdate(Platform& platform, const UpdateContext& context) {
    const BoxAnswer answer = ShowBox(platform, context.hostWindow, Text::NewerVersion,
                                     Text::CaptionInformation, BoxKind::Question);
    platform.Log().Write(u"offer: " + context.packageName + u" from " + context.packageUrl +
                         u"; answer " + BoxAnswerLogCode(answer) +
                         (answer.Is(BoxAnswer::Button::Yes) ? u" (Yes)" : u" (not Yes)"));
    return answer.Is(BoxAnswer::Button::Yes);
}

}  // namespace app
