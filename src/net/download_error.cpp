#include "net/download_error.h"

namespace net {
namespace {

struct ErrorEntry {
    std::u16string_view name;
    std::u16string_view text;
};

// In the order of the enumeration.
constexpr ErrorEntry kErrors[] = {
    {u"None", u""},
    {u"OpenFailed", u"初始化HTTP接口失败"},
    {u"ConnectFailed", u"连接HTTP服务器失败"},
    {u"RequestFailed", u"初始化HTTP请求失败"},
    {u"SendFailed", u"发送HTTP请求失败"},
    {u"HeadQueryFailed", u"查询HTTP返回头失败"},
    {u"NotFound", u"请求文件不存在!"},
    {u"ServerError", u"HTTP服务器返回错误"},
    {u"TooLong", u"下载文件失败，请检查网络设置"},
    {u"CreateFileFailed", u"创建文件失败，可能是文件正在被占用"},
    {u"WriteFailed", u"写入文件失败"},
    {u"DownloadFailed", u"下载文件失败，请检查网络设置"},
    {u"RedirectRefused", u"HTTP服务器返回错误"},
    {u"TimedOut", u"下载文件失败，请检查网络设置"},
    {u"Stalled", u"下载文件失败，请检查网络设置"},
    {u"Cancelled", u"下载已取消"},
    {u"RangeRefused", u"下载文件失败，请检查网络设置"},
    {u"UnaskedRange", u"HTTP服务器返回错误"},
    {u"NoSpace", u"磁盘空间不足"},
};

const ErrorEntry& Entry(DownloadError error) {
    return kErrors[static_cast<int>(error)];
}

}  // namespace

std::u16string_view DownloadErrorName(DownloadError error) {
    return Entry(error).name;
}

std::u16string_view DownloadErrorText(DownloadError error) {
    return Entry(error).text;
}

}  // namespace net
