#!/usr/bin/python3
"""pydicom's side of the benchmark, in the frame of the C++ programs:
   pydicom_bench.py MODE LIST_FILE [PASSES [WARMUPS]]
     header  dcmread(..., stop_before_pixels=True) and the values a series scan needs
     full    dcmread and pixel_array
     quarn   quarn.read (Quarn's Python module; PYTHONPATH names the build's python folder)
Prints "pass WALL CPU CHECK" for each timed pass (wall-clock and process
seconds, and a number computed from what was read)."""
import sys
import time

import pydicom


def header(names):
    total = 0
    for name in names:
        ds = pydicom.dcmread(name, stop_before_pixels=True, force=True)
        if not (ds.Rows and ds.Columns and ds.BitsAllocated):
            sys.exit("pydicom found no image size in " + name)
        ds.SliceThickness, ds.get("SpacingBetweenSlices"), ds.PixelSpacing
        ds.ImagePositionPatient, ds.ImageOrientationPatient
        total += int(ds.InstanceNumber)
    return total


def full(names):
    total = 0
    for name in names:
        ds = pydicom.dcmread(name, force=True)
        if "TransferSyntaxUID" not in ds.file_meta:
            # An ACR-NEMA file has no meta group: it is implicit little endian.
            ds.file_meta.TransferSyntaxUID = pydicom.uid.ImplicitVRLittleEndian
        pixels = ds.pixel_array
        total += int(pixels[ds.Rows // 2, ds.Columns // 2])
    return total


def quarn_read(names):
    import quarn
    total = 0
    for name in names:
        im = quarn.read(name)
        rows, columns = im.pixels.shape
        total += int(im.pixels[rows // 2, columns // 2])
    return total


def main():
    modes = {"header": header, "full": full, "quarn": quarn_read}
    if len(sys.argv) < 3 or sys.argv[1] not in modes:
        sys.exit(__doc__)
    run = modes[sys.argv[1]]
    with open(sys.argv[2]) as f:
        names = [line.strip() for line in f if line.strip()]
    passes = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    warmups = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    for _ in range(warmups):
        run(names)
    for _ in range(passes):
        c0, t0 = time.process_time(), time.perf_counter()
        check = run(names)
        t1, c1 = time.perf_counter(), time.process_time()
        print(f"pass {t1 - t0:.9f} {c1 - c0:.9f} {check}", flush=True)


if __name__ == "__main__":
    main()
