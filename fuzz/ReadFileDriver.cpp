// quarn_read_file: feeds files to the reader entries that the fuzzers use.
//
//   quarn_read_file --list
//   quarn_read_file [--memory-limit-mb N] <entry|all> <file>...
//
// Every file is read by the named entry (or by every entry). Exit status 0
// when all reads came back (success or a refusal the readers document);
// a crash, a sanitizer report or an uncaught exception ends the program
// abnormally. With --memory-limit-mb the process may not allocate more than N
// megabytes in one request, nor grow its address space by more than 2 N
// megabytes (plain build; the sanitized build bounds single requests only): an
// attempt makes the program stop with status 3 and a message.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "ReaderEntries.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUARN_DRIVER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARN_DRIVER_ASAN 1
#endif
#endif

#ifdef QUARN_DRIVER_ASAN
// From the sanitizer runtime's allocator interface (its header does not come
// with every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onAllocation)(const volatile void*, size_t),
                                                        void (*onRelease)(const volatile void*));
#endif

namespace {
size_t gRequestLimit = 0;  // 0: no limit

[[noreturn]] void RefuseRequest(size_t size)
{
    std::fprintf(stderr, "quarn_read_file: a reader asked for %zu bytes at once, above the limit of %zu\n", size,
                 gRequestLimit);
    std::_Exit(3);
}

#ifdef QUARN_DRIVER_ASAN
// In the sanitized build the sanitizer's allocator reports every allocation,
// of malloc as well as of new, to a hook.
void OnAllocation(const volatile void*, size_t size)
{
    if (gRequestLimit && size > gRequestLimit) RefuseRequest(size);
}
void OnRelease(const volatile void*) {}
#endif

#ifndef QUARN_DRIVER_ASAN
// Address space now in use, from /proc/self/statm (pages).
size_t AddressSpaceInUse()
{
    FILE* fp = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (fp) {
        if (std::fscanf(fp, "%lu", &pages) != 1) pages = 0;
        std::fclose(fp);
    }
    return static_cast<size_t>(pages) * 4096u;
}
#endif

void SetMemoryLimit(size_t megabytes)
{
    gRequestLimit = megabytes << 20;
#ifndef QUARN_DRIVER_ASAN
    // The sanitizer's shadow memory takes terabytes of address space, so the
    // address space bound applies to the plain build only; the sanitized build
    // relies on the request bound and on its own allocation limit.
    rlimit lim{};
    lim.rlim_cur = lim.rlim_max = AddressSpaceInUse() + 2 * gRequestLimit;
    if (setrlimit(RLIMIT_AS, &lim) != 0) std::perror("quarn_read_file: setrlimit");
#else
    __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnRelease);
#endif
}

bool ReadWhole(const char* path, std::vector<uint8_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}
}  // namespace

#ifndef QUARN_DRIVER_ASAN
// Every request of the readers passes here (the library's operator new
// resolves to the program's), so a request above the limit is seen even when
// a reader would catch the failure.
void* operator new(size_t size)
{
    if (gRequestLimit && size > gRequestLimit) RefuseRequest(size);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    if (gRequestLimit && size > gRequestLimit) RefuseRequest(size);
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& t) noexcept { return operator new(size, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif

int main(int argc, char** argv)
{
    int i = 1;
    if (i < argc && std::strcmp(argv[i], "--list") == 0) {
        for (const auto& e : quarn_fuzz::Entries()) std::printf("%-22s %s\n", e.name, e.what);
        return 0;
    }
    size_t limitMb = 0;
    if (i + 1 < argc && std::strcmp(argv[i], "--memory-limit-mb") == 0) {
        limitMb = std::strtoul(argv[i + 1], nullptr, 10);
        i += 2;
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: %s --list | [--memory-limit-mb N] <entry|all> <file>...\n", argv[0]);
        return 2;
    }
    std::vector<const quarn_fuzz::ReaderEntry*> entries;
    if (std::strcmp(argv[i], "all") == 0) {
        for (const auto& e : quarn_fuzz::Entries()) entries.push_back(&e);
    } else if (const auto* e = quarn_fuzz::FindEntry(argv[i])) {
        entries.push_back(e);
    } else {
        std::fprintf(stderr, "quarn_read_file: no reader entry named %s\n", argv[i]);
        return 2;
    }
    ++i;
    (void)quarn_fuzz::ScratchDir();
    std::vector<std::vector<uint8_t>> files;
    for (int k = i; k < argc; ++k) {
        files.emplace_back();
        if (!ReadWhole(argv[k], files.back())) {
            std::fprintf(stderr, "quarn_read_file: cannot read %s\n", argv[k]);
            return 2;
        }
    }
    if (limitMb) SetMemoryLimit(limitMb);
    for (size_t f = 0; f < files.size(); ++f) {
        for (const auto* e : entries) {
                    e->run(files[f].data(), files[f].size());
            std::printf("%s %s: read\n", e->name, argv[i + static_cast<int>(f)]);
        }
    }
    return 0;
}
