#pragma once
// Every text the user sees, in one table: the boxes of a run and the progress window. A
// language is a column of this table; adding one is a new column and a new Language.

#include <string_view>

namespace app {

// The languages the texts are written in. Chinese is what the updater has always shown; every
// user whose interface is in another language reads English.
enum class Language { Chinese, English };

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
    std::u16string_view english;
};

inline constexpr TextRow kTexts[] = {
    {Text::ParameterError, u"参数错误！", u"Invalid launch parameters."},
    {Text::UpToDate, u"当前已经是最新版本，无需更新", u"You already have the latest version."},
    {Text::NewerVersion, u"发现新版本，是否立即更新？", u"A new version is available. Update now?"},
    {Text::UpdateFailed, u"更新失败，请稍后重试", u"The update failed. Please try again later."},
    {Text::CaptionError, u"出错了：", u"Error"},
    {Text::CaptionInformation, u"信息：", u"Information"},
    {Text::ProgressCaption, u"正在更新", u"Updating"},
    {Text::ProgressText, u"正在下载更新…", u"Downloading the update…"},
    {Text::ProgressCancel, u"取消", u"Cancel"},
};

constexpr std::u16string_view TextOf(Text id, Language language = Language::Chinese) {
    for (const TextRow& row : kTexts) {
        if (row.id == id) return language == Language::Chinese ? row.chinese : row.english;
    }
    return {};
}

}  // namespace app
