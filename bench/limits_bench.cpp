// The physical limits of the benchmark: what the operating system costs for
// the least a reader must do with each file.
//   open4k  open, read of the first 4 KiB, close
//   fread   fopen, one fread of the whole file, fclose
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
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
    });
}
