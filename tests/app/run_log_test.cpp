// update.log: the line format, lines kept until the work folder exists, and failed writes.

#include <gtest/gtest.h>

#include "app/log/download_log.h"
#include "app/log/update_log.h"
#include "fake_roles.h"

namespace {

TEST(LogLine, StampsTheTimeAndKeepsEachStepOnOneLine) {
    const app::LogTime time{2026, 12, 7, 1, 5, 9, 42};
    const std::pair<std::u16string, std::string> cases[] = {
        {u"plain", "2026-12-07 01:05:09.042 plain\r\n"},
        {u"正在下载更新…", "2026-12-07 01:05:09.042 正在下载更新…\r\n"},
        // Text from a launch string or a server cannot forge lines of its own.
        {u"a\r\n2026-01-01 00:00:00.000 forged\tb\x7f",
         "2026-12-07 01:05:09.042 a  2026-01-01 "
         "00:00:00.000 forged b \r\n"},
        // Nor make one look like another: C1 controls, separators, direction overrides.
        {u"a\u0085b\u2028c\u2029d\u202Eexe.txt\u200F\u2066e\u2069",
         "2026-12-07 01:05:09.042 a b c d exe.txt  e \r\n"},
        {u"\U0001F600 \xD800x \xDC00",
         "2026-12-07 01:05:09.042 \xF0\x9F\x98\x80 \xEF\xBF\xBDx "
         "\xEF\xBF\xBD\r\n"},
    };
    for (const auto& [text, line] : cases) EXPECT_EQ(app::LogLine(time, text), line);
}

TEST(AddressForLog, DropsUserInfoQueryAndFragment) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"https://srv/a/u.xml?token=s3cret", u"https://srv/a/u.xml"},
        {u"http://user:pw@srv:8080/p?x#y", u"http://srv:8080/p"},
        {u"https://srv/a@b/c.7z", u"https://srv/a@b/c.7z"},
        {u"srv/p?q", u"srv/p"},
    };
    for (const auto& [address, logged] : cases) EXPECT_EQ(app::AddressForLog(address), logged);
    EXPECT_EQ(app::LaunchStringForLog(u"2.2#920#https://u:p@srv/x.xml?k=1#silent"),
              u"2.2#920#https://srv/x.xml#silent");
    EXPECT_EQ(app::LaunchStringForLog(u"2.2#920"), u"2.2#920");
}

TEST(FileRunLog, KeepsEarlyLinesAndRetriesAFailedWriteWithoutLosingLines) {
    std::string file;
    bool diskFull = false;
    std::u16string writtenTo;
    app::FileRunLog log([] { return app::LogTime{2026, 1, 2, 3, 4, 5, 6}; },
                        [&](const std::u16string& path, std::string_view bytes) {
                            writtenTo = path;
                            if (diskFull) return false;
                            file += bytes;
                            return true;
                        });
    log.Write(u"before");
    EXPECT_EQ(file, "");  // no folder yet
    log.UseFolder(u"C:\\T\\UpdateTemp1\\");
    EXPECT_EQ(writtenTo, u"C:\\T\\UpdateTemp1\\update.log");
    diskFull = true;
    log.Write(u"lost?");
    diskFull = false;
    log.Write(u"after");
    EXPECT_EQ(file,
              "2026-01-02 03:04:05.006 before\r\n2026-01-02 03:04:05.006 lost?\r\n"
              "2026-01-02 03:04:05.006 after\r\n");
}

}  // namespace
