// Series found and checked: headers read, grouped, sorted along the slice
// normal, and the gaps, positions, orientations and sizes compared.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <numeric>

#include "QuarnSeries.h"
#include "series/Parallel.h"
#include "series/SeriesMath.h"

namespace fs = std::filesystem;

namespace quarn {

const char* ProblemWord(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::MissingSlice: return "missing-slice";
    case ProblemKind::DuplicatePosition: return "duplicate-position";
    case ProblemKind::UnevenSpacing: return "uneven-spacing";
    case ProblemKind::OrientationChanges: return "orientation-changes";
    case ProblemKind::SizeDiffers: return "size-differs";
    }
    return "unknown";
}

namespace series {

bool Positioned(const Image& im) { return im.imagePosition && im.imageOrientation; }

Vec3 Normal(const Image& im)
{
    const auto& o = *im.imageOrientation;
    return Cross({o[0], o[1], o[2]}, {o[3], o[4], o[5]});
}

}  // namespace series

namespace {

using series::Vec3;

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string FolderOf(const std::string& file)
{
    const std::string parent = fs::path(file).parent_path().string();
    return parent.empty() ? "." : parent;
}

// The in-plane geometry that separates series of one identity.
std::string PlaneKey(const Image& im)
{
    char buf[96];
    const auto ps = im.pixelSpacing.value_or(std::array<double, 2>{0, 0});
    std::snprintf(buf, sizeof buf, "%dx%d/%.4f/%.4f", im.rows, im.columns, ps[0], ps[1]);
    return buf;
}

std::string GroupKey(const Image& im)
{
    std::string key = std::string(FormatWord(im.format)) + "|";
    if ((im.format == Format::Dicom || im.format == Format::Nema) && im.seriesInstanceUID)
        return key + "uid|" + *im.seriesInstanceUID;
    const bool ge = im.format == Format::Genesis || im.format == Format::Signa;
    if (ge && im.examNumber && im.seriesNumber)
        return key + "exam|" + std::to_string(*im.examNumber) + "|" + std::to_string(*im.seriesNumber) + "|" +
               PlaneKey(im);
    key += "folder|" + FolderOf(im.file) + "|";
    if (im.seriesNumber) key += std::to_string(*im.seriesNumber);
    return key + "|" + PlaneKey(im);
}

bool Differs(double a, double b) { return std::fabs(a - b) > 1e-4 * std::max(std::fabs(a), std::fabs(b)); }

// How `im` differs from `ref` in size, or empty.
std::string SizeDifference(const Image& ref, const Image& im)
{
    if (im.rows != ref.rows || im.columns != ref.columns)
        return std::to_string(im.columns) + " x " + std::to_string(im.rows) + " pixels instead of " +
               std::to_string(ref.columns) + " x " + std::to_string(ref.rows);
    if (im.pixelSpacing.has_value() != ref.pixelSpacing.has_value())
        return im.pixelSpacing ? "a pixel spacing where the first slice has none"
                               : "no pixel spacing where the first slice has one";
    if (im.pixelSpacing && (Differs((*im.pixelSpacing)[0], (*ref.pixelSpacing)[0]) ||
                            Differs((*im.pixelSpacing)[1], (*ref.pixelSpacing)[1])))
        return "pixel spacing " + Number((*im.pixelSpacing)[0]) + " x " + Number((*im.pixelSpacing)[1]) +
               " mm instead of " + Number((*ref.pixelSpacing)[0]) + " x " + Number((*ref.pixelSpacing)[1]) + " mm";
    return "";
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Sorts the series' slices and finds its problems.
void Check(Series& s)
{
    std::vector<Image>& h = s.headers;
    s.positioned = std::all_of(h.begin(), h.end(), [](const Image& im) { return series::Positioned(im); });
    // The normal of the slice with the lowest instance number (then name):
    // one slice chosen independently of the order the files were found in.
    auto byInstance = [](const Image& a, const Image& b) {
        const int ia = a.instanceNumber.value_or(0), ib = b.instanceNumber.value_or(0);
        return ia != ib ? ia < ib : a.file < b.file;
    };
    // Sorted as indices, the images moved once into their places.
    std::vector<size_t> order(h.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return byInstance(h[a], h[b]); });
    std::vector<double> along(h.size(), 0.0);
    if (s.positioned && !h.empty()) {
        const Vec3 n = series::Normal(h[order.front()]);
        std::vector<double> at(h.size());
        for (size_t i = 0; i < h.size(); ++i) at[i] = series::Dot(n, *h[i].imagePosition);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return at[a] < at[b]; });
        for (size_t k = 0; k < order.size(); ++k) along[k] = at[order[k]];
    }
    std::vector<Image> sorted;
    sorted.reserve(h.size());
    for (size_t i : order) sorted.push_back(std::move(h[i]));
    h = std::move(sorted);
    s.files.clear();
    s.files.reserve(h.size());
    for (const Image& im : h) s.files.push_back(im.file);

    const Image& ref = h.front();
    for (size_t i = 1; i < h.size(); ++i) {
        const std::string diff = SizeDifference(ref, h[i]);
        if (!diff.empty()) s.problems.push_back({ProblemKind::SizeDiffers, {ref.file, h[i].file}, diff});
    }
    if (!s.positioned) return;
    for (size_t i = 1; i < h.size(); ++i) {
        const auto& a = *ref.imageOrientation;
        const auto& b = *h[i].imageOrientation;
        double worst = 0;
        for (size_t k = 0; k < 6; ++k) worst = std::max(worst, std::fabs(a[k] - b[k]));
        if (worst > 1e-4)
            s.problems.push_back({ProblemKind::OrientationChanges, {ref.file, h[i].file},
                                  "direction cosines differ from the first slice's by up to " + Number(worst)});
    }
    std::vector<double> gaps;
    for (size_t i = 0; i + 1 < h.size(); ++i) {
        const double g = along[i + 1] - along[i];
        if (g < 0.01)
            s.problems.push_back({ProblemKind::DuplicatePosition, {h[i].file, h[i + 1].file},
                                  "both slices lie at " + Number(along[i]) + " mm along the normal"});
        else
            gaps.push_back(g);
    }
    if (gaps.empty()) return;
    const double m = Median(gaps);
    for (size_t i = 0; i + 1 < h.size(); ++i) {
        const double g = along[i + 1] - along[i];
        if (g < 0.01) continue;
        const double k = std::round(g / m);
        const std::string between = "a gap of " + Number(g) + " mm ";
        if (k >= 2 && std::fabs(g - k * m) <= 0.01 * k * m)
            s.problems.push_back({ProblemKind::MissingSlice, {h[i].file, h[i + 1].file},
                                  between + "is " + Number(k) + " times the median spacing " + Number(m) + " mm: " +
                                      Number(k - 1) + " slice" + (k > 2 ? "s" : "") + " missing"});
        else if (std::fabs(g - m) > 0.01 * m)
            s.problems.push_back({ProblemKind::UnevenSpacing, {h[i].file, h[i + 1].file},
                                  between + "where the median spacing is " + Number(m) + " mm"});
    }
}

// The regular files in `dir` (and with `recurse` in the folders under it,
// links to folders not followed), as dir/name paths, in no order; folders
// that cannot be read are passed over. The type each entry of a folder
// listing carries saves a stat of every file.
void ListFiles(const std::string& dir, bool recurse, std::vector<std::string>& out)
{
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = !dir.empty() && dir.back() == '/' ? dir : dir + '/';
    std::vector<std::string> folders;
    while (const dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        std::string path = prefix + name;
        int type = e->d_type;
        struct stat st;
        if (type == DT_UNKNOWN && ::lstat(path.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) type = DT_DIR;
            else if (S_ISLNK(st.st_mode)) type = DT_LNK;
            else if (S_ISREG(st.st_mode)) type = DT_REG;
        }
        if (type == DT_LNK && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) type = DT_REG;
        if (type == DT_REG)
            out.push_back(std::move(path));
        else if (type == DT_DIR && recurse)
            folders.push_back(std::move(path));
    }
    ::closedir(d);
    for (const std::string& f : folders) ListFiles(f, recurse, out);
}

void Walk(const std::string& dir, bool recurse, std::vector<std::string>& out)
{
    std::vector<std::string> found;
    ListFiles(dir, recurse, found);
    std::sort(found.begin(), found.end());
    out.insert(out.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
}

}  // namespace

ScanResult ScanSeries(const std::vector<std::string>& paths, const ReadOptions& options, bool recurse, unsigned threads)
{
    struct Entry {
        std::string file;
        bool inFolder = false;
        std::optional<Image> image;
        std::optional<Error> error;
        std::string otherError;
    };
    std::vector<std::string> names;
    std::vector<bool> inFolder;
    for (const std::string& p : paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            Walk(p, recurse, names);
            inFolder.resize(names.size(), true);
        } else {
            names.push_back(p);
            inFolder.push_back(false);
        }
    }
    std::vector<Entry> entries(names.size());  // made once: an entry is large
    for (size_t i = 0; i < names.size(); ++i) {
        entries[i].file = std::move(names[i]);
        entries[i].inFolder = inFolder[i];
    }
    ReadOptions headerOnly = options;
    headerOnly.pixels = false;
    series::ForEachIndex(entries.size(), threads, [&](size_t i) {
        Entry& e = entries[i];
        try {
            e.image = ReadImage(e.file, headerOnly);
            e.image->file = e.file;
        } catch (const Error& err) {
            e.error = err;
        } catch (const std::exception& err) {  // std::bad_alloc and the like: reported, never thrown on
            e.otherError = err.what();
        }
    });
    // Grouped in the order the files were named and found, whatever the
    // order the threads read them in.
    ScanResult result;
    std::map<std::string, size_t> groups;
    std::vector<size_t> groupOf(entries.size(), SIZE_MAX);
    std::vector<size_t> sizes;
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        if (e.error && e.inFolder && e.error->reason() == Reason::UnknownFormat) {
            ++result.skipped;
            continue;
        }
        if (!e.image) {
            result.failed.push_back({e.file, e.error ? e.error->cause() : e.otherError});
            continue;
        }
        const Image& im = *e.image;
        auto [it, fresh] = groups.emplace(GroupKey(im), result.series.size());
        if (fresh) {
            Series s;
            s.seriesInstanceUID = im.seriesInstanceUID;
            s.seriesNumber = im.seriesNumber;
            s.seriesDescription = im.seriesDescription;
            s.examNumber = im.examNumber;
            s.format = im.format;
            s.folder = FolderOf(e.file);
            result.series.push_back(std::move(s));
            sizes.push_back(0);
        }
        groupOf[i] = it->second;
        ++sizes[it->second];
    }
    // Each header moved once, into a series that has its room already.
    for (size_t g = 0; g < result.series.size(); ++g) result.series[g].headers.reserve(sizes[g]);
    for (size_t i = 0; i < entries.size(); ++i)
        if (groupOf[i] != SIZE_MAX) result.series[groupOf[i]].headers.push_back(std::move(*entries[i].image));
    // Each series checked on its own; a failure (memory) reaches the caller.
    std::vector<std::exception_ptr> failures(result.series.size());
    series::ForEachIndex(result.series.size(), threads, [&](size_t i) {
        try {
            Check(result.series[i]);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    });
    for (const std::exception_ptr& f : failures)
        if (f) std::rethrow_exception(f);
    return result;
}

std::vector<std::string> OutputNames(const std::vector<Series>& series)
{
    std::vector<std::string> names;
    std::map<std::string, int> seen;
    for (const Series& s : series) {
        std::string base = s.seriesNumber ? std::to_string(*s.seriesNumber) : "series";
        if (s.seriesDescription && !s.seriesDescription->empty()) {
            base += "_";
            for (unsigned char c : *s.seriesDescription)
                base += (std::isalnum(c) || c == '.' || c == '-' || c == '_') && c < 0x80 ? static_cast<char>(c) : '_';
        }
        const int n = ++seen[base];
        names.push_back(base + (n > 1 ? "_" + std::to_string(n) : "") + ".nii.gz");
    }
    return names;
}

Affine SeriesAffine(const Series& s)
{
    if (s.headers.empty()) throw Error(Reason::Malformed, s.folder, "the series holds no slices");
    const Image& first = s.headers.front();
    const auto ps = first.pixelSpacing.value_or(std::array<double, 2>{1, 1});
    Vec3 r{1, 0, 0}, c{0, 1, 0}, p0{0, 0, 0};
    if (s.positioned) {
        const auto& o = *first.imageOrientation;
        r = {o[0], o[1], o[2]};
        c = {o[3], o[4], o[5]};
        p0 = *first.imagePosition;
    }
    const Vec3 n = series::Cross(r, c);
    Vec3 step;
    if (s.positioned && s.headers.size() > 1) {
        const Vec3& pl = *s.headers.back().imagePosition;
        const double k = static_cast<double>(s.headers.size() - 1);
        step = {(pl[0] - p0[0]) / k, (pl[1] - p0[1]) / k, (pl[2] - p0[2]) / k};
    } else {
        const double dz = first.spacingBetweenSlices.value_or(first.sliceThickness.value_or(1.0));
        step = {n[0] * dz, n[1] * dz, n[2] * dz};
    }
    Affine a{};
    for (int row = 0; row < 3; ++row) {
        const double sign = row < 2 ? -1.0 : 1.0;  // LPS to RAS
        a[row * 4 + 0] = sign * r[row] * ps[1];
        a[row * 4 + 1] = sign * c[row] * ps[0];
        a[row * 4 + 2] = sign * step[row];
        a[row * 4 + 3] = sign * p0[row];
    }
    a[15] = 1;
    return a;
}

}  // namespace quarn
