#include "app/log/support_copy.h"

#include "net/file_sink.h"

namespace app {

void KeepSupportCopy(Roles& roles, const std::u16string& path, std::string_view bytes) {
    net::FileSink copy(roles.files, path);
    base::FileResult result = copy.Begin(0, static_cast<std::int64_t>(bytes.size()));
    if (result.Ok()) result = copy.Write(bytes.data(), bytes.size());
    const base::FileResult finished = copy.Finish();
    if (result.Ok()) result = finished;
    if (!result.Ok()) roles.log.Write(u"could not keep " + path + u": " + result.Describe());
}

}  // namespace app
