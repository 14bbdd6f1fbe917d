// Shared frame of the benchmark programs: the file list, the passes and the
// report. Every program is called as
//   PROGRAM MODE LIST_FILE [PASSES [WARMUPS]]
// and prints, for each timed pass, one line "pass WALL CPU CHECK": the
// wall-clock seconds, the seconds of processor time the process spent (user
// and system: the reading, and the kernel's work for it), and a number
// computed from what the pass read (instance numbers, pixels) so that the
// runner can see every reader did the same work.
#ifndef QUARN_BENCH_COMMON_H
#define QUARN_BENCH_COMMON_H

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline std::vector<std::string> ReadList(const char* path)
{
    std::vector<std::string> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) names.push_back(line);
    if (names.empty()) {
        std::fprintf(stderr, "no files listed in %s\n", path);
        std::exit(2);
    }
    return names;
}

inline double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One pass over the list: returns the check value.
using Pass = std::function<long long(const std::vector<std::string>&)>;

struct Mode {
    const char* name;
    Pass pass;
};

inline int Run(int argc, char** argv, const std::vector<Mode>& modes)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MODE LIST_FILE [PASSES [WARMUPS]]\nmodes:", argv[0]);
        for (const Mode& m : modes) std::fprintf(stderr, " %s", m.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::vector<std::string> names = ReadList(argv[2]);
    const int passes = argc > 3 ? std::atoi(argv[3]) : 1;
    const int warmups = argc > 4 ? std::atoi(argv[4]) : 1;
    for (const Mode& m : modes) {
        if (mode != m.name) continue;
        for (int i = 0; i < warmups; ++i) m.pass(names);
        for (int i = 0; i < passes; ++i) {
            const double c0 = CpuSeconds();
            const auto t0 = std::chrono::steady_clock::now();
            const long long check = m.pass(names);
            const auto t1 = std::chrono::steady_clock::now();
            const double c1 = CpuSeconds();
            std::printf("pass %.9f %.9f %lld\n", std::chrono::duration<double>(t1 - t0).count(), c1 - c0, check);
            std::fflush(stdout);
        }
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}

// The pixel in the middle of an image, for the check value.
inline long long Centre(const unsigned short* pixels, int rows, int cols)
{
    return pixels[(rows / 2) * cols + cols / 2];
}

[[noreturn]] inline void Die(const std::string& what)
{
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

}  // namespace bench

#endif
