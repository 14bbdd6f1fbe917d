// The physical limits of the benchmark: what the operating system costs for
// the least a reader must do with each file.
//   open4k  open, read of the first 4 KiB, close
//   fread   fopen, one fread of the whole file into one buffer kept for all files, fclose
//   freadnew  the same into a buffer allocated for each file and freed after it,
//           as a reader that hands out each file's pixels must (what the
//           allocator and the kernel cost for fresh memory)
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchCommon.h"

int main(int argc, char** argv)
{
    static std::vector<unsigned char> buffer(8u << 20);
    return bench::Run(argc, argv, {
        {"open4k", [](const std::vector<std::string>& names) {
             long long total = 0;
             for (const std::string& name : names) {
                 const int fd = ::open(name.c_str(), O_RDONLY);
                 if (fd < 0) bench::Die("cannot open " + name);
                 total += ::read(fd, buffer.data(), 4096);
                 ::close(fd);
             }
             return total;
         }},
        {"fread", [](const std::vector<std::string>& names) {
             long long total = 0;
             for (const std::string& name : names) {
                 FILE* fp = std::fopen(name.c_str(), "rb");
                 if (!fp) bench::Die("cannot open " + name);
                 total += static_cast<long long>(std::fread(buffer.data(), 1, buffer.size(), fp));
                 std::fclose(fp);
             }
             return total;
         }},
        {"freadnew", [](const std::vector<std::string>& names) {
             long long total = 0;
             for (const std::string& name : names) {
                 FILE* fp = std::fopen(name.c_str(), "rb");
                 if (!fp) bench::Die("cannot open " + name);
                 struct stat st;
                 if (fstat(fileno(fp), &st) != 0) bench::Die("cannot stat " + name);
                 auto* fresh = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(st.st_size)));
                 if (!fresh) bench::Die("out of memory");
                 total += static_cast<long long>(std::fread(fresh, 1, static_cast<size_t>(st.st_size), fp));
                 std::fclose(fp);
                 std::free(fresh);
             }
             return total;
         }},
    });
}
