#include "app/run_outcome.h"

namespace app {

int ShowBox(Platform& platform, std::int32_t owner, const std::u16string& text,
            const std::u16string& caption, std::uint32_t flags) {
    if (owner != 0 && platform.WindowExists(owner)) {
        const int answer = platform.ShowMessageBox(owner, text, caption, flags);
        if (answer > 0) return answer;
    }
    return platform.ShowMessageBox(0, text, caption, flags);
}

void ShowOutcome(Platform& platform, RunOutcome outcome, std::int32_t hostWindow) {
    switch (outcome) {
        case RunOutcome::ParameterError:
            platform.ShowMessageBox(0, u"参数错误！", u"出错了：", kBoxIconError);
            break;
        case RunOutcome::Failed:
            // A failure must not look like "nothing to do".
            ShowBox(platform, hostWindow, u"更新失败，请稍后重试", u"出错了：", kBoxIconError);
            break;
        case RunOutcome::UpToDate:
            ShowBox(platform, hostWindow, u"当前已经是最新版本，无需更新", u"信息：",
                    kBoxIconInformation);
            break;
    }
}

}  // namespace app
