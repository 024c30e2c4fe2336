#include "imaging/OpenRaster.h"

#include "imaging/BoundedXml.h"
#include "imaging/FastPng.h"
#include "imaging/LargeBuffer.h"
#include "imaging/Parallel.h"
#include "imaging/PictureFile.h"
#include "imaging/ZipArchive.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <set>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

constexpr std::string_view kMimeType = "image/openraster";
const std::string kMimeTypeName = "mimetype";
const std::string kStackName = "stack.xml";
const std::string kMergedName = "mergedimage.png";
const std::string kThumbnailName = "Thumbnails/thumbnail.png";
constexpr int kThumbnailSide = 256;
// A layer's offset, each stack's too; with the nesting bound their sum stays in an int.
constexpr double kMaxOffset = double(1 << 24);
// Deflate gives at most 1032 bytes for one byte of compressed data.
constexpr std::uint64_t kDeflateMaxRatio = 1032;

// The pictures' compression: libdeflate's fastest level (see bench/scene_files.cpp).
constexpr int kPngLevel = 1;

std::string layerEntryName(std::size_t index) {
    return "data/" + std::to_string(index) + ".png";
}

bool endsWithPng(std::string_view name) {
    if (name.size() < 4)
        return false;
    std::string tail(name.substr(name.size() - 4));
    for (char& c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

// An entry name is used only when relative and without a ".." component (backslashes
// count as separators, as some unpackers take them).
bool safeEntryName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return false;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

std::string shown(std::string_view name) {
    return "\"" + textForMessage(name, 80) + "\"";
}

// ---------------------------------------------------------------------------------------
// Writing

std::string formatNumber(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string stackXmlOf(const OraImage& image) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<image version=\"0.0.5\" w=\"" +
                      std::to_string(image.width) + "\" h=\"" + std::to_string(image.height) +
                      "\">\n <stack>\n";
    for (std::size_t k = image.layers.size(); k-- > 0;) {
        const OraLayer& layer = image.layers[k];
        xml += "  <layer name=\"" + escapeXmlAttribute(layer.name) + "\" src=\"" +
               layerEntryName(k) + "\" x=\"" + std::to_string(layer.x) + "\" y=\"" +
               std::to_string(layer.y) + "\" opacity=\"" +
               formatNumber(std::clamp(layer.opacity, 0.0, 1.0)) + "\" visibility=\"" +
               (layer.visible ? "visible" : "hidden") + "\" composite-op=\"svg:src-over\"/>\n";
    }
    return xml + " </stack>\n</image>\n";
}

// The composed picture scaled down to fit kThumbnailSide a side, its shape kept: each
// thumbnail pixel averages its box of the picture, the colours weighted by alpha.
TBitmap32 thumbnailOf(const TBitmap32& merged) {
    const int w = merged.width(), h = merged.height();
    if (w <= kThumbnailSide && h <= kThumbnailSide)
        return merged;
    const std::int64_t longer = std::max(w, h);
    const int tw = std::max(1, int((std::int64_t(w) * kThumbnailSide + longer / 2) / longer));
    const int th = std::max(1, int((std::int64_t(h) * kThumbnailSide + longer / 2) / longer));
    std::vector<int> column(std::size_t(w), 0);
    for (int x = 0; x < w; ++x)
        column[std::size_t(x)] = int(std::int64_t(x) * tw / w);
    TBitmap32 out(tw, th);
    // Per thumbnail column: alpha, alpha-weighted blue, green, red, plain blue, green, red.
    std::vector<std::uint64_t> sums(std::size_t(tw) * 7);
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(tw));
    for (int ty = 0; ty < th; ++ty) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        const int y0 = int(std::int64_t(ty) * h / th), y1 = int(std::int64_t(ty + 1) * h / th);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = merged.row(y);
            for (int x = 0; x < w; ++x, row += 4) {
                std::uint64_t* s = &sums[std::size_t(column[std::size_t(x)]) * 7];
                const std::uint64_t a = row[kAlpha];
                s[0] += a;
                s[1] += a * row[kBlue];
                s[2] += a * row[kGreen];
                s[3] += a * row[kRed];
                s[4] += row[kBlue];
                s[5] += row[kGreen];
                s[6] += row[kRed];
                ++counts[std::size_t(column[std::size_t(x)])];
            }
        }
        std::uint8_t* target = out.row(ty);
        for (int tx = 0; tx < tw; ++tx, target += 4) {
            const std::uint64_t* s = &sums[std::size_t(tx) * 7];
            const std::uint64_t n = counts[std::size_t(tx)];
            for (int c = 0; c < 3; ++c)
                target[c] =
                    std::uint8_t(s[0] != 0 ? (s[1 + c] + s[0] / 2) / s[0] : (s[4 + c] + n / 2) / n);
            target[kAlpha] = std::uint8_t((s[0] + n / 2) / n);
        }
    }
    return out;
}

// Why the image or the extra entries cannot be written as given; empty when they can.
std::string refusalOf(const OraImage& image, const std::vector<OraExtraEntry>& extra,
                      const std::vector<OraExtraPicture>& extraPictures) {
    if (image.width <= 0 || image.height <= 0)
        return "the picture has no size";
    if (!pictureSizeAllowed(image.width, image.height))
        return pictureTooLargeMessage(image.width, image.height);
    if (image.merged.width() != image.width || image.merged.height() != image.height)
        return "the composed picture is " + std::to_string(image.merged.width()) + " x " +
               std::to_string(image.merged.height()) + " pixels, not the picture's " +
               std::to_string(image.width) + " x " + std::to_string(image.height);
    if (image.layers.size() > std::size_t(kOraMaxLayers))
        return "more than " + std::to_string(kOraMaxLayers) + " layers";
    for (std::size_t k = 0; k < image.layers.size(); ++k) {
        const OraLayer& layer = image.layers[k];
        if (layer.picture.empty() && !layer.png)
            return "layer " + std::to_string(k) + " has no picture";
        if (std::abs(double(layer.x)) > kMaxOffset || std::abs(double(layer.y)) > kMaxOffset)
            return "layer " + std::to_string(k) + " lies too far outside the picture";
        if (std::isnan(layer.opacity))
            return "layer " + std::to_string(k) + " has no opacity";
    }
    std::set<std::string> names;
    auto checkName = [&](const std::string& name, bool picture) -> std::string {
        if (!safeEntryName(name) || name.back() == '/' || name == kMimeTypeName ||
            name == kStackName || name == kMergedName || name.rfind("Thumbnails/", 0) == 0 ||
            name.rfind("data/", 0) == 0 || endsWithPng(name) != picture ||
            !names.insert(name).second)
            return "the entry name " + shown(name) + " cannot be used";
        return {};
    };
    for (const OraExtraEntry& e : extra)
        if (std::string why = checkName(e.name, false); !why.empty())
            return why;
    for (const OraExtraPicture& p : extraPictures) {
        if (std::string why = checkName(p.name, true); !why.empty())
            return why;
        if ((p.picture == nullptr || p.picture->empty()) && !p.png)
            return "the entry " + shown(p.name) + " has no picture";
    }
    return {};
}

WriteResult writeChecked(const std::string& path, const OraImage& image,
                         const std::vector<OraExtraEntry>& extra,
                         const std::vector<OraExtraPicture>& extraPictures,
                         std::map<std::string, OraPng>* written) {
    // The pictures in the order of their entries; the extra entries go in before the
    // extra pictures. A picture given encoded already is not encoded again.
    struct Job {
        std::string name;
        const TBitmap32* picture;
        bool thumbnail;
        OraPng png;
    };
    std::vector<Job> jobs;
    for (std::size_t k = 0; k < image.layers.size(); ++k)
        jobs.push_back({layerEntryName(k), &image.layers[k].picture, false, image.layers[k].png});
    jobs.push_back({kThumbnailName, &image.merged, true, nullptr});
    jobs.push_back({kMergedName, &image.merged, false, nullptr});
    const std::size_t firstExtraPicture = jobs.size();
    for (const OraExtraPicture& p : extraPictures)
        jobs.push_back({p.name, p.picture, false, p.png});

    // The pictures to encode, spread over the threads by their pixels.
    std::vector<std::size_t> toEncode;
    std::size_t pixels = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!jobs[i].png) {
            toEncode.push_back(i);
            pixels += jobs[i].picture->pixelCount();
        }
    std::atomic<bool> failed{false};
    parallelRows(int(toEncode.size()), pixels / std::max<std::size_t>(1, toEncode.size()),
                 [&](int begin, int end) {
                     for (int k = begin; k < end; ++k) {
                         Job& job = jobs[toEncode[std::size_t(k)]];
                         try {
                             job.png = std::make_shared<const std::vector<std::uint8_t>>(
                                 job.thumbnail ? encodePngFast(thumbnailOf(*job.picture), kPngLevel)
                                               : encodePngFast(*job.picture, kPngLevel));
                             if (job.png->empty())
                                 failed = true;
                         } catch (...) {
                             failed = true; // reported below
                         }
                     }
                 });
    if (failed)
        return WriteResult{false, path + ": " + kNotEnoughMemoryMessage};
    std::vector<const std::vector<std::uint8_t>*> pngs;
    for (const Job& job : jobs)
        pngs.push_back(job.png.get());

    const std::string xml = stackXmlOf(image);
    const WriteResult result = writeFileAtomically(path, [&](std::FILE* file) {
        ZipWriter zip(file);
        using Method = ZipWriter::Method;
        auto add = [&](const std::string& name, const void* data, std::size_t size, Method method) {
            if (zip.add(name, static_cast<const std::uint8_t*>(data), size, method))
                return true;
            errno = 0;
            return false;
        };
        bool ok = add(kMimeTypeName, kMimeType.data(), kMimeType.size(), Method::Store) &&
                  add(kStackName, xml.data(), xml.size(), Method::Deflate);
        for (std::size_t i = 0; ok && i < firstExtraPicture; ++i)
            ok = add(jobs[i].name, pngs[i]->data(), pngs[i]->size(), Method::Store);
        for (std::size_t i = 0; ok && i < extra.size(); ++i)
            ok = add(extra[i].name, extra[i].bytes.data(), extra[i].bytes.size(), Method::Deflate);
        for (std::size_t i = firstExtraPicture; ok && i < jobs.size(); ++i)
            ok = add(jobs[i].name, pngs[i]->data(), pngs[i]->size(), Method::Store);
        return ok && zip.finish();
    });
    if (result.ok && written)
        for (const Job& job : jobs)
            if (!job.thumbnail && job.name != kMergedName)
                (*written)[job.name] = job.png;
    return result;
}

// ---------------------------------------------------------------------------------------
// Reading

// A number as the files write it: decimal, optionally signed, with a fraction or an
// exponent; never "inf" or "nan".
bool parseNumber(std::string_view text, double& out) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.find_first_not_of("0123456789.-eE+") != std::string_view::npos)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// Where a stack or layer lies and how it shows, its own or added up with its stacks'.
struct Placement {
    std::int64_t x = 0, y = 0;
    double opacity = 1.0;
    bool visible = true;
};

struct FlatLayer {
    OraLayer layer; // without its picture
    std::string src;
};

class StackFlattener {
  public:
    bool flatten(const XmlElement& stack, const Placement& outer, int depth) {
        for (const XmlElement& child : stack.children) {
            const bool isStack = child.name == "stack";
            if (!isStack && child.name != "layer")
                continue; // elements of later versions or other programs
            const std::string* name = child.attribute("name");
            const std::string what = std::string(isStack ? "stack " : "layer ") +
                                     shown(name != nullptr ? *name : std::string());
            Placement own;
            if (!readPlacement(child, what, own))
                return false;
            const Placement placed{outer.x + own.x, outer.y + own.y, outer.opacity * own.opacity,
                                   outer.visible && own.visible};
            if (isStack) {
                if (depth >= kOraMaxNesting)
                    return fail("stacks nested deeper than " + std::to_string(kOraMaxNesting));
                if (!flatten(child, placed, depth + 1))
                    return false;
                continue;
            }
            if (m_topFirst.size() >= std::size_t(kOraMaxLayers))
                return fail("more than " + std::to_string(kOraMaxLayers) + " layers");
            const std::string* src = child.attribute("src");
            if (src == nullptr || src->empty())
                return fail(what + " names no picture");
            FlatLayer flat;
            flat.src = *src;
            flat.layer.name = name != nullptr ? *name : std::string();
            flat.layer.x = int(placed.x);
            flat.layer.y = int(placed.y);
            flat.layer.opacity = placed.opacity;
            flat.layer.visible = placed.visible;
            m_topFirst.push_back(std::move(flat));
        }
        return true;
    }

    std::vector<FlatLayer>& topFirst() { return m_topFirst; }
    const std::string& error() const { return m_error; }

  private:
    bool fail(const std::string& what) {
        m_error = what;
        return false;
    }

    bool readPlacement(const XmlElement& e, const std::string& what, Placement& out) {
        double x = 0, y = 0;
        for (auto [key, value] : {std::pair{"x", &x}, std::pair{"y", &y}}) {
            const std::string* text = e.attribute(key);
            if (text != nullptr && (!parseNumber(*text, *value) || std::abs(*value) > kMaxOffset))
                return fail(what + " has a bad " + key + " " + shown(*text));
        }
        out.x = std::llround(x);
        out.y = std::llround(y);
        if (const std::string* text = e.attribute("opacity")) {
            if (!parseNumber(*text, out.opacity))
                return fail(what + " has a bad opacity " + shown(*text));
            out.opacity = std::clamp(out.opacity, 0.0, 1.0);
        }
        const std::string* visibility = e.attribute("visibility");
        out.visible = visibility == nullptr || *visibility != "hidden";
        return true;
    }

    std::vector<FlatLayer> m_topFirst;
    std::string m_error;
};

// An open file read through its descriptor, closed at the end.
struct OpenFile {
    int fd = -1;
    std::uint64_t size = 0;
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd >= 0)
            ::close(fd);
    }
    // Empty when open; otherwise the message.
    std::string open(const std::string& path) {
        // Not blocking: a named pipe must be refused, not waited on.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return path + ": " + std::strerror(errno);
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return path + ": " + std::strerror(errno);
        if (!S_ISREG(st.st_mode))
            return path + ": not a file";
        size = std::uint64_t(st.st_size);
        return {};
    }
};

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

// One reading of one file: the archive, its entries, the first message.
class Reading {
  public:
    Reading(const ZipBytes& bytes, const std::string& displayName, const OraReadOptions& options)
        : m_bytes(bytes), m_displayName(displayName), m_options(options) {}

    const std::string& message() const { return m_message; }

    bool fail(const std::string& what) {
        if (m_message.empty())
            m_message = m_displayName + ": " + what;
        return false;
    }
    bool failEntry(const ZipEntry& e, const std::string& what) {
        return fail(shown(e.name) + " " + what);
    }

    // Opens the archive, lists its entries and checks its mimetype.
    bool open() {
        std::string error;
        m_reader = ZipReader::open(m_bytes, error);
        if (!m_reader)
            return fail("not an OpenRaster file, or damaged: " + error);
        if (!m_reader->entries(m_entries, kOraMaxEntries, error))
            return fail(error);
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (!m_byName.emplace(m_entries[i].name, i).second)
                return fail("holds two entries named " + shown(m_entries[i].name));
        const ZipEntry* mime = find(kMimeTypeName);
        if (mime == nullptr)
            return fail("not an OpenRaster file (it has no mimetype entry)");
        std::vector<std::uint8_t> type;
        if (!readWhole(*mime, 256, type))
            return false;
        std::string_view text(reinterpret_cast<const char*>(type.data()), type.size());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.remove_suffix(1);
        if (text != kMimeType)
            return fail("not an OpenRaster file (its mimetype is not image/openraster)");
        m_inflated += type.size();
        return true;
    }

    const std::vector<ZipEntry>& entries() const { return m_entries; }

    const ZipEntry* find(const std::string& name) const {
        const auto it = m_byName.find(name);
        return it == m_byName.end() ? nullptr : &m_entries[it->second];
    }

    // Whether the entry may be inflated: no more than bound, consistent sizes, a method
    // that is read. Nothing is read.
    bool checkSize(const ZipEntry& e, std::uint64_t bound) {
        if (e.encrypted)
            return failEntry(e, "is encrypted");
        if (!e.stored && !e.deflated)
            return failEntry(e, "is compressed in a way this program does not read");
        if (e.size > bound)
            return failEntry(e, "declares " + std::to_string(e.size) + " bytes, more than the " +
                                    std::to_string(bound) + " it may hold");
        if (e.compressedSize > m_bytes.size)
            return failEntry(e, "is larger than the file");
        if (e.stored && e.compressedSize != e.size)
            return failEntry(e, "declares two different sizes");
        if (e.deflated && e.size > e.compressedSize * kDeflateMaxRatio + 1024)
            return failEntry(e, "declares more bytes than its compressed data can hold");
        return true;
    }

    // Counts bytes to be inflated against the whole file's bound.
    bool reserveInflated(std::uint64_t bytes) {
        m_inflated += bytes;
        if (m_inflated > m_options.maxInflatedBytes)
            return fail("it would inflate to more than " +
                        std::to_string(m_options.maxInflatedBytes) + " bytes");
        return true;
    }

    bool readWhole(const ZipEntry& e, std::uint64_t bound, std::vector<std::uint8_t>& out) {
        std::string error;
        if (!checkSize(e, bound))
            return false;
        out.resize(std::size_t(e.size));
        if (!m_reader->read(e, out.data(), error))
            return failEntry(e, "cannot be read: " + error);
        return true;
    }

    // Decodes the PNG entries in parallel, each band of them through an archive reader of
    // its own; out[i] is the picture of entries[i]. Checked and counted beforehand.
    bool decodePictures(const std::vector<const ZipEntry*>& list, std::vector<TBitmap32>& out,
                        std::vector<OraPng>& pngs) {
        out.assign(list.size(), TBitmap32());
        pngs.assign(list.size(), nullptr);
        std::vector<std::string> errors(list.size());
        parallelRows(int(list.size()), std::size_t(1) << 20, [&](int begin, int end) {
            std::string error;
            std::unique_ptr<ZipReader> reader = ZipReader::open(m_bytes, error);
            for (int i = begin; i < end; ++i) {
                try {
                    errors[std::size_t(i)] =
                        reader ? decodeOne(*reader, *list[std::size_t(i)], out[std::size_t(i)],
                                           pngs[std::size_t(i)])
                               : " cannot be read: " + error;
                } catch (const std::bad_alloc&) {
                    errors[std::size_t(i)] = std::string(": ") + kNotEnoughMemoryMessage;
                } catch (...) {
                    errors[std::size_t(i)] = " cannot be read";
                }
            }
        });
        for (std::size_t i = 0; i < list.size(); ++i)
            if (!errors[i].empty())
                return fail(shown(list[i]->name) + errors[i]);
        return true;
    }

    // Counts pictures made by copying against the pixel bound.
    bool reservePixels(std::int64_t pixels) {
        if (m_pixels.fetch_add(pixels) + pixels > m_options.maxTotalPixels)
            return fail("its pictures hold more than " + std::to_string(m_options.maxTotalPixels) +
                        " pixels in all");
        return true;
    }

  private:
    // What is wrong with one PNG entry as the message goes on after its name; empty when
    // decoded.
    std::string decodeOne(ZipReader& reader, const ZipEntry& e, TBitmap32& picture, OraPng& kept) {
        LargeBuffer png(std::size_t(e.size));
        std::string error;
        if (!reader.read(e, png.data(), error))
            return " cannot be read: " + error;
        static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (png.size() < 24 || std::memcmp(png.data(), kSignature, 8) != 0 ||
            std::memcmp(png.data() + 12, "IHDR", 4) != 0)
            return " is not a PNG picture";
        const std::int64_t w = bigEndian32(png.data() + 16), h = bigEndian32(png.data() + 20);
        // A size over the picture limits is refused by the decoder with its own message.
        if (pictureSizeAllowed(w, h) &&
            m_pixels.fetch_add(w * h) + w * h > m_options.maxTotalPixels)
            return " makes the pictures hold more than " +
                   std::to_string(m_options.maxTotalPixels) + " pixels in all";
        LoadResult read = decodePngFast(png.data(), png.size());
        if (read.picture.empty())
            return read.message.empty() ? " is not a valid PNG picture" : ": " + read.message;
        picture = std::move(read.picture);
        if (m_options.keepPng)
            kept = std::make_shared<const std::vector<std::uint8_t>>(png.data(),
                                                                     png.data() + png.size());
        return {};
    }

    ZipBytes m_bytes;
    const std::string& m_displayName;
    const OraReadOptions& m_options;
    std::unique_ptr<ZipReader> m_reader;
    std::vector<ZipEntry> m_entries;
    std::map<std::string, std::size_t> m_byName;
    std::uint64_t m_inflated = 0;
    std::atomic<std::int64_t> m_pixels{0};
    std::string m_message;
};

std::string privateFolderOf(const OraReadOptions& options) {
    std::string folder = options.privateFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// Reads stack.xml: the picture size and the layers flattened, bottom first, without their
// pictures.
bool readStack(Reading& r, OraImage& image, std::vector<FlatLayer>& flat) {
    const ZipEntry* stackEntry = r.find(kStackName);
    if (stackEntry == nullptr)
        return r.fail("not an OpenRaster file (it has no stack.xml)");
    std::vector<std::uint8_t> xmlBytes;
    if (!r.reserveInflated(stackEntry->size) ||
        !r.readWhole(*stackEntry, kOraMaxStackBytes, xmlBytes))
        return false;
    std::string error;
    const std::optional<XmlElement> root =
        parseXml(std::string_view(reinterpret_cast<const char*>(xmlBytes.data()), xmlBytes.size()),
                 XmlLimits{kOraMaxStackBytes, kOraMaxNesting + 3, 100000}, error);
    if (!root)
        return r.fail("stack.xml: " + error);
    if (root->name != "image")
        return r.fail("stack.xml does not describe an image");

    double size[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string* text = root->attribute(i == 0 ? "w" : "h");
        if (text == nullptr || !parseNumber(*text, size[i]) || size[i] != std::floor(size[i]) ||
            size[i] < 1)
            return r.fail("stack.xml gives no picture size");
    }
    const auto width = std::int64_t(std::min(size[0], 1e12)),
               height = std::int64_t(std::min(size[1], 1e12));
    if (!pictureSizeAllowed(width, height))
        return r.fail(pictureTooLargeMessage(width, height));
    image.width = int(width);
    image.height = int(height);

    const XmlElement* rootStack = nullptr;
    for (const XmlElement& child : root->children) {
        if (child.name != "stack")
            continue;
        if (rootStack != nullptr)
            return r.fail("stack.xml holds more than one root stack");
        rootStack = &child;
    }
    if (rootStack == nullptr)
        return r.fail("stack.xml holds no stack");
    StackFlattener flattener;
    if (!flattener.flatten(*rootStack, Placement{}, 0))
        return r.fail("stack.xml: " + flattener.error());
    flat = std::move(flattener.topFirst());
    std::reverse(flat.begin(), flat.end());
    return true;
}

bool readChecked(Reading& r, const OraReadOptions& options, OraReadResult& result) {
    OraImage image;
    std::vector<FlatLayer> flat;
    if (!r.open() || !readStack(r, image, flat))
        return false;

    // Every entry to be read is known and checked before any is inflated.
    std::vector<const ZipEntry*> pictures;
    std::map<std::string, std::size_t> pictureIndex;
    auto addPicture = [&](const ZipEntry& e) -> bool {
        if (pictureIndex.count(e.name) != 0)
            return true;
        if (!r.checkSize(e, kOraMaxPngBytes) || !r.reserveInflated(e.size))
            return false;
        pictureIndex[e.name] = pictures.size();
        pictures.push_back(&e);
        return true;
    };
    std::vector<const ZipEntry*> layerEntries;
    for (const FlatLayer& f : flat) {
        if (!safeEntryName(f.src))
            return r.fail("stack.xml names an entry outside the file " + shown(f.src));
        const ZipEntry* e = r.find(f.src);
        if (e == nullptr)
            return r.fail("stack.xml names a missing entry " + shown(f.src));
        if (options.decodeLayers && !addPicture(*e))
            return false;
        layerEntries.push_back(e);
    }
    const ZipEntry* merged = options.decodeMerged ? r.find(kMergedName) : nullptr;
    if (merged != nullptr && !addPicture(*merged))
        return false;

    const std::string folder = privateFolderOf(options);
    std::vector<const ZipEntry*> privateBytes;
    for (const ZipEntry& e : r.entries()) {
        if (folder.empty() || e.name.compare(0, folder.size(), folder) != 0)
            continue;
        result.hasPrivateFolder = true;
        if (e.name.back() == '/')
            continue; // a folder entry
        if (!safeEntryName(e.name))
            return r.fail("holds an entry outside the file " + shown(e.name));
        if (endsWithPng(e.name)) {
            result.privatePictureNames.push_back(e.name);
            if (options.decodePrivatePictures && !addPicture(e))
                return false;
        } else {
            if (!r.checkSize(e, kOraMaxPrivateEntryBytes) || !r.reserveInflated(e.size))
                return false;
            privateBytes.push_back(&e);
        }
    }

    for (const ZipEntry* e : privateBytes)
        if (!r.readWhole(*e, kOraMaxPrivateEntryBytes, result.privateEntries[e->name]))
            return false;
    std::vector<TBitmap32> decoded;
    std::vector<OraPng> pngs;
    if (!r.decodePictures(pictures, decoded, pngs))
        return false;
    for (std::size_t i = 0; i < pictures.size(); ++i)
        if (pngs[i])
            result.png[pictures[i]->name] = pngs[i];

    // A picture used more than once is copied for all but its last use.
    std::vector<int> usesLeft(pictures.size(), 0);
    auto use = [&](const ZipEntry& e) { ++usesLeft[pictureIndex.at(e.name)]; };
    for (std::size_t k = 0; options.decodeLayers && k < flat.size(); ++k)
        use(*layerEntries[k]);
    if (merged != nullptr)
        use(*merged);
    for (std::size_t i = 0; options.decodePrivatePictures && i < result.privatePictureNames.size();
         ++i)
        use(*r.find(result.privatePictureNames[i]));
    auto pictureOf = [&](const ZipEntry& e, TBitmap32& out) -> bool {
        const std::size_t i = pictureIndex.at(e.name);
        if (--usesLeft[i] == 0) {
            out = std::move(decoded[i]);
            return true;
        }
        if (!r.reservePixels(std::int64_t(decoded[i].pixelCount())))
            return false;
        out = decoded[i];
        return true;
    };
    for (std::size_t k = 0; k < flat.size(); ++k) {
        if (options.decodeLayers && !pictureOf(*layerEntries[k], flat[k].layer.picture))
            return false;
        image.layers.push_back(std::move(flat[k].layer));
    }
    if (merged != nullptr) {
        TBitmap32 picture;
        if (!pictureOf(*merged, picture))
            return false;
        // A composed picture of another size than the picture is left out, not trusted.
        if (picture.width() == image.width && picture.height() == image.height)
            image.merged = std::move(picture);
    }
    if (options.decodePrivatePictures)
        for (const std::string& name : result.privatePictureNames)
            if (!pictureOf(*r.find(name), result.privatePictures[name]))
                return false;
    result.image = std::move(image);
    return true;
}

OraReadResult readFrom(const ZipBytes& bytes, const std::string& displayName,
                       const OraReadOptions& options) {
    OraReadResult result;
    Reading reading(bytes, displayName, options);
    try {
        readChecked(reading, options, result);
    } catch (const std::bad_alloc&) {
        reading.fail(kNotEnoughMemoryMessage);
    } catch (const std::exception& e) {
        reading.fail(e.what());
    }
    if (!reading.message().empty()) {
        OraReadResult failed;
        failed.message = reading.message();
        return failed;
    }
    return result;
}

} // namespace

WriteResult writeOpenRaster(const std::string& path, const OraImage& image,
                            const std::vector<OraExtraEntry>& extra,
                            const std::vector<OraExtraPicture>& extraPictures,
                            std::map<std::string, OraPng>* written) {
    try {
        if (std::string why = refusalOf(image, extra, extraPictures); !why.empty())
            return WriteResult{false, path + ": " + why};
        return writeChecked(path, image, extra, extraPictures, written);
    } catch (const std::bad_alloc&) {
        return WriteResult{false, path + ": " + kNotEnoughMemoryMessage};
    } catch (const std::exception& e) {
        return WriteResult{false, path + ": " + e.what()};
    }
}

OraReadResult readOpenRaster(const std::string& path, const OraReadOptions& options) {
    OpenFile file;
    if (std::string message = file.open(path); !message.empty()) {
        OraReadResult failed;
        failed.message = message;
        return failed;
    }
    return readFrom(ZipBytes{file.fd, nullptr, file.size}, path, options);
}

OraReadResult readOpenRasterBytes(const std::uint8_t* data, std::size_t size,
                                  const std::string& displayName, const OraReadOptions& options) {
    static const std::uint8_t kNothing = 0;
    return readFrom(ZipBytes{-1, data != nullptr ? data : &kNothing, data != nullptr ? size : 0},
                    displayName, options);
}

} // namespace quill
