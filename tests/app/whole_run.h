#pragma once
// One whole update over the fake roles, summed up as what the user, the host and the server
// saw, for the tables that each vary one step of a run.

#include <string>

#include "app/run/update_run.h"
#include "app/user/texts.h"
#include "fake_roles.h"

namespace apptest {

// "box <owner> <text> <caption> <kind>" for the texts of the one table.
inline std::string Box(int owner, app::Text text, app::Text caption, const std::string& kind) {
    return "box " + std::to_string(owner) + " " + Utf8(std::u16string(app::TextOf(text))) + " " +
           Utf8(std::u16string(app::TextOf(caption))) + " " + kind;
}
inline const std::string kAsk =
    Box(920, app::Text::NewerVersion, app::Text::CaptionInformation, "question");
inline const std::string kFail =
    Box(920, app::Text::UpdateFailed, app::Text::CaptionError, "error");

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

// A clean archiver unpacks app.7z, offered with attributes, as a new App.exe over the old one.
inline void ServeArchive(FakeRun& run, const std::string& attributes = "") {
    run.processes.archiverRun.state = app::HiddenRun::State::Ended;
    run.files.AddFile(u"C:\\App\\App.exe", "old");
    run.processes.unpack = [&run] { run.files.AddFile(run.Stage() + u"App.exe", "new"); };
    run.net.bodies[u"srv/update.xml"] = Offer("app.7z", "0", attributes);
    run.net.bodies[u"srv/app.7z"] = "package bytes";
}

// In order: each box, each address fetched ("GET ..."), "told" when the host window was sent
// 0x467, "unpack" when the archiver was run, what was started ("start ..." as a program,
// "open ..." by the shell, %W% for the work folder); then "package left" when the package is
// still in the work folder.
inline std::string RunWhole(FakeRun& run,
                            const std::u16string& launch = u"2.2#920#http://srv/update.xml") {
    run.exitCode = app::RunAndReport(launch, run.roles);
    const std::u16string workFolder = run.WorkFolder() + u"\\";
    const std::string work = Utf8(workFolder);
    std::string seen;
    for (std::string line : run.seen) {
        if (line.starts_with("send ")) {
            line = "told";
        } else if (line.starts_with("run ")) {
            line = "unpack";
        } else if (!line.starts_with("box ") && !line.starts_with("GET ") &&
                   !line.starts_with("open ") && !line.starts_with("start ")) {
            continue;
        }
        if (const std::size_t at = line.find(work); !work.empty() && at != std::string::npos) {
            line.replace(at, work.size(), "%W%");
        }
        seen += (seen.empty() ? "" : "; ") + line;
    }
    for (const auto& [path, node] : run.files.Under(workFolder)) {
        const bool kept = path == u"update.xml" || path == u"update.xml.sig";
        if (!node.folder && !kept && !path.starts_with(u"stage\\")) seen += "; package left";
    }
    return seen;
}

}  // namespace apptest
