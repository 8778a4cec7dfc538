#include "bench_files.h"

#include <cstdint>

namespace {

// A small fixed-seed generator so the files do not depend on the standard library's engines.
class Random {
  public:
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

  private:
    uint64_t state = 0x2545F4914F6CDD1Dull;
};

const char* const kWords[] = {"core", "app", "data",   "plugin", "lang", "res",
                              "bin",  "lib", "update", "help",   "skin", "font"};
const char* const kChinese[] = {"更新", "程序", "文件",   "下载",     "版本",
                                "安装", "完成", "请稍候", "正在检查", "配置"};

void AppendWord(std::string& out, Random& random) {
    out += kWords[random.Below(12)];
}

}  // namespace

std::string MakeManifestFile(size_t targetBytes) {
    Random random;
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config>\n";
    out += "  <update version=\"3.2.1045\" type=\"7z\" run=\"App.exe\"/>\n";
    for (int group = 0; out.size() < targetBytes; ++group) {
        out += "  <UpdateExe group=\"" + std::to_string(group) + "\">\n";
        for (int item = 0; item < 50 && out.size() < targetBytes; ++item) {
            std::string name;
            AppendWord(name, random);
            name += "_" + std::to_string(random.Below(100000)) + ".dll";
            out += "    <item name=\"" + name + "\" url=\"http://updates.example.com/files/";
            AppendWord(out, random);
            out += "/" + name;
            if (random.Below(4) == 0) out += "?v=" + std::to_string(group) + "&amp;k=x";
            out += "\" size=\"" + std::to_string(random.Below(10000000)) + "\"";
            const uint32_t extra = random.Below(4);  // 3 to 6 attributes
            if (extra > 0) out += " md5=\"" + std::to_string(random.Next()) + "\"";
            if (extra > 1) out += " note='&lt;" + std::string(kWords[random.Below(12)]) + "&gt;'";
            if (extra > 2) out += " mark=\"&#x41;&#66;\"";
            if (random.Below(8) == 0) {
                out += ">\n      <part offset=\"" + std::to_string(random.Below(1000)) +
                       "\" length=\"" + std::to_string(random.Below(1000)) + "\"/>\n    </item>\n";
            } else {
                out += "/>\n";
            }
        }
        out += "  </UpdateExe>\n";
    }
    out += "</config>\n";
    return out;
}

std::string MakeMixedFile(size_t targetBytes) {
    Random random;
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- generated -->\n<book>\n";
    for (int chapter = 0; out.size() < targetBytes; ++chapter) {
        out += "<chapter n=\"" + std::to_string(chapter) + "\" title=\"" +
               kChinese[random.Below(10)] + "\">\n";
        out += "<?page break?>\n";
        for (int section = 0; section < 20 && out.size() < targetBytes; ++section) {
            out += "<section><div class=\"s\"><p lang=\"zh\" note=\"";
            out += kChinese[random.Below(10)];
            out += "\">";
            for (int k = random.Below(6) + 2; k > 0; --k) {
                out += kChinese[random.Below(10)];
                out += random.Below(3) == 0 ? "，" : "";
                AppendWord(out, random);
                out += ' ';
            }
            out += "<b>";
            out += kChinese[random.Below(10)];
            out += "</b> &amp; more text</p>\n";
            if (random.Below(3) == 0) out += "<!-- 注释 " + std::to_string(section) + " -->\n";
            if (random.Below(4) == 0) out += "<![CDATA[if (a < b && c > d) { x(); }]]>\n";
            out += "<list><li><span>";
            AppendWord(out, random);
            out += "</span></li><li><span>";
            out += kChinese[random.Below(10)];
            out += "</span></li></list></div></section>\n";
        }
        out += "</chapter>\n";
    }
    out += "</book>\n";
    return out;
}
