#pragma once
// One whole update over the fake platform, summed up as what the user, the host and the server
// saw, for the tables that each vary one step of a run.

#include <string>

#include "app/update_run.h"
#include "fake_platform.h"

namespace apptest {

inline const std::string kAsk = "box 920 发现新版本，是否立即更新？ 信息： 36";
inline const std::string kFail = "box 920 更新失败，请稍后重试 出错了： 16";

// A manifest offering version 2.4 with run target App.exe: the installer when type is "1",
// else the archive; attributes go on both package elements.
inline std::string Offer(const std::string& name, const std::string& type = "0",
                         const std::string& attributes = "") {
    const std::string package =
        "name=\"" + name + "\" url=\"http://srv/" + name + "\"" + attributes;
    return "<config><update version=\"2.4\" type=\"" + type + "\" run=\"App.exe\"/>" +
           "<UpdateInstall " + package + "/><UpdateExe><item " + package +
           "/></UpdateExe></config>";
}

// In order: each box, each address fetched ("GET ..."), "told" when the host window was sent
// 0x467, "unpack" when the archiver was run, what was started ("open ...", %W% for the work
// folder); then "package left" when the package is still in the work folder.
inline std::string RunWhole(FakePlatform& platform,
                            const std::u16string& launch = u"2.2#920#http://srv/update.xml") {
    app::UpdateContext context;
    app::RunAndReport(launch, context, platform);
    const std::string work = Utf8(context.workFolder);
    std::string seen;
    for (std::string line : platform.log) {
        if (line.starts_with("send ")) {
            line = "told";
        } else if (line.starts_with("run ")) {
            line = "unpack";
        } else if (!line.starts_with("box ") && !line.starts_with("GET ") &&
                   !line.starts_with("open ")) {
            continue;
        }
        if (const std::size_t at = line.find(work); !work.empty() && at != std::string::npos) {
            line.replace(at, work.size(), "%W%");
        }
        seen += (seen.empty() ? "" : "; ") + line;
    }
    if (!context.packageName.empty() &&
        platform.baseFiles.Has(context.workFolder + context.packageName)) {
        seen += "; package left";
    }
    return seen;
}

}  // namespace apptest
