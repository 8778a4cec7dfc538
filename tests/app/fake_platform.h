#pragma once
// Records every platform call of a run as one line of text, in order, and answers boxes
// from a script.

#include <deque>
#include <string>
#include <vector>

#include "app/platform.h"
#include "fake_net.h"

namespace apptest {

class FakePlatform final : public app::Platform {
  public:
    FakePlatform() { net.log = &log; }

    int ShowMessageBox(std::int32_t owner, const std::u16string& text,
                       const std::u16string& caption, std::uint32_t flags) override {
        log.push_back("box " + std::to_string(owner) + " " + ToUtf8(text) + " " + ToUtf8(caption) +
                      " " + std::to_string(flags));
        if (answers.empty()) return 6;  // IDYES
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SendToWindow(std::int32_t window, std::uint32_t message) override {
        log.push_back("send " + std::to_string(window) + " " + std::to_string(message));
    }
    void Pause(std::uint32_t milliseconds) override {
        log.push_back("pause " + std::to_string(milliseconds));
    }
    std::u16string TempPath() override { return tempPath; }
    std::u16string ModulePath() override { return modulePath; }
    std::int64_t NowSeconds() override { return now; }
    bool RunHiddenAndWait(const std::u16string& application,
                          const std::u16string& commandLine) override {
        log.push_back("run " + ToUtf8(application) + " | " + ToUtf8(commandLine));
        return archiverStarts;
    }
    void OpenWithShell(const std::u16string& file) override {
        log.push_back("open " + ToUtf8(file));
    }
    net::NetApi& Net() override { return net; }

    std::vector<std::string> log;
    std::deque<int> answers;
    std::u16string tempPath = u"C:\\Temp\\";
    std::u16string modulePath = u"C:\\App\\updater.exe";
    std::int64_t now = 1700000000;
    bool archiverStarts = true;
    FakeNet net;
};

}  // namespace apptest
