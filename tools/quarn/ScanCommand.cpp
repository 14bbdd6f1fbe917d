// quarn scan: the series under files and folders, each with its files in
// order along the slice normal and its problems, in words or as JSON.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "QuarnSeries.h"
#include "Slices.h"

namespace fs = std::filesystem;

namespace tool {

std::vector<FileEntry> ExpandPaths(const std::vector<std::string>& paths)
{
    std::vector<FileEntry> out;
    for (const std::string& p : paths) {
        std::error_code ec;
        if (!fs::is_directory(p, ec)) {
            out.push_back({p, false});
            continue;
        }
        std::vector<std::string> found;
        for (fs::recursive_directory_iterator it(p, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec)) {
            if (it->is_regular_file(ec)) found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        for (const std::string& f : found) out.push_back({f, true});
    }
    return out;
}

namespace {

std::string Identity(const quarn::Series& s)
{
    std::string id = s.seriesInstanceUID ? *s.seriesInstanceUID : "no series UID";
    if (s.examNumber) id += ", exam " + std::to_string(*s.examNumber);
    if (s.seriesNumber) id += ", number " + std::to_string(*s.seriesNumber);
    if (s.seriesDescription) id += ", \"" + *s.seriesDescription + "\"";
    return id;
}

nlohmann::ordered_json Optional(const std::optional<std::string>& v) { return v ? nlohmann::ordered_json(*v) : nullptr; }
nlohmann::ordered_json Optional(const std::optional<int>& v) { return v ? nlohmann::ordered_json(*v) : nullptr; }

std::string ScanJson(const quarn::ScanResult& scan)
{
    // Built member by member and moved into place: an initializer list would
    // copy every file name of every series twice.
    using J = nlohmann::ordered_json;
    J series = J::array();
    for (const quarn::Series& s : scan.series) {
        J problems = J::array();
        for (const quarn::Problem& p : s.problems)
            problems.push_back(J{{"kind", quarn::ProblemWord(p.kind)}, {"files", p.files}, {"detail", p.detail}});
        J one = J::object();
        one["SeriesInstanceUID"] = Optional(s.seriesInstanceUID);
        one["SeriesNumber"] = Optional(s.seriesNumber);
        one["SeriesDescription"] = Optional(s.seriesDescription);
        one["format"] = quarn::FormatWord(s.format);
        one["files"] = s.files;
        one["problems"] = std::move(problems);
        series.push_back(std::move(one));
    }
    J failed = J::array();
    for (const quarn::FailedFile& f : scan.failed) failed.push_back(J{{"file", f.file}, {"error", f.error}});
    J out = J::object();
    out["series"] = std::move(series);
    out["failed"] = std::move(failed);
    out["skipped"] = scan.skipped;
    return out.dump(2, ' ', false, J::error_handler_t::replace);
}

}  // namespace

int RunScan(const std::vector<std::string>& paths, const ReadRequest& request, bool json, bool strict, unsigned jobs)
{
    const quarn::ScanResult scan = quarn::ScanSeries(paths, LibraryOptions(request), true, jobs);
    for (const quarn::FailedFile& f : scan.failed) ReportFileError(f.file, f.error);
    size_t files = 0, withProblems = 0;
    for (const quarn::Series& s : scan.series) {
        files += s.files.size();
        if (!s.problems.empty()) ++withProblems;
    }
    if (json) {
        std::printf("%s\n", ScanJson(scan).c_str());
    } else {
        for (size_t i = 0; i < scan.series.size(); ++i) {
            const quarn::Series& s = scan.series[i];
            std::printf("series %zu: %s; %s, %zu file%s in %s, %s\n", i + 1, Identity(s).c_str(),
                        quarn::FormatWord(s.format), s.files.size(), s.files.size() == 1 ? "" : "s",
                        s.folder.c_str(), s.positioned ? "sorted along the slice normal" : "sorted by instance number");
            for (const std::string& f : s.files) std::printf("  %s\n", f.c_str());
            if (s.problems.empty()) std::printf("  no problems\n");
            for (const quarn::Problem& p : s.problems) {
                std::printf("  problem %s:", quarn::ProblemWord(p.kind));
                for (const std::string& f : p.files) std::printf(" %s", f.c_str());
                std::printf(": %s\n", p.detail.c_str());
            }
        }
        std::printf("files: %zu read, %zu failed, %zu skipped (no known format); series: %zu, %zu with problems\n",
                    files, scan.failed.size(), scan.skipped, scan.series.size(), withProblems);
    }
    if (!scan.failed.empty()) return 1;
    if (scan.series.empty()) {
        std::fprintf(stderr, "quarn: no slice files to scan\n");
        return 1;
    }
    return strict && withProblems ? 3 : 0;
}

}  // namespace tool
