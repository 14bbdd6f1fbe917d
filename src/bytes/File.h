// Internal to the library: the owning handles of an open C stream and of a
// file descriptor opened for reading. Each closes what it holds when it goes
// out of scope, unless the stream was handed on.
#ifndef QUARN_SRC_BYTES_FILE_H
#define QUARN_SRC_BYTES_FILE_H

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace quarn::bytes {

struct CloseStream {
    void operator()(FILE* fp) const
    {
        if (fp) std::fclose(fp);
    }
};

class File {
public:
    File() = default;
    explicit File(FILE* fp) : fp_(fp) {}
    // Opens `name` in `mode`; a null name gives a closed handle.
    File(const char* name, const char* mode) : fp_(name ? std::fopen(name, mode) : nullptr) {}

    explicit operator bool() const { return fp_ != nullptr; }
    FILE* get() const { return fp_.get(); }
    // Hands the stream on: the handle no longer closes it.
    FILE* Release() { return fp_.release(); }
    void Close() { fp_.reset(); }
    // Closes the stream and tells whether everything written reached it.
    bool CloseChecked()
    {
        FILE* fp = fp_.release();
        return fp && std::fclose(fp) == 0;
    }

private:
    std::unique_ptr<FILE, CloseStream> fp_;
};

// A file descriptor opened for reading (the open retried when a signal
// interrupts it); closed when the handle goes out of scope.
class Descriptor {
public:
    explicit Descriptor(const char* name)
    {
        if (!name) return;
        do fd_ = ::open(name, O_RDONLY | O_CLOEXEC);
        while (fd_ < 0 && errno == EINTR);
    }
    ~Descriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    explicit operator bool() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Hands the descriptor on: the handle no longer closes it.
    int Release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

}  // namespace quarn::bytes

#endif
