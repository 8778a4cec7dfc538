#include "app/run_outcome.h"

namespace app {

void ShowOutcome(Platform& platform, RunOutcome outcome, std::int32_t hostWindow) {
    switch (outcome) {
        case RunOutcome::ParameterError:
            platform.ShowMessageBox(hostWindow, u"参数错误！", u"出错了：", kBoxIconError);
            break;
        case RunOutcome::Failed:
            // A failure must not look like "nothing to do".
            platform.ShowMessageBox(hostWindow, u"更新失败，请稍后重试", u"出错了：",
                                    kBoxIconError);
            break;
        case RunOutcome::UpToDate:
            platform.ShowMessageBox(hostWindow, u"当前已经是最新版本，无需更新", u"信息：",
                                    kBoxIconInformation);
            break;
    }
}

}  // namespace app
