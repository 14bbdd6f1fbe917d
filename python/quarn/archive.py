"""Whole archives to NIfTI, spread over a Dask cluster.

    python3 -m quarn.archive SRC DST [--workers N] [--scheduler ADDRESS]

Every folder under SRC that holds files is one task: its series are written
as DST/<the folder's path relative to SRC>/<SeriesNumber>_<SeriesDescription>.nii.gz,
each with a JSON sidecar, named as `quarn convert -o OUTDIR/` names them.
Without --scheduler a local cluster of N worker processes does the work;
with it, the workers of that scheduler do (they must import quarn and see
SRC and DST at the same paths). A failure is recorded per series in
DST/summary.json and never stops the rest. The exit status is 0 when every
series was written, 1 otherwise, 2 for usage errors.
"""

import argparse
import json
import logging
import os
import sys
import time

from . import _quarn
from .series import output_names, scan_series


def series_folders(src, skip=None):
    """The folders under src (src too) that hold files, relative to src, sorted."""
    found = []
    for root, dirs, files in os.walk(src):
        dirs[:] = sorted(d for d in dirs if skip is None or os.path.abspath(os.path.join(root, d)) != skip)
        if files:
            found.append(os.path.relpath(root, src))
    return sorted(found)


def convert_folder(src, dst, rel):
    """Writes the series of one folder (not its subfolders); a report of
    each series, the files that could not be read and the count skipped."""
    folder = os.path.normpath(os.path.join(src, rel))
    out_dir = os.path.normpath(os.path.join(dst, rel))
    scan = scan_series(folder, recurse=False)
    report = {"folder": rel, "series": [], "failed": [{"file": f, "error": e} for f, e in scan.failed],
              "skipped": scan.skipped}
    for s, name in zip(scan.series, output_names(scan.series)):
        entry = {"output": os.path.normpath(os.path.join(rel, name)), "SeriesInstanceUID": s.series_instance_uid,
                 "SeriesNumber": s.series_number, "SeriesDescription": s.series_description, "format": s.format,
                 "files": len(s.files), "problems": s.problems}
        try:
            os.makedirs(out_dir, exist_ok=True)
            s.to_nifti(os.path.join(out_dir, name), sidecar=True)
            entry["status"] = "written"
        except Exception as e:  # one series' failure is reported, never raised
            entry["status"] = "failed"
            entry["error"] = str(e)
        report["series"].append(entry)
    return report


def run(src, dst, workers=2, scheduler=None, progress=None):
    """Converts the archive; returns the summary written to DST/summary.json."""
    from distributed import Client, LocalCluster, progress as show_progress

    src, dst = os.path.abspath(src), os.path.abspath(dst)
    os.makedirs(dst, exist_ok=True)
    folders = series_folders(src, skip=dst)
    if scheduler:
        client, cluster = Client(scheduler), None
    else:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None,
                               silence_logs=logging.ERROR)
        client = Client(cluster)
    try:
        started = time.perf_counter()
        futures = client.map(convert_folder, [src] * len(folders), [dst] * len(folders), folders, pure=False)
        if progress if progress is not None else sys.stdout.isatty():
            show_progress(futures)
            print()
        reports = []
        for rel, f in zip(folders, futures):
            try:
                reports.append(f.result())
            except Exception as e:  # the task itself failed: the whole folder is reported
                reports.append({"folder": rel, "series": [], "failed": [], "skipped": 0,
                                "error": f"{type(e).__name__}: {e}"})
        seconds = time.perf_counter() - started
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    series = [dict(s, folder=r["folder"]) for r in reports for s in r["series"]]
    summary = {
        "source": src,
        "folders": len(folders),
        "written": sum(s["status"] == "written" for s in series),
        "failed": sum(s["status"] == "failed" for s in series) + sum("error" in r for r in reports),
        "series": series,
        "folder_errors": [{"folder": r["folder"], "error": r["error"]} for r in reports if "error" in r],
        "unreadable": [dict(f, folder=r["folder"]) for r in reports for f in r["failed"]],
        "skipped": sum(r["skipped"] for r in reports),
        # From handing the folders to the workers to the last report (the
        # cluster's start and end not counted).
        "seconds": round(seconds, 3),
    }
    _quarn._write_whole(os.path.join(dst, "summary.json"), (json.dumps(summary, indent=2) + "\n").encode())
    return summary


def main(argv=None):
    p = argparse.ArgumentParser(prog="python3 -m quarn.archive",
                                description="Convert every series under SRC into .nii.gz files under DST.")
    p.add_argument("src", metavar="SRC", help="the archive's root folder")
    p.add_argument("dst", metavar="DST", help="the output root folder (created when missing)")
    p.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                   help="worker processes of the local cluster (default: one per core)")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="an existing Dask scheduler, e.g. tcp://host:8786, instead of a local cluster")
    args = p.parse_args(argv)
    if args.workers < 1:
        p.error("--workers must be 1 or more")
    if not os.path.isdir(args.src):
        p.error(f"{args.src} is not a folder")
    summary = run(args.src, args.dst, args.workers, args.scheduler)
    print(f"{summary['written']} series written, {summary['failed']} failed, {len(summary['unreadable'])} files "
          f"unreadable, {summary['skipped']} skipped; see {os.path.join(args.dst, 'summary.json')}")
    return 0 if summary["failed"] == 0 and not summary["unreadable"] else 1


if __name__ == "__main__":
    sys.exit(main())
