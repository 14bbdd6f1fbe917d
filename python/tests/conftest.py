import os
import pathlib

import numpy as np
import pydicom

import quarn

SOURCE_DIR = pathlib.Path(os.environ.get("QUARN_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
DATA = SOURCE_DIR / "tests" / "data"


def raw_header(cols, rows, data_type="short", offset=0, image_num=0, plane="Axial"):
    h = quarn.RawHeaderInfo()
    assert h.evaluate(f"<{plane}: {data_type}>({cols},{rows},0.5,0.75,2,3,{image_num})")
    h.data_offset = offset
    return h


def write(path, pixels, samples=1, **elements):
    """A small explicit little-endian part 10 file written by pydicom."""
    ds = pydicom.Dataset()
    ds.file_meta = pydicom.dataset.FileMetaDataset()
    ds.file_meta.TransferSyntaxUID = pydicom.uid.ExplicitVRLittleEndian
    ds.file_meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    ds.file_meta.MediaStorageSOPInstanceUID = pydicom.uid.generate_uid()
    ds.is_little_endian, ds.is_implicit_VR, ds.PhotometricInterpretation = True, False, "MONOCHROME2"
    ds.Rows, ds.Columns = pixels.shape[-3:-1] if samples == 3 else pixels.shape[-2:]
    ds.SamplesPerPixel, ds.BitsAllocated = samples, 8 * pixels.itemsize
    ds.BitsStored, ds.HighBit = ds.BitsAllocated, ds.BitsAllocated - 1
    ds.PixelRepresentation = int(pixels.dtype.kind == "i")
    for key, value in elements.items():
        setattr(ds, key, value)
    ds.PixelData = (np.moveaxis(pixels, -1, 0) if elements.get("PlanarConfiguration") else pixels).tobytes()
    ds.save_as(path, write_like_original=False)
    return path
