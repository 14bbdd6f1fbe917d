// The modern path's one entry: probe the file, or take the format the
// caller forces, and read it with that format's reader.
#include "bytes/File.h"
#include "bytes/StreamCursor.h"
#include "image/Readers.h"

namespace quarn {

Image ReadImage(const std::string& path, const ReadOptions& options)
{
    Format format = options.format.value_or(Format::Unknown);
    if (!options.format || format == Format::Dicom || format == Format::Nema) {
        // The file is opened once: the probe reads its first block, and a
        // DICOM or ACR-NEMA file is read on from there.
        const bytes::Descriptor fd(path.c_str());
        bytes::StreamCursor in(fd.get());
        if (options.format) image::CheckOpen(path, fd, in);
        else format = image::ProbeOpen(path, fd, in).format;
        if (format == Format::Dicom || format == Format::Nema) return image::ReadDicom(path, format, options, in);
        if (format == Format::Unknown && options.raw) format = Format::Raw;
    }
    switch (format) {
    case Format::Genesis: return image::ReadGenesis(path, options);
    case Format::Signa: return image::ReadSigna(path, options);
    case Format::Siemens: return image::ReadSiemens(path, options);
    case Format::Raw:
        if (!options.raw)
            throw Error(Reason::NeedsGeometry, path, "a headerless raw file needs its rows, columns and pixel type");
        return image::ReadRaw(path, *options.raw, options);
    case Format::Dicom:
    case Format::Nema:  // read from the open file above, never here
    case Format::Unknown: break;
    }
    throw Error(Reason::UnknownFormat, path,
                "not a DICOM, ACR-NEMA, GE or Siemens file (no format signature); a headerless raw file needs its "
                "geometry");
}

}  // namespace quarn
