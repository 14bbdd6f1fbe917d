// Telling a slice file's format from its own bytes, and the geometry the user
// gives for headerless raw files.
#ifndef QUARN_TOOL_FORMATS_H
#define QUARN_TOOL_FORMATS_H

#include <optional>
#include <string>

#include "Quarn.h"
#include "QuarnImage.h"

namespace tool {

// The library's formats and their words ("dicom", "nema", "signa", "genesis",
// "siemens", "raw", "unknown").
using Format = quarn::Format;
using quarn::FormatWord;
// A line for people: what the bytes showed.
std::string FormatDescription(Format f);
// The library's file type that reads the format (raw: from the raw type).
MriFileType LibraryFileType(Format f, MriFileType rawType);

// A failure that the tool reports for one file (exit status 1).
struct FileError {
    std::string message;
};

// The library's probe: the format the file's bytes show. Throws FileError
// for folders, missing, unreadable and empty files.
Format DetectFormat(const std::string& path);

// How the user wants files read: a forced format and the raw geometry.
struct ReadRequest {
    std::optional<Format> forced;   // --format
    std::optional<ecRawHeaderInfo> raw;  // geometry of raw files
    MriFileType rawType = MriRaw16;  // the raw file type
};

// The format a file is read as: the forced one, else the detected one; a
// file of no known format is raw when raw geometry was given. Throws
// FileError when the file cannot be classified or when raw geometry was
// given for a file that is recognisably of another format.
Format ResolveFormat(const std::string& path, const ReadRequest& request);

}  // namespace tool

#endif
