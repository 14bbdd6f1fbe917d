// quarn: looks at, scans and converts MRI slice files from the shell.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "Commands.h"
#include "Quarn.h"
#include "QuarnVersion.h"

namespace {

const int kUsage = 2;

struct RawOptions {
    std::string header;
    int width = 0;
    int height = 0;
    std::string pixelType;
    std::string rawType;
    long offset = 0;
    bool offsetGiven = false;
    double pixelSize = 1.0;
    std::string format;
};

void AddReadOptions(CLI::App* cmd, RawOptions& o)
{
    cmd->add_option("--format", o.format,
                    "Read the files as this format instead of the one their bytes show: dicom, nema, genesis "
                    "(\"IMGF\" files through the Genesis reader, as their bytes show them), signa (\"IMGF\" "
                    "files through the Signa reader), siemens or raw")
        ->check(CLI::IsMember({"dicom", "nema", "signa", "genesis", "siemens", "raw"}))
        ->group("Reading");
    auto* header = cmd->add_option("--header", o.header,
                                   "Raw files: their geometry as a compact header text, e.g. "
                                   "\"<Axial: short>(64,64,1,1,3,0,1)\", or the name of a file holding one")
                       ->group("Raw files");
    auto* width = cmd->add_option("--width", o.width, "Raw files: columns (16..1024)")->group("Raw files");
    auto* height = cmd->add_option("--height", o.height, "Raw files: rows (16..1024)")->group("Raw files");
    auto* type = cmd->add_option("--pixel-type", o.pixelType, "Raw files: uchar, short or float")
                     ->check(CLI::IsMember({"uchar", "short", "float"}))
                     ->group("Raw files");
    cmd->add_option("--pixel-size", o.pixelSize, "Raw files given by --width/--height: pixel size in mm (default 1)")
        ->group("Raw files");
    header->excludes(width)->excludes(height)->excludes(type);
    cmd->add_option("--raw-type", o.rawType,
                    "Raw files: raw8, raw16 (little-endian), raw16swapped (big-endian) or float; "
                    "by default the one that fits the pixel type")
        ->check(CLI::IsMember({"raw8", "raw16", "raw16swapped", "float"}))
        ->group("Raw files");
    cmd->add_option("--offset", o.offset,
                    "Raw files: byte offset of the pixels (default 0; -1: the pixels are the file's last bytes)")
        ->group("Raw files")
        ->each([&o](const std::string&) { o.offsetGiven = true; });
}

// Builds the read request; throws CLI::ValidationError for bad geometry.
tool::ReadRequest MakeRequest(const RawOptions& o)
{
    tool::ReadRequest r;
    if (o.format == "dicom") r.forced = tool::Format::Dicom;
    else if (o.format == "nema") r.forced = tool::Format::Nema;
    else if (o.format == "signa") r.forced = tool::Format::Signa;
    else if (o.format == "genesis") r.forced = tool::Format::Genesis;
    else if (o.format == "siemens") r.forced = tool::Format::Siemens;
    else if (o.format == "raw") r.forced = tool::Format::Raw;

    const bool byHeader = !o.header.empty();
    const bool bySize = o.width || o.height || !o.pixelType.empty();
    if (!byHeader && !bySize) {
        if (!o.rawType.empty() || o.offsetGiven)
            throw CLI::ValidationError("raw files", "--raw-type and --offset need --header or --width, --height "
                                                    "and --pixel-type");
        if (r.forced == tool::Format::Raw)
            throw CLI::ValidationError("--format raw", "needs the geometry: --header, or --width, --height and "
                                                       "--pixel-type");
        return r;
    }
    if (r.forced && r.forced != tool::Format::Raw)
        throw CLI::ValidationError("--format " + o.format, "raw geometry options apply only to raw files");
    ecRawHeaderInfo h;
    if (byHeader) {
        std::error_code ec;
        const bool isFile = std::filesystem::is_regular_file(o.header, ec);
        const bool ok = isFile ? h.Evaluate(o.header.c_str()) : h.Evaluate(o.header);
        if (!ok)
            throw CLI::ValidationError("--header", std::string(isFile ? "the file does not hold" : "not") +
                                                       " a compact header text such as "
                                                       "\"<Axial: short>(64,64,1,1,3,0,1)\"");
    } else {
        if (!o.width || !o.height || o.pixelType.empty())
            throw CLI::ValidationError("raw files", "--width, --height and --pixel-type go together");
        h.iNumPix = o.width;
        h.iNumPixY = o.height;
        h.fSizePix = h.fSizePixY = o.pixelSize;
        h.fSliceThickness = 1.0;
        h.fSliceSpacing = 0.0;
        h.iImageNum = 0;
        h.PlaneType = h.ImagePlane = SliceAxial;
        h.iNumFrames = 1;
        h.DataType = ecBaseData::Parse(o.pixelType);
        h.bIsValid = true;
    }
    h.lDataOffset = o.offsetGiven ? o.offset : 0;
    if (h.DataType != 105 && h.DataType != 98 && h.DataType != 114)
        throw CLI::ValidationError("raw files", "the pixel type must be uchar, short or float");
    if (!h.IsValidForUse(2))
        throw CLI::ValidationError("raw files", "width and height must lie in 16..1024 and pixel sizes in 0.1..64 mm");
    if (h.lDataOffset < -1) throw CLI::ValidationError("--offset", "must be -1 or more");
    std::string raw = o.rawType;
    if (raw.empty()) raw = h.DataType == 105 ? "raw8" : h.DataType == 114 ? "float" : "raw16";
    const int expected = raw == "raw8" ? 105 : raw == "float" ? 114 : 98;
    if (expected != h.DataType)
        throw CLI::ValidationError("--raw-type " + raw, "does not fit the pixel type " +
                                                            ecBaseData::Ascii(static_cast<ecBaseData::BaseDataType>(h.DataType)));
    r.rawType = raw == "raw8" ? MriRaw8 : raw == "raw16" ? MriRaw16 : raw == "raw16swapped" ? MriRaw16Swapped : MriRawFloat;
    h.FileType = r.rawType;
    r.raw = h;
    return r;
}

void AddRenderOptions(CLI::App* cmd, std::string& window, int& rotate, std::string& flip, bool& half, int& frame)
{
    cmd->add_option("--window", window,
                    "Gray window CENTER,WIDTH in rescaled units (Hounsfield units for CT): CENTER - WIDTH/2 "
                    "becomes black, CENTER + WIDTH/2 white; 'file' takes the file's own window (default: the "
                    "frame's minimum to maximum)")
        ->group("Rendering");
    cmd->add_option("--frame", frame, "Multi-frame files: the frame to show, counted from 1 (default 1)")
        ->check(CLI::Range(1, 1 << 30))
        ->group("Rendering");
    cmd->add_option("--rotate", rotate, "Turn the picture clockwise by 90, 180 or 270 degrees")
        ->check(CLI::IsMember({0, 90, 180, 270}))
        ->group("Rendering");
    cmd->add_option("--flip", flip, "Mirror the picture after turning it: h (left-right) or v (top-bottom)")
        ->check(CLI::IsMember({"h", "v"}))
        ->group("Rendering");
    cmd->add_flag("--half", half, "Halve the slice while reading, each pixel the mean of a 2 x 2 block")
        ->group("Rendering");
}

tool::RenderOptions MakeRender(const std::string& window, int rotate, const std::string& flip, bool half, int frame)
{
    tool::RenderOptions r;
    r.frame = frame;
    if (window == "file") {
        r.fileWindow = true;
    } else if (!window.empty()) {
        tool::GrayWindow w;
        if (!tool::ParseWindow(window, w))
            throw CLI::ValidationError("--window", "expects CENTER,WIDTH with a width above 0, e.g. 40,400, or 'file'");
        r.window = w;
    }
    r.rotate = rotate;
    r.flip = flip.empty() ? 0 : flip[0];
    r.half = half;
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"quarn: looks at, scans and converts MRI slice files (DICOM part 10 and ACR-NEMA, GE Signa and "
                 "Genesis, Siemens, and headerless raw files)",
                 "quarn"};
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 a file could not be read or written, 2 usage error, 3 (scan --strict) a "
               "series has a problem.\n"
               "Run 'quarn COMMAND --help' for the options of a command.");
    app.set_version_flag("--version", "quarn " QUARN_VERSION);

    RawOptions infoRaw, scanRaw, convertRaw, montageRaw;
    std::vector<std::string> infoFiles, scanPaths, montagePaths;
    std::string convertFile, convertOut, montageOut;
    bool json = false, scanJson = false, strict = false;
    std::string window, flip;
    int rotate = 0, columns = 0, frame = 0;
    unsigned scanJobs = 0, convertJobs = 0;
    bool half = false;

    auto* info = app.add_subcommand("info", "Show each file's format, header record, slice information, "
                                            "position (DICOM) and pixel minimum and maximum");
    info->add_option("FILE", infoFiles, "Slice files")->required();
    info->add_flag("--json", json, "Write the same as a JSON array, one object per file");
    AddReadOptions(info, infoRaw);

    auto* scan = app.add_subcommand("scan", "Find the series among files and folders: each series with its files "
                                            "in order along the slice normal and its problems (missing-slice, "
                                            "duplicate-position, uneven-spacing, orientation-changes, size-differs)");
    scan->add_option("PATH", scanPaths, "Slice files or folders (folders are walked; files of no known format "
                                        "in them are skipped)")
        ->required();
    scan->add_flag("--json", scanJson, "Write {\"series\": [...], \"failed\": [...], \"skipped\": N} as JSON");
    scan->add_flag("--strict", strict, "Exit with status 3 when any series has a problem");
    scan->add_option("-j,--jobs", scanJobs, "Read the files on N threads (default: one per processor core)")
        ->check(CLI::Range(1u, 1024u));
    AddReadOptions(scan, scanRaw);

    auto* convert = app.add_subcommand("convert", "Write one slice (one frame) as an 8-bit picture (.png, .pgm; "
                                                  "palette colour as RGB .png) or its stored values with a 12-byte "
                                                  "header (.raw); or the series of a folder as NIfTI-1 volumes "
                                                  "(.nii, .nii.gz, or a folder of them) with JSON sidecars");
    convert->add_option("FILE", convertFile, "Slice file, or a folder of slice files for NIfTI output")->required();
    convert->add_option("-o,--output", convertOut,
                        "Output: OUT.png, OUT.pgm or OUT.raw for a slice; OUT.nii.gz or OUT.nii for the one series "
                        "of FILE; OUTDIR/ for <SeriesNumber>_<SeriesDescription>.nii.gz per series")
        ->required();
    convert->add_option("-j,--jobs", convertJobs,
                        "NIfTI output: read the slices and compress on N threads (default: one per processor core)")
        ->check(CLI::Range(1u, 1024u));
    AddRenderOptions(convert, window, rotate, flip, half, frame);
    AddReadOptions(convert, convertRaw);

    auto* montage = app.add_subcommand("montage", "Put the slices of a series, sorted by image number, in one grid "
                                                  "picture");
    montage->add_option("PATH", montagePaths, "Slice files or folders")->required();
    montage->add_option("-o,--output", montageOut, "Output file: OUT.png or OUT.pgm")->required();
    montage->add_option("--columns", columns, "Cells per row (default: a square grid)")->check(CLI::Range(1, 1000));
    AddRenderOptions(montage, window, rotate, flip, half, frame);
    AddReadOptions(montage, montageRaw);

    try {
        app.parse(argc, argv);
        if (*info) return tool::RunInfo(infoFiles, MakeRequest(infoRaw), json);
        if (*scan) return tool::RunScan(scanPaths, MakeRequest(scanRaw), scanJson, strict, scanJobs);
        if (*convert) {
            const tool::RenderOptions render = MakeRender(window, rotate, flip, half, frame);
            const std::string ext = std::filesystem::path(convertOut).extension().string();
            const bool nifti = tool::NamesFolder(convertOut) || ext == ".nii" ||
                               (ext == ".gz" && std::filesystem::path(convertOut).stem().extension() == ".nii");
            if (nifti) {
                if (render.window || render.fileWindow || render.rotate || render.flip || render.half || render.frame)
                    throw CLI::ValidationError("--output", "NIfTI volumes keep the stored values: --window, --frame, "
                                                           "--rotate, --flip and --half apply to pictures only");
                return tool::RunConvertVolume(convertFile, convertOut, MakeRequest(convertRaw), convertJobs);
            }
            if (ext != ".png" && ext != ".pgm" && ext != ".raw")
                throw CLI::ValidationError("--output", "must end in .png, .pgm, .raw, .nii or .nii.gz, or name a "
                                                       "folder (OUTDIR/)");
            if (ext == ".raw" && (render.window || render.fileWindow || render.rotate || render.flip))
                throw CLI::ValidationError("--output", ".raw keeps the pixel values: --window, --rotate and --flip "
                                                       "apply to pictures only");
            return tool::RunConvert(convertFile, convertOut, MakeRequest(convertRaw), render);
        }
        if (*montage) {
            const tool::RenderOptions render = MakeRender(window, rotate, flip, half, frame);
            const std::string ext = std::filesystem::path(montageOut).extension().string();
            if (ext != ".png" && ext != ".pgm") throw CLI::ValidationError("--output", "must end in .png or .pgm");
            return tool::RunMontage(montagePaths, montageOut, MakeRequest(montageRaw), render, columns);
        }
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kUsage;
    }
    return kUsage;
}
