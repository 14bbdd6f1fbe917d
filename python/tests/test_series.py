"""Series and volumes against independent tools: DICOM series written by
pydicom converted by dcm2niix, every written volume loaded by nibabel."""
import json
import os
import shutil
import subprocess
import sys

import nibabel as nib
import numpy as np
import pydicom
import pytest
from pydicom.uid import MRImageStorage, generate_uid

import quarn

from conftest import DATA, SOURCE_DIR, write

BUILD = os.environ.get("QUARN_BUILD_DIR", str(SOURCE_DIR / "build"))
QUARN = os.path.join(BUILD, "tools", "quarn")


def rotation(a, b):
    """Row and column cosines of an oblique plane: turned a degrees about z, then b about x."""
    ca, sa, cb, sb = np.cos(np.radians(a)), np.sin(np.radians(a)), np.cos(np.radians(b)), np.sin(np.radians(b))
    rz = np.array([[ca, -sa, 0], [sa, ca, 0], [0, 0, 1]])
    rx = np.array([[1, 0, 0], [0, cb, -sb], [0, sb, cb]])
    m = rx @ rz
    return m[:, 0], m[:, 1]


def write_series(folder, n=6, rows=12, cols=10, spacing=(0.8, 0.6), gap=2.5, angles=(0, 0), names=None,
                 positions=None, tilt=None, sizes=None, uid=None, origin=(-20.0, 15.0, 30.0), slope=None):
    """n slices of one series; file i holds slice i along the normal, named
    names[i], with instance numbers running against the position."""
    os.makedirs(folder, exist_ok=True)
    r, c = rotation(*angles)
    normal = np.cross(r, c)
    uid = uid or generate_uid()
    rng = np.random.default_rng(len(str(folder)))
    rescale = dict(RescaleSlope=slope[0], RescaleIntercept=slope[1]) if slope else {}
    for i in range(n):
        rr, cc = (rotation(*tilt) if tilt and i == n // 2 else (r, c))
        position = np.array(origin) + (positions[i] if positions else i * gap) * normal
        write(os.path.join(folder, names[i] if names else f"s{i:02d}.dcm"),
              rng.integers(-500, 3000, size=sizes[i] if sizes else (rows, cols), dtype=np.int16),
              SOPClassUID=MRImageStorage, Modality="MR", PatientName="Phantom", PatientID="1",
              StudyDate="20240101", StudyInstanceUID="1.2.3.4", SeriesInstanceUID=uid, SeriesNumber=7,
              SeriesDescription="t1 oblique", InstanceNumber=n - i,
              ImagePositionPatient=[float(v) for v in position],
              ImageOrientationPatient=[round(float(v), 8) for v in (*rr, *cc)],
              PixelSpacing=list(spacing), SliceThickness=gap, **rescale)
    return folder


def canonical(path):
    img = nib.as_closest_canonical(nib.load(path))
    return img.affine, np.asarray(img.get_fdata())


def dcm2niix(folder, out):
    os.makedirs(out, exist_ok=True)
    subprocess.run(["dcm2niix", "-z", "y", "-f", "%s", "-o", out, folder], check=True, capture_output=True)
    found = [f for f in os.listdir(out) if f.endswith(".nii.gz")]
    assert len(found) == 1, found
    return os.path.join(out, found[0])


def tool(*args):
    return subprocess.run([QUARN, *map(str, args)], capture_output=True, text=True)


@pytest.mark.parametrize("angles,spacing,gap,names,slope", [
    ((0, 0), (0.8, 0.6), 2.5, None, None),                                      # axial, anisotropic
    ((25, 30), (0.9, 0.7), 3.0, ["f", "b", "e", "a", "d", "c"], None),           # oblique, shuffled names
    ((-40, 95), (1.0, 1.0), 1.2, ["9", "10", "1", "11", "2", "30"], (0.5, -100)),  # near-sagittal, rescaled
])
def test_volume_matches_dcm2niix(tmp_path, angles, spacing, gap, names, slope):
    src = write_series(str(tmp_path / "dcm"), angles=angles, spacing=spacing, gap=gap, names=names, slope=slope)
    [s] = quarn.read_series(src)
    assert s.problems == []
    ours = str(tmp_path / "q.nii.gz")
    s.to_nifti(ours)
    want_affine, want_data = canonical(dcm2niix(src, str(tmp_path / "d2n")))
    got_affine, got_data = canonical(ours)
    np.testing.assert_allclose(got_affine, want_affine, atol=1e-3)
    np.testing.assert_allclose(got_data, want_data, atol=1e-3)
    img = nib.load(ours)
    np.testing.assert_allclose(img.get_qform(), img.get_sform(), atol=1e-4)
    # The module's volume and affine are the same image as the file.
    mod = nib.as_closest_canonical(nib.Nifti1Image(s.volume.transpose(2, 1, 0), s.affine))
    np.testing.assert_allclose(mod.affine, want_affine, atol=1e-3)
    np.testing.assert_allclose(np.asarray(mod.dataobj), want_data, atol=1e-3)
    # The tool writes the same volume and the first slice's header beside it.
    assert tool("convert", src, "-o", tmp_path / "t.nii").returncode == 0
    np.testing.assert_allclose(canonical(str(tmp_path / "t.nii"))[1], want_data, atol=1e-3)
    first = pydicom.dcmread(os.path.join(src, s.files[0]))
    assert json.load(open(tmp_path / "t.json"))["InstanceNumber"] == first.InstanceNumber == 6


@pytest.mark.parametrize("case,kwargs,kinds", [
    ("missing", dict(positions=[0, 2.5, 5, 10, 12.5, 15]), ["missing-slice"]),
    ("duplicate", dict(positions=[0, 2.5, 5, 5.005, 7.5, 10]), ["duplicate-position"]),
    ("uneven", dict(positions=[0, 2.5, 5, 8.5, 11, 13.5]), ["uneven-spacing"]),
    ("tilted", dict(tilt=(0, 3)), ["orientation-changes"]),
    ("sizes", dict(sizes=[(12, 10)] * 5 + [(12, 11)]), ["size-differs"]),
    ("one slice", dict(n=1), []),
])
def test_problems_named_and_no_volume_written(tmp_path, case, kwargs, kinds):
    src = write_series(str(tmp_path / "dcm"), **kwargs)
    run = tool("scan", "--json", "--strict", src)
    scan = json.loads(run.stdout)
    [s] = scan["series"]
    assert [p["kind"] for p in s["problems"]] == kinds, s["problems"]
    assert run.returncode == (3 if kinds else 0)
    out = tmp_path / "out"
    run = tool("convert", src, "-o", str(out) + "/")
    assert run.returncode == (1 if kinds else 0), run.stderr
    written = sorted(os.listdir(out))
    assert written == ([] if kinds else ["7_t1_oblique.json", "7_t1_oblique.nii.gz"])
    if not kinds:
        assert nib.load(out / "7_t1_oblique.nii.gz").shape == (10, 12, 1)


def test_bad_input_is_named(tmp_path):
    src = write_series(str(tmp_path / "mixed"), n=3)
    shutil.copy(SOURCE_DIR / "samples" / "dicom" / "acr_nema_ramp.img", src)
    run = tool("convert", src, "-o", tmp_path / "v.nii.gz")
    assert run.returncode == 1 and "holds 2 series" in run.stderr and not (tmp_path / "v.nii.gz").exists()
    # Files that vanish or change after the scan: an error naming the file, no volume.
    for change in ("vanish", "change"):
        [s] = quarn.read_series(write_series(str(tmp_path / change), n=4))
        victim = s.files[1]
        if change == "vanish":
            os.remove(victim)
        else:
            write_series(str(tmp_path / "other"), n=4, rows=8)
            shutil.copy(tmp_path / "other" / "s01.dcm", victim)
        with pytest.raises(quarn.QuarnError, match=os.path.basename(victim)):
            s.to_nifti(tmp_path / "gone.nii.gz")
        assert not (tmp_path / "gone.nii.gz").exists()
        assert [f for f in os.listdir(tmp_path) if f.startswith(".quarn")] == []


# RAS affines of the real GE pairs by ITK's GE 5.x reader.
@pytest.mark.parametrize("pair,diagonal,offset", [
    (("c_vf1122.fre", "c_vf1123.fre"), (-0.48828, -0.48828, 1), (125, 125, -160)),
    (("c_vf1210.fre", "c_vf1211.fre"), (-0.72266, -0.72266, 1), (185, 185, -248)),
])
def test_genesis_pairs_match_itk(tmp_path, pair, diagonal, offset):
    scan = quarn.scan_series([str(DATA / "genesis" / f) for f in pair])
    [s] = scan.series
    out = str(tmp_path / "ge.nii.gz")
    s.to_nifti(out)
    img = nib.load(out)
    assert img.shape == (512, 512, 2)
    np.testing.assert_allclose(np.diag(img.affine)[:3], diagonal, atol=1e-5)
    np.testing.assert_allclose(img.affine[:3, 3], offset, atol=1e-3)


def test_archive_on_two_workers(tmp_path):
    src = tmp_path / "archive"
    write_series(str(src / "p1" / "exam"), n=3)
    write_series(str(src / "p1" / "exam"), n=3, names=["a", "b", "c"], uid="1.2.3.9")  # a second series, same number
    write_series(str(src / "p2"), positions=[0, 2.5, 5, 10, 12.5, 15])  # a missing slice: fails, the rest go on
    (src / "p2" / "notes.txt").write_text("no slice")
    dst = tmp_path / "out"
    run = subprocess.run([sys.executable, "-m", "quarn.archive", str(src), str(dst), "--workers", "2"],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 1, run.stderr
    summary = json.loads((dst / "summary.json").read_text())
    status = {s["output"]: s["status"] for s in summary["series"]}
    assert status == {"p1/exam/7_t1_oblique.nii.gz": "written", "p1/exam/7_t1_oblique_2.nii.gz": "written",
                      "p2/7_t1_oblique.nii.gz": "failed"}
    assert summary["skipped"] == 1
    for name in ("7_t1_oblique.nii.gz", "7_t1_oblique_2.nii.gz"):
        assert nib.load(dst / "p1" / "exam" / name).shape == (10, 12, 3)
    assert not (dst / "p2").exists() or os.listdir(dst / "p2") == []
