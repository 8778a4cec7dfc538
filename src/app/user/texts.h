#pragma once
// Every text the user sees, in one table: the boxes of a run and the progress window. A
// language is a column of this table.

#include <string_view>

namespace app {

enum class Text {
    // Boxes.
    ParameterError,  // the launch string is unusable
    UpToDate,        // the offered version is not newer
    NewerVersion,    // the question: update now?
    UpdateFailed,    // manifest or package did not arrive or could not be used
    CaptionError,
    CaptionInformation,
    // The progress window.
    ProgressCaption,
    ProgressText,
    ProgressCancel,
};

struct TextRow {
    Text id;
    std::u16string_view chinese;
};

inline constexpr TextRow kTexts[] = {
    {Text::ParameterError, u"参数错误！"},
    {Text::UpToDate, u"当前已经是最新版本，无需更新"},
    {Text::NewerVersion, u"发现新版本，是否立即更新？"},
    {Text::UpdateFailed, u"更新失败，请稍后重试"},
    {Text::CaptionError, u"出错了："},
    {Text::CaptionInformation, u"信息："},
    {Text::ProgressCaption, u"正在更新"},
    {Text::ProgressText, u"正在下载更新…"},
    {Text::ProgressCancel, u"取消"},
};

// The text in the one language there is today.
constexpr std::u16string_view TextOf(Text id) {
    for (const TextRow& row : kTexts) {
        if (row.id == id) return row.chinese;
    }
    return {};
}

}  // namespace app
