// Outputs written whole or not at all: a temporary file in the target's
// folder, renamed over the target once everything reached the disk.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "QuarnSeries.h"

namespace quarn {

void WriteWhole(const std::string& path, const std::function<bool(std::FILE*)>& write)
{
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string temp = dir + "/.quarn-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw Error(Reason::WriteFailed, path, std::string("cannot create a file in ") + dir + ": " + std::strerror(errno));
    std::FILE* fp = ::fdopen(fd, "wb");
    if (!fp) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        throw Error(Reason::WriteFailed, path, std::strerror(err));
    }
    errno = 0;
    bool ok = false;
    try {
        ok = write(fp);
    } catch (...) {  // the writer gave up (a slice it was writing could not be read): nothing is left behind
        std::fclose(fp);
        ::unlink(temp.c_str());
        throw;
    }
    int err = errno;
    ok = std::fflush(fp) == 0 && ok;
    if (!err) err = errno;
    ok = ::fsync(::fileno(fp)) == 0 && ok;
    if (!err) err = errno;
    ok = std::fclose(fp) == 0 && ok;
    if (!err) err = errno;
    if (ok) {
        // A new file gets the permissions any other new file would get.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.c_str(), 0666 & ~mask);
    }
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        const int why = ok ? errno : err;
        ::unlink(temp.c_str());
        throw Error(Reason::WriteFailed, path, std::string("write failed: ") + std::strerror(why ? why : EIO));
    }
}

void WriteWholeText(const std::string& path, const std::string& text)
{
    WriteWhole(path, [&](std::FILE* fp) { return std::fwrite(text.data(), 1, text.size(), fp) == text.size(); });
}

}  // namespace quarn
