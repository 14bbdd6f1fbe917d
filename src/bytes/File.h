// Internal to the library: the one owning handle of an open C stream. It
// closes the stream when it goes out of scope, unless the stream was handed on.
#ifndef QUARN_SRC_BYTES_FILE_H
#define QUARN_SRC_BYTES_FILE_H

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

}  // namespace quarn::bytes

#endif
