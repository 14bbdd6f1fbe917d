#!/usr/bin/python3
"""Runs the benchmark: Quarn, pydicom, DCMTK, GDCM and dcm2niix on the same
files, and the operating system's limits, in one run on a warm page cache.
Quarn is measured in the project's default build (RelWithDebInfo, -O2; every
target is judged there), with Release (-O3) and a distribution's plain -O2
build without load-time clones beside it.

Every measurement is one call of a benchmark program (one untimed warm-up
pass, one timed pass). The calls go round-robin through all measurements,
REPS rounds, so that a slow spell of the shared machine hits every reader
alike; the figure reported is the median of the rounds. Readers much slower
than the rest (pydicom, GDCM's decode) read the first files of a series only:
their rates per file are comparable all the same.

Then the volume and thread measures, wall-clock, REPS rounds each: a
1000-slice series into one NIfTI volume against dcm2niix, the series scan
and the conversion of a 20-series archive on 1 and 2 threads, and the Dask
archive on 1 and 2 worker processes.

Afterwards: instructions per file of the series scan and of the display read
under callgrind on 100-file subsets, the peak heap of a 1000-file scan under
massif, and the vector instructions of the pixel range loop in each build.

Usage: runner.py --build BUILD_DIR --corpus CORPUS_DIR [--reps N] [--out FILE]
"""
import argparse
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PY = "/usr/bin/python3"

SCAN_SERIES = ["explicit-512-b12", "implicit-512-b12", "nema-512-b12"]
READ_SERIES = ["explicit-256-b12", "explicit-256-b16", "explicit-512-b12", "explicit-512-b16",
               "implicit-512-b12", "nema-256-b12", "nema-512-b12"]
SLOW_FILES = 100  # files read by the slow readers


class Measure:
    def __init__(self, kind, series, reader, cmd, role, files=None, env=None):
        self.kind = kind        # "scan" (headers), "read" (whole slices) or "genesis"
        self.env = env          # extra environment
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


DISPLAY = "Quarn ReadMriSlice (display slice)"
MODERN = "Quarn quarn::ReadImage (modern path)"
PYTHON = "Quarn quarn.read (Python)"
DISPLAY_REL = DISPLAY + ", Release -O3"
DISPLAY_PLAIN = DISPLAY + ", plain -O2, no clones"


def build_measures(build, corpus):
    b = os.path.join(build, "bench")
    lim, q, d, g = (os.path.join(b, n) for n in ("limits_bench", "quarn_bench", "dcmtk_bench", "gdcm_bench"))
    q_rel = os.path.join(build, "release", "bench", "quarn_bench")
    q_plain = os.path.join(build, "plain", "bench", "quarn_bench")
    p = [PY, os.path.join(HERE, "pydicom_bench.py")]
    py_env = {"PYTHONPATH": os.path.join(build, "python")}
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
            Measure("read", s, "fopen + fread into a fresh buffer + free + fclose", [lim, "freadnew"], "reference"),
            Measure("read", s, DISPLAY, [q, "display"], "quarn"),
            Measure("read", s, DISPLAY_REL, [q_rel, "display"], "quarn"),
            Measure("read", s, DISPLAY_PLAIN, [q_plain, "display"], "quarn"),
            Measure("read", s, MODERN, [q, "modern"], "quarn"),
        ]
        if "-256-" in s:
            out.append(Measure("read", s, PYTHON, p + ["quarn"], "quarn", env=py_env))
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
    env = dict(os.environ, **m.env) if m.env else None
    r = subprocess.run(m.cmd + [path, "1", "1"], capture_output=True, text=True, env=env)
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
        if m.role in ("limit", "reference") or m.kind == "genesis":
            continue
        if len(m.checks) != 1:
            sys.exit(f"{m.reader} on {m.series} gave different results in different rounds: {m.checks}")
        groups.setdefault((m.kind, m.series, m.files), {})[m.reader] = next(iter(m.checks))
    problems = []
    for key, readers in groups.items():
        if len(set(readers.values())) > 1:
            problems.append(f"{key}: {readers}")
    return problems


def callgrind_per_file(build, corpus, series, tmp, mode="scan", toggle="FindDicomFileImageRange*"):
    names = read_list(corpus, series)[:100]
    path = os.path.join(tmp, f"cg-{series}-{mode}.txt")
    with open(path, "w") as f:
        f.write("\n".join(names) + "\n")
    out = os.path.join(tmp, f"callgrind-{series}-{mode}.out")
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", f"--toggle-collect={toggle}",
                    os.path.join(build, "bench", "quarn_bench"), mode, path, "1", "0"],
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


def timed(cmd, env=None, cwd=None):
    """Runs a command; its wall-clock seconds and peak resident memory (KiB)."""
    t0 = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env, cwd=cwd)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - t0
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"{' '.join(cmd)} failed ({proc.returncode}):\n{err[-2000:]}")
    return wall, usage.ru_maxrss


def volume_runs(build, corpus, reps, tmp):
    """The volume and thread measures; {label: [(wall seconds, peak KiB), ...]}
    and the Dask archive's own conversion seconds {workers: [...]}."""
    tool = os.path.join(build, "tools", "quarn")
    series = os.path.join(corpus, "explicit-256-b16")
    archive = os.path.join(corpus, "archive")
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    out = os.path.join(tmp, "out")

    def fresh():
        # The last output removed and everything written so far on its way to
        # the disk, so that no command pays for the writing of another.
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        os.sync()
        return out

    def heads(cmd):
        # The first 4 KiB of every file read just before a scan: this machine
        # keeps little in its page cache for long, and each scan is to find
        # the same headers in memory.
        for root, _, files in os.walk(corpus):
            for name in files:
                with open(os.path.join(root, name), "rb") as f:
                    f.read(4096)
        return cmd

    runs = [
        ("quarn convert -o v.nii", lambda: [tool, "convert", series, "-o", os.path.join(fresh(), "v.nii")]),
        ("dcm2niix -z n", lambda: ["dcm2niix", "-z", "n", "-f", "v", "-o", fresh(), series]),
        ("quarn convert -o v.nii.gz", lambda: [tool, "convert", series, "-o", os.path.join(fresh(), "v.nii.gz")]),
        ("dcm2niix -z i", lambda: ["dcm2niix", "-z", "i", "-f", "v", "-o", fresh(), series]),
        ("quarn scan -j 1", lambda: heads([tool, "scan", "-j", "1", "--json", corpus])),
        ("quarn scan -j 2", lambda: heads([tool, "scan", "-j", "2", "--json", corpus])),
        ("quarn convert archive -j 1", lambda: [tool, "convert", "-j", "1", archive, "-o", fresh() + "/"]),
        ("quarn convert archive -j 2", lambda: [tool, "convert", "-j", "2", archive, "-o", fresh() + "/"]),
    ]
    results = {label: [] for label, _ in runs}
    dask = {1: [], 2: []}
    print("volumes, warming up ...", file=sys.stderr, flush=True)
    for folder in (series, archive):
        for root, _, files in os.walk(folder):
            for name in files:
                with open(os.path.join(root, name), "rb") as f:
                    while f.read(1 << 20):
                        pass
    for _, cmd in runs:
        timed(cmd(), env=env)
    for label in ("quarn.archive, 1 worker", "quarn.archive, 2 workers"):
        results[label] = []
    for r in range(reps):
        print(f"volumes, round {r + 1} of {reps} ...", file=sys.stderr, flush=True)
        # Each converter goes first in every other round: on this virtual
        # machine the first large write after a pause pays for memory the
        # host took back (page reporting of the balloon device), up to three
        # times the time of the same write a moment later.
        order = list(runs)
        if r % 2:
            order[0], order[1], order[2], order[3] = order[1], order[0], order[3], order[2]
        for label, cmd in order:
            results[label].append(timed(cmd(), env=env))
    # The Dask runs after all the others: the memory their cluster takes and
    # gives back slows whatever command comes next (by up to 0.4 s).
    for r in range(reps):
        print(f"archive on Dask, round {r + 1} of {reps} ...", file=sys.stderr, flush=True)
        for workers in (1, 2):
            dst = fresh()
            results[f"quarn.archive, {workers} worker{'s' if workers > 1 else ''}"].append(
                timed([PY, "-m", "quarn.archive", archive, dst, "--workers", str(workers)], env=env))
            with open(os.path.join(dst, "summary.json")) as f:
                summary = json.load(f)
            if summary["written"] != 20:
                sys.exit(f"the archive wrote {summary['written']} of 20 series")
            dask[workers].append(summary["seconds"])
    shutil.rmtree(out, ignore_errors=True)
    return results, dask


def volume_lines(results, dask, corpus):
    series_files = len(read_list(corpus, "explicit-256-b16"))
    archive_files = 20 * 100
    scan_files = sum(1 for _, _, fs in os.walk(corpus) for f in fs if f.endswith((".dcm", ".MR")))
    volume_kib = series_files * 256 * 256 * 2 / 1024
    med = {k: statistics.median(w for w, _ in v) for k, v in results.items()}
    peak = {k: max(m for _, m in v) for k, v in results.items()}
    counts = {"quarn scan -j 1": scan_files, "quarn scan -j 2": scan_files,
              "quarn convert archive -j 1": archive_files, "quarn convert archive -j 2": archive_files,
              "quarn.archive, 1 worker": archive_files, "quarn.archive, 2 workers": archive_files}
    lines = ["| Measure | wall s (median) | files/s | peak memory (MiB) |", "|---|---:|---:|---:|"]
    for k in results:
        n = counts.get(k, series_files)
        lines.append(f"| {k} | {med[k]:.3f} | {n / med[k]:,.0f} | {peak[k] / 1024:,.1f} |")
    d1, d2 = statistics.median(dask[1]), statistics.median(dask[2])
    lines += ["", f"The Dask archive's own conversion time (from handing out the 20 folders to the last report, "
                  f"the cluster's start and end not counted): 1 worker {d1:.2f} s ({archive_files / d1:,.0f} "
                  f"files/s), 2 workers {d2:.2f} s ({archive_files / d2:,.0f} files/s).",
              f"The volume: {series_files} slices of 256 × 256 × 16 bits = {volume_kib / 1024:,.1f} MiB "
              f"({series_files}-file series explicit-256-b16); scans over the whole corpus ({scan_files:,} "
              f"slice files); the archive: 20 series × 100 slices of 256 × 256."]
    targets = []

    def target(text, ok):
        targets.append(f"- {text}: {'met' if ok else 'NOT met'}.")
        return ok

    ok = True
    a = med["dcm2niix -z n"] / med["quarn convert -o v.nii"]
    ok &= target(f"NIfTI volume (.nii) {a:.1f} × as fast as `dcm2niix -z n` (target ≥ 2)", a >= 2)
    b = med["dcm2niix -z i"] / med["quarn convert -o v.nii.gz"]
    ok &= target(f".nii.gz {b:.2f} × as fast as `dcm2niix -z i` (target ≥ 1, no slower)", b >= 1)
    c = peak["quarn convert -o v.nii"] / volume_kib
    ok &= target(f"peak memory of the .nii conversion {peak['quarn convert -o v.nii'] / 1024:,.1f} MiB = "
                 f"{c:.3f} × the volume (target ≤ 1.10)", c <= 1.10)
    d = med["quarn scan -j 1"] / med["quarn scan -j 2"]
    ok &= target(f"`quarn scan -j 2` {d:.2f} × `-j 1` (target ≥ 1.7)", d >= 1.7)
    e = med["quarn convert archive -j 1"] / med["quarn convert archive -j 2"]
    ok &= target(f"`quarn convert` of 20 series, `-j 2` {e:.2f} × `-j 1` (target ≥ 1.7)", e >= 1.7)
    f = d1 / d2
    ok &= target(f"`python3 -m quarn.archive`, 2 workers {f:.2f} × the files per second of 1 worker (target ≥ "
                 f"1.7; the whole command including the cluster's start: "
                 f"{med['quarn.archive, 1 worker'] / med['quarn.archive, 2 workers']:.2f} ×)", f >= 1.7)
    return lines, targets, ok


def vector_instructions(build):
    """The vector min/max instructions in the 16-bit pixel range loop of each build."""
    out = []
    for label, lib in (("default", build), ("Release", os.path.join(build, "release")),
                       ("plain -O2, no clones", os.path.join(build, "plain"))):
        path = os.path.join(lib, "libquarn.so")
        text = subprocess.run(["objdump", "-d", "-C", "--no-show-raw-insn", path], capture_output=True,
                              text=True).stdout
        counts = {}
        current = None
        for line in text.splitlines():
            head = re.match(r"^[0-9a-f]+ <(.*)>:$", line)
            if head:
                name = head.group(1)
                loop = "IntegerRange<short>" in name or name.startswith("PixelRange(short const*")
                current = name if loop and "resolver" not in name and ".cold" not in name else None
                if current:
                    counts[current] = 0
            elif current and re.search(r"\bv?p(min|max)sw\b", line):
                counts[current] += 1
        if not counts:
            out.append(f"- {label}: the loop was not found")
            continue
        def form(name):
            clone = re.search(r"\[clone \.(\w+)\]", name)
            return clone.group(1) if clone else name.split("(")[0]
        parts = ", ".join(f"{form(k)}: {v}" for k, v in counts.items() if v or not any(counts.values()))
        out.append(f"- {label}: {parts}")
    return out


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
        f"Compiler: {cxx}; Quarn built three ways: default (RelWithDebInfo, -O2 -g), Release (-O3), plain "
        f"(CMAKE_BUILD_TYPE=None with dpkg-buildflags: {subprocess.run(['dpkg-buildflags', '--get', 'CXXFLAGS'], capture_output=True, text=True).stdout.strip()}; no load-time clones)",
        f"dcm2niix {dpkg('dcm2niix')}, Dask distributed {dpkg('python3-distributed')}",
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

    def target(text, ok):
        nonlocal ok_all
        ok_all &= ok
        out.append(f"- {text}: {'met' if ok else 'NOT met'}.")

    for s in SCAN_SERIES:
        f = findings[("scan", s)]
        q = f["Quarn FindDicomFileImageRange"]
        lim, (pname, prate) = f["_limit"], f["_fastest"]
        target(f"Series scan, {s}: {q / lim:.2f} × open + read 4 KiB + close (target ≥ 0.8)", q / lim >= 0.8)
        target(f"Series scan, {s}: {q / prate:.1f} × the fastest peer, {pname} (target ≥ 5)", q / prate >= 5)
    for s in READ_SERIES:
        f = findings[("read", s)]
        q, lim, dcmtk = f[DISPLAY], f["_limit"], f["DCMTK loadFile + pixel array"]
        target(f"Whole display slices, {s}: {q / lim:.2f} × fopen + fread + fclose (target ≥ 0.8)", q / lim >= 0.8)
        target(f"Whole display slices, {s}: {q / dcmtk:.1f} × DCMTK loadFile (target ≥ 2)", q / dcmtk >= 2)
        m = f[MODERN]
        target(f"Modern path, {s}: {q / m:.2f} × the display slice's time per file (target ≤ 1.10)", q / m <= 1.10)
        if PYTHON in f:
            target(f"quarn.read in Python, {s}: {m / f[PYTHON]:.2f} × the C++ modern path's time per slice "
                   f"(target ≤ 1.20)", m / f[PYTHON] <= 1.20)
    peak, info, file_size, list_bytes = memory
    records = int(info["record_bytes"]) * int(info["records_capacity"]) + int(info["name_bytes"])
    bound = 2 * file_size + records
    scan_peak = peak - list_bytes
    target(f"Peak heap of a {info['files']}-file scan (massif, less the program's own list of names, about "
           f"{list_bytes / 1e6:.2f} MB): {scan_peak / 1e6:.2f} MB against 2 × one file ({file_size:,} bytes) + the "
           f"records ({int(info['records_capacity'])} × {info['record_bytes']} bytes + "
           f"{int(info['name_bytes']):,} bytes of names) = {bound / 1e6:.2f} MB", scan_peak < bound)
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
        vol_results, dask = volume_runs(args.build, args.corpus, args.reps, tmp)
        print("callgrind ...", file=sys.stderr, flush=True)
        instr = {s: callgrind_per_file(args.build, args.corpus, s, tmp) for s in SCAN_SERIES}
        display_instr = {s: callgrind_per_file(args.build, args.corpus, s, tmp, "display", "ReadMriSlice*")
                         for s in ("explicit-256-b12", "explicit-512-b12", "nema-512-b12")}
        print("massif ...", file=sys.stderr, flush=True)
        memory = massif_peak(args.build, args.corpus, "explicit-512-b12", tmp)
    problems = check_agreement(measures)
    lines, findings = table(measures, args.reps)
    tlines, ok = targets(findings, memory)
    vlines, vtargets, vok = volume_lines(vol_results, dask, args.corpus)
    report = header + [""] + lines + ["", "Volumes and threads (wall-clock, median of the rounds; peak memory: the "
                                      "largest resident size of any round):", ""] + vlines
    report += ["", "Instructions per file (callgrind, default build, first 100 files of the series):", ""]
    report += [f"- series scan `FindDicomFileImageRange`, {s}: {v:,.0f}" for s, v in instr.items()]
    report += [f"- display slice `ReadMriSlice(name, MriDicom, nullptr, true, 0)`, {s}: {v:,.0f}"
               for s, v in display_instr.items()]
    report += ["", "Vector min/max instructions in the 16-bit pixel range loop (objdump of each build's "
               "libquarn.so; the loader picks one clone where there are several):", ""]
    report += vector_instructions(args.build)
    report += ["", "Targets (default build):", ""] + tlines + vtargets
    report += ["", "Every target met." if ok and vok else "Some targets NOT met (see above)."]
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
