// The tool's subcommands. Each returns the exit status: 0 success, 1 when a
// file could not be read or written (the others still go on).
#ifndef QUARN_TOOL_COMMANDS_H
#define QUARN_TOOL_COMMANDS_H

#include <optional>
#include <string>
#include <vector>

#include "Formats.h"
#include "Rendering.h"

namespace tool {

struct RenderOptions {
    std::optional<GrayWindow> window;  // in rescaled units; default: the frame's minimum and maximum
    bool fileWindow = false;           // the file's own window
    int rotate = 0;                    // 0, 90, 180, 270 (clockwise)
    char flip = 0;                     // 'h', 'v' or 0
    bool half = false;                 // 2 x 2 halving
    int frame = 0;                     // counted from 1; 0: the first, with a note when there are more
};

int RunInfo(const std::vector<std::string>& files, const ReadRequest& request, bool json);
// Exit status 3 when `strict` and a series has a problem. `jobs`: the
// threads that read (0: one per processor core).
int RunScan(const std::vector<std::string>& paths, const ReadRequest& request, bool json, bool strict,
            unsigned jobs);
// Writes the one series of `input` as OUT.nii or OUT.nii.gz, or every series
// as OUTDIR/<name>.nii.gz when `out` names a folder; each with a JSON sidecar.
// The series one after the other, each read and compressed on `jobs` threads.
int RunConvertVolume(const std::string& input, const std::string& out, const ReadRequest& request,
                     unsigned jobs);
// Whether an output names a folder: it ends in "/" or is one.
bool NamesFolder(const std::string& out);
int RunConvert(const std::string& file, const std::string& out, const ReadRequest& request,
               const RenderOptions& render);
int RunMontage(const std::vector<std::string>& paths, const std::string& out, const ReadRequest& request,
               const RenderOptions& render, int columns);

// The files named on the command line, folders walked (their files sorted by
// path); `inFolder` marks the files found by walking, which are skipped
// quietly when they are of no known format.
struct FileEntry {
    std::string path;
    bool inFolder = false;
};
std::vector<FileEntry> ExpandPaths(const std::vector<std::string>& paths);

// Reports a problem with one file on standard error: "quarn: FILE: MESSAGE".
void ReportFileError(const std::string& file, const std::string& message);

}  // namespace tool

#endif
