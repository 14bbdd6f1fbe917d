#!/usr/bin/python3
"""Runs the benchmark: Quarn, pydicom, DCMTK and GDCM on the same files, and
the operating system's limits, in one run on a warm page cache.

Every measurement is one call of a benchmark program (one untimed warm-up
pass, one timed pass). The calls go round-robin through all measurements,
REPS rounds, so that a slow spell of the shared machine hits every reader
alike; the figure reported is the median of the rounds. Readers much slower
than the rest (pydicom, GDCM's decode) read the first files of a series only:
their rates per file are comparable all the same.

Afterwards: instructions per file of the series scan under callgrind on a
100-file subset, and the peak heap of a 1000-file scan under massif.

Usage: runner.py --build BUILD_DIR --corpus CORPUS_DIR [--reps N] [--out FILE]
"""
import argparse
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PY = "/usr/bin/python3"

SCAN_SERIES = ["explicit-512-b12", "implicit-512-b12", "nema-512-b12"]
READ_SERIES = ["explicit-256-b12", "explicit-256-b16", "explicit-512-b12", "explicit-512-b16",
               "implicit-512-b12", "nema-256-b12", "nema-512-b12"]
SLOW_FILES = 100  # files read by the slow readers


class Measure:
    def __init__(self, kind, series, reader, cmd, role, files=None):
        self.kind = kind        # "scan" (headers), "read" (whole slices) or "genesis"
        self.series = series
        self.reader = reader    # label in the table
        self.cmd = cmd          # program and mode; list, passes and warm-ups are appended
        self.role = role        # "limit", "quarn" or "peer"
        self.files = files      # None: the whole series
        self.times = []         # processor seconds of the timed pass, one per round
        self.walls = []         # wall-clock seconds
        self.checks = set()
        self.count = 0
        self.bytes = 0


def read_list(corpus, series):
    with open(os.path.join(corpus, series, "files.txt")) as f:
        return [line.strip() for line in f if line.strip()]


def build_measures(build, corpus):
    b = os.path.join(build, "bench")
    lim, q, d, g = (os.path.join(b, n) for n in ("limits_bench", "quarn_bench", "dcmtk_bench", "gdcm_bench"))
    p = [PY, os.path.join(HERE, "pydicom_bench.py")]
    out = []
    for s in SCAN_SERIES:
        out += [
            Measure("scan", s, "limit: open + read 4 KiB + close", [lim, "open4k"], "limit"),
            Measure("scan", s, "Quarn FindDicomFileImageRange", [q, "scan"], "quarn"),
            Measure("scan", s, "pydicom dcmread(stop_before_pixels)", p + ["header"], "peer", SLOW_FILES * 3),
            Measure("scan", s, "DCMTK loadFileUntilTag", [d, "header"], "peer"),
            Measure("scan", s, "GDCM Reader::ReadUpToTag", [g, "header"], "peer"),
            Measure("scan", s, "GDCM Scanner", [g, "scanner"], "peer"),
        ]
    for s in READ_SERIES:
        out += [
            Measure("read", s, "limit: fopen + fread whole file + fclose", [lim, "fread"], "limit"),
            Measure("read", s, "Quarn ReadMriSlice (display slice)", [q, "display"], "quarn"),
        ]
        if s.startswith("nema"):
            out.append(Measure("read", s, "Quarn ecMriSlice<short>::ReadDICOMFile", [q, "plain"], "quarn"))
        out += [
            Measure("read", s, "pydicom dcmread + pixel_array", p + ["full"], "peer", SLOW_FILES),
            Measure("read", s, "DCMTK loadFile + pixel array", [d, "full"], "peer"),
            Measure("read", s, "GDCM ImageReader + GetBuffer", [g, "full"], "peer",
                    SLOW_FILES if s.endswith("b12") else None),
        ]
    genesis = os.path.join(corpus, "genesis-512-compressed.MR")
    out.append(Measure("genesis", "genesis-512-compressed", "Quarn ecMriSlice<short>::ReadGEMFile",
                       [q, "genesis"], "quarn", 100))
    out[-1].genesis = genesis
    return out


def list_file(tmp, corpus, m):
    if m.kind == "genesis":
        names = [m.genesis] * m.files
    else:
        names = read_list(corpus, m.series)
        if m.files:
            names = names[:m.files]
    path = os.path.join(tmp, f"{m.series}-{m.files or 'all'}.txt")
    with open(path, "w") as f:
        f.write("\n".join(names) + "\n")
    m.count = len(names)
    m.bytes = sum(os.path.getsize(n) for n in names) if m.kind != "genesis" else 512 * 512 * 2 * len(names)
    return path


def run_once(m, path):
    r = subprocess.run(m.cmd + [path, "1", "1"], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"{' '.join(m.cmd)} {path} failed ({r.returncode}):\n{r.stderr[-2000:]}")
    found = re.findall(r"^pass (\S+) (\S+) (\S+)$", r.stdout, re.M)
    if len(found) != 1:
        sys.exit(f"{' '.join(m.cmd)}: unexpected output\n{r.stdout}")
    m.walls.append(float(found[0][0]))
    m.times.append(float(found[0][1]))
    m.checks.add(found[0][2])


def warm_cache(corpus):
    for s in sorted(set(SCAN_SERIES + READ_SERIES)):
        for n in read_list(corpus, s):
            with open(n, "rb") as f:
                while f.read(1 << 20):
                    pass


def rate(m):
    t = statistics.median(m.times)
    return m.count / t, m.bytes / t / 1e6


def wall_rate(m):
    return m.count / statistics.median(m.walls)


def check_agreement(measures):
    """Readers of one series and kind must have read the same values."""
    groups = {}
    for m in measures:
        if m.role == "limit" or m.kind == "genesis":
            continue
        if len(m.checks) != 1:
            sys.exit(f"{m.reader} on {m.series} gave different results in different rounds: {m.checks}")
        groups.setdefault((m.kind, m.series, m.files), {})[m.reader] = next(iter(m.checks))
    problems = []
    for key, readers in groups.items():
        if len(set(readers.values())) > 1:
            problems.append(f"{key}: {readers}")
    return problems


def callgrind_per_file(build, corpus, series, tmp):
    names = read_list(corpus, series)[:100]
    path = os.path.join(tmp, f"cg-{series}.txt")
    with open(path, "w") as f:
        f.write("\n".join(names) + "\n")
    out = os.path.join(tmp, f"callgrind-{series}.out")
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                    "--toggle-collect=FindDicomFileImageRange*",
                    os.path.join(build, "bench", "quarn_bench"), "scan", path, "1", "0"],
                   check=True, capture_output=True)
    with open(out) as f:
        text = f.read()
    total = int(re.search(r"^(?:summary|totals): (\d+)", text, re.M).group(1))
    return total / len(names)


def massif_peak(build, corpus, series, tmp):
    names = read_list(corpus, series)
    path = os.path.join(tmp, f"mem-{series}.txt")
    with open(path, "w") as f:
        f.write("\n".join(names) + "\n")
    out = os.path.join(tmp, "massif.out")
    r = subprocess.run(["valgrind", "--tool=massif", f"--massif-out-file={out}", "--threshold=100",
                        os.path.join(build, "bench", "quarn_bench"), "scanmem", path],
                       check=True, capture_output=True, text=True)
    info = dict(line.split() for line in r.stdout.splitlines() if line.strip())
    peak = 0
    heap = extra = 0
    with open(out) as f:
        for line in f:
            if line.startswith("mem_heap_B="):
                heap = int(line.split("=")[1])
            elif line.startswith("mem_heap_extra_B="):
                extra = int(line.split("=")[1])
                peak = max(peak, heap + extra)
    # The heap of the program before the scan: the list of names it read.
    list_bytes = sum(len(n) + 1 + 32 for n in names) + 32 * len(names)
    return peak, info, os.path.getsize(names[0]), list_bytes


def versions():
    def dpkg(pkg):
        r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", pkg], capture_output=True, text=True)
        return r.stdout.strip() or "?"
    cpu = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem = int(f.readline().split()[1]) / 1024 / 1024
    cxx = subprocess.run(["c++", "--version"], capture_output=True, text=True).stdout.splitlines()[0]
    pyd = subprocess.run([PY, "-c", "import pydicom, numpy; print(pydicom.__version__, numpy.__version__)"],
                         capture_output=True, text=True).stdout.split()
    load = open("/proc/loadavg").read().split()[:3]
    return [
        f"Machine: {cpu}, {os.cpu_count()} cores, {mem:.0f} GiB, {platform.system()} {platform.release()} "
        f"{platform.machine()}; load average at start {' '.join(load)}",
        f"Compiler: {cxx} (Release build, -O3 as CMake sets it)",
        f"DCMTK {dpkg('libdcmtk-dev')}, GDCM {dpkg('libgdcm-dev')}, pydicom {pyd[0]} with numpy {pyd[1]} "
        f"(Python {platform.python_version()}), valgrind {dpkg('valgrind')}",
    ]


def table(measures, reps):
    lines = []
    lines.append("| Series | Reader | files/s | MB/s | × limit | × fastest peer | wall files/s |")
    lines.append("|---|---|---:|---:|---:|---:|---:|")
    findings = {}
    for kind in ("scan", "read"):
        for s in (SCAN_SERIES if kind == "scan" else READ_SERIES):
            group = [m for m in measures if m.kind == kind and m.series == s]
            limit = next(m for m in group if m.role == "limit")
            lim_rate = rate(limit)[0]
            peers = [m for m in group if m.role == "peer"]
            fastest = max(peers, key=lambda m: rate(m)[0])
            fast_rate = rate(fastest)[0]
            findings[(kind, s)] = {m.reader: rate(m)[0] for m in group}
            findings[(kind, s)]["_limit"] = lim_rate
            findings[(kind, s)]["_fastest"] = (fastest.reader, fast_rate)
            what = "series scan (headers)" if kind == "scan" else "whole slices"
            for m in group:
                fps, mbs = rate(m)
                name = m.reader + (f" (first {m.count} files)" if m.files else "")
                if m.role == "quarn":
                    name = f"**{name}**"
                lines.append(f"| {s} {what} | {name} | {fps:,.0f} | {mbs:,.0f} | {fps / lim_rate:.2f} | "
                             f"{fps / fast_rate:.2f} | {wall_rate(m):,.0f} |")
    for m in measures:
        if m.kind == "genesis":
            fps, mbs = rate(m)
            lines.append(f"| Genesis 512 × 512 compressed decode | **{m.reader}** | {fps:,.0f} | "
                         f"{mbs:,.0f} (output) | – | – | {wall_rate(m):,.0f} |")
    lines.append("")
    lines.append(f"Median of {reps} rounds, from the processor time (user + system) of each timed pass; the "
                 "last column is the median wall-clock rate, which on a shared machine also holds the time "
                 "other programs had the processor. MB/s counts the bytes of the files read (for the "
                 "series scan too, though a scan reads only their headers); for Genesis, the bytes of "
                 "the decoded image. × limit: against the limit row of the same series; × fastest "
                 "peer: against the fastest of pydicom, DCMTK and GDCM on that series.")
    return lines, findings


def targets(findings, memory):
    out = []
    ok_all = True
    for s in SCAN_SERIES:
        f = findings[("scan", s)]
        q = f["Quarn FindDicomFileImageRange"]
        lim, (pname, prate) = f["_limit"], f["_fastest"]
        a, b = q / lim >= 0.7, q / prate >= 4
        ok_all &= a and b
        out.append(f"- Series scan, {s}: {q / lim:.2f} × open+read(4 KiB) (target ≥ 0.7: "
                   f"{'met' if a else 'NOT met'}); {q / prate:.1f} × the fastest peer, {pname} "
                   f"(target ≥ 4: {'met' if b else 'NOT met'}).")
    for s in READ_SERIES:
        f = findings[("read", s)]
        q = f["Quarn ReadMriSlice (display slice)"]
        lim, dcmtk = f["_limit"], f["DCMTK loadFile + pixel array"]
        a, b = q / lim >= 0.6, q / dcmtk >= 1.5
        ok_all &= a and b
        out.append(f"- Whole display slices, {s}: {q / lim:.2f} × whole-file fread (target ≥ 0.6: "
                   f"{'met' if a else 'NOT met'}); {q / dcmtk:.1f} × DCMTK loadFile (target ≥ 1.5: "
                   f"{'met' if b else 'NOT met'}).")
    peak, info, file_size, list_bytes = memory
    records = int(info["record_bytes"]) * int(info["records_capacity"]) + int(info["name_bytes"])
    bound = 2 * file_size + records
    scan_peak = peak - list_bytes
    c = scan_peak < bound
    ok_all &= c
    out.append(f"- Peak heap of a {info['files']}-file scan (massif, less the program's own list of names, "
               f"about {list_bytes / 1e6:.2f} MB): {scan_peak / 1e6:.2f} MB; bound 2 × one file "
               f"({file_size:,} bytes) + the records ({int(info['records_capacity'])} × "
               f"{info['record_bytes']} bytes + {int(info['name_bytes']):,} bytes of names) = "
               f"{bound / 1e6:.2f} MB: {'met' if c else 'NOT met'}.")
    return out, ok_all


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True)
    ap.add_argument("--corpus", required=True)
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--out", default=None)
    args = ap.parse_args()
    if args.reps < 5:
        print("note: fewer than 5 rounds", file=sys.stderr)
    header = versions()
    measures = build_measures(args.build, args.corpus)
    with tempfile.TemporaryDirectory() as tmp:
        paths = [list_file(tmp, args.corpus, m) for m in measures]
        print("warming the page cache ...", file=sys.stderr, flush=True)
        warm_cache(args.corpus)
        for r in range(args.reps):
            print(f"round {r + 1} of {args.reps} ...", file=sys.stderr, flush=True)
            for m, path in zip(measures, paths):
                run_once(m, path)
        print("callgrind ...", file=sys.stderr, flush=True)
        instr = {s: callgrind_per_file(args.build, args.corpus, s, tmp) for s in SCAN_SERIES}
        print("massif ...", file=sys.stderr, flush=True)
        memory = massif_peak(args.build, args.corpus, "explicit-512-b12", tmp)
    problems = check_agreement(measures)
    lines, findings = table(measures, args.reps)
    tlines, ok = targets(findings, memory)
    report = header + [""] + lines + ["", "Instructions per file of the series scan (callgrind, first 100 files, "
                                      "inside FindDicomFileImageRange):", ""]
    report += [f"- {s}: {v:,.0f}" for s, v in instr.items()]
    report += ["", "Targets:", ""] + tlines
    if problems:
        report += ["", "READERS DISAGREE:"] + problems
    text = "\n".join(report) + "\n"
    print(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)
    return 0 if not problems else 1


if __name__ == "__main__":
    sys.exit(main())
