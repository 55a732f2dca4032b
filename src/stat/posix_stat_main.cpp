// hourlink-stat on POSIX systems: the file read with the C++ library, GBK names
// decoded with iconv, output written to the standard streams as UTF-8.
#include <errno.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/base/utf8.h"
#include "core/history/stat_report.h"

namespace {

class PosixPlatform final : public hourlink::stat::Platform {
  public:
    FileRead ReadFile(const std::string& path) override {
        FileRead read;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            read.found = errno != ENOENT && errno != ENOTDIR;
            read.error = std::strerror(errno);
            return read;
        }
        read.found = true;
        if (S_ISDIR(info.st_mode)) {
            read.error = "这是一个目录";
            return read;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            read.error = std::strerror(errno);
            return read;
        }
        read.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) read.error = "读取失败";
        return read;
    }

    std::string GbkToUtf8(std::string_view gbk) override {
        std::string out;
        iconv_t cd = iconv_open("UTF-8", "GBK");
        if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(gbk);
        std::string input(gbk);
        char* in = input.data();
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char buffer[64];
            char* to = buffer;
            std::size_t toLeft = sizeof buffer;
            const std::size_t r = iconv(cd, &in, &inLeft, &to, &toLeft);
            out.append(buffer, static_cast<std::size_t>(to - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                // A byte that starts no GBK character: one replacement character.
                hourlink::AppendUtf8(out, 0xFFFD);
                ++in;
                --inLeft;
            }
        }
        iconv_close(cd);
        return out;
    }

    std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    bool Out(std::string_view text) override {
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    }
    bool FlushOut() override { return std::fflush(stdout) == 0 && !std::ferror(stdout); }
    void Err(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stderr); }

    // The folder of the running executable; there are no program settings
    // here, so it is the program's folder too.
    std::wstring OwnDirectory() override {
        std::string path(4096, '\0');
        const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
        path.resize(static_cast<std::size_t>(length));
        path.resize(path.rfind('/') + 1);
        return hourlink::Utf8ToWide(path);
    }
    bool CanWriteIn(const std::wstring&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    PosixPlatform platform;
    return hourlink::stat::Run(args, platform);
}
