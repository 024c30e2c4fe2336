// A bounded reader of the few HEIF boxes that say what decoding the primary image will
// allocate (libheif 1.15 has no call that tells it): the item list, locations,
// references and properties of the meta box, the grid and overlay headers, the
// picture size in HEVC's sequence parameter set and in AV1's sequence header. Every
// read is checked against the bytes it reads from; nothing is allocated by a count the
// file gives beyond what the file's own bytes can hold.
#include "imaging/HeifBoxes.h"

#include "imaging/Limits.h"

#include <map>
#include <set>
#include <vector>

namespace quill {

namespace {

constexpr std::uint32_t fourcc(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) << 24 | std::uint32_t(std::uint8_t(s[1])) << 16 |
           std::uint32_t(std::uint8_t(s[2])) << 8 | std::uint32_t(std::uint8_t(s[3]));
}

// Big-endian reads that give 0 past the end and mark the cursor as failed.
class Cursor {
  public:
    Cursor(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint64_t read(int bytes) {
        if (std::size_t(bytes) > m_size - m_at) {
            m_failed = true;
            m_at = m_size;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | m_data[m_at++];
        return v;
    }
    void skip(std::uint64_t n) {
        if (n > m_size - m_at) {
            m_failed = true;
            n = m_size - m_at;
        }
        m_at += std::size_t(n);
    }
    const std::uint8_t* here() const { return m_data + m_at; }
    std::size_t left() const { return m_size - m_at; }
    bool ok() const { return !m_failed; }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size, m_at = 0;
    bool m_failed = false;
};

// Bits, most significant first, for the codecs' headers.
class Bits {
  public:
    Bits(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint64_t read(int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (m_at >= m_size * 8) {
                m_failed = true;
                return 0;
            }
            v = v << 1 | ((m_data[m_at / 8] >> (7 - m_at % 8)) & 1);
            ++m_at;
        }
        return v;
    }
    // Exp-Golomb (HEVC's ue(v) and, with its own limit, AV1's uvlc()).
    std::uint64_t golomb() {
        int zeros = 0;
        while (read(1) == 0 && ok())
            if (++zeros > 32) {
                m_failed = true;
                return 0;
            }
        return (std::uint64_t(1) << zeros) - 1 + read(zeros);
    }
    bool ok() const { return !m_failed; }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size, m_at = 0;
    bool m_failed = false;
};

struct Box {
    std::uint32_t type;
    const std::uint8_t* body;
    std::size_t size;
};

// The boxes laid one after another in data; false when one does not fit.
bool readBoxes(const std::uint8_t* data, std::size_t size, std::vector<Box>& boxes) {
    Cursor c(data, size);
    while (c.left() > 0) {
        const std::uint8_t* start = c.here();
        const std::size_t room = c.left();
        std::uint64_t length = c.read(4);
        const std::uint32_t type = std::uint32_t(c.read(4));
        std::size_t header = 8;
        if (length == 1) {
            length = c.read(8);
            header = 16;
        } else if (length == 0) {
            length = room;
        }
        if (!c.ok() || length < header || length > room)
            return false;
        boxes.push_back({type, start + header, std::size_t(length - header)});
        c.skip(length - header);
    }
    return true;
}

struct Extent {
    std::uint64_t offset, length;
};

struct Item {
    std::uint32_t type = 0;
    int method = 0; // 0: offsets in the file, 1: in the idat box
    std::uint64_t baseOffset = 0;
    std::vector<Extent> extents;
    std::vector<unsigned> properties; // 1-based indices into the ipco box
};

struct Reference {
    std::uint32_t type;
    std::uint32_t from;
    std::vector<std::uint32_t> to;
};

struct Meta {
    std::uint32_t primary = 0;
    std::map<std::uint32_t, Item> items;
    std::vector<Reference> references;
    std::vector<Box> properties;
    Box idat{0, nullptr, 0};
};

// libheif refuses more extents than this for one item.
constexpr std::uint64_t kMaxExtents = 32;

bool readItemInfo(const Box& box, Meta& meta) {
    Cursor c(box.body, box.size);
    const int version = int(c.read(1));
    c.skip(3);
    c.read(version == 0 ? 2 : 4);
    std::vector<Box> entries;
    if (!c.ok() || !readBoxes(c.here(), c.left(), entries))
        return false;
    for (const Box& e : entries) {
        Cursor entry(e.body, e.size);
        const int v = int(entry.read(1));
        entry.skip(3);
        if (e.type != fourcc("infe") || v < 2)
            continue;
        const auto id = std::uint32_t(entry.read(v == 2 ? 2 : 4));
        entry.skip(2);
        const auto type = std::uint32_t(entry.read(4));
        if (entry.ok())
            meta.items[id].type = type;
    }
    return true;
}

bool readItemLocations(const Box& box, Meta& meta) {
    Cursor c(box.body, box.size);
    const int version = int(c.read(1));
    c.skip(3);
    const int sizes = int(c.read(1)), more = int(c.read(1));
    const int offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
    const int indexSize = version == 1 || version == 2 ? more & 15 : 0;
    for (int s : {offsetSize, lengthSize, baseSize, indexSize})
        if (s != 0 && s != 4 && s != 8)
            return false;
    const std::uint64_t count = c.read(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && c.ok(); ++i) {
        const auto id = std::uint32_t(c.read(version < 2 ? 2 : 4));
        Item& item = meta.items[id];
        item.method = version == 1 || version == 2 ? int(c.read(2) & 15) : 0;
        c.skip(2);
        item.baseOffset = c.read(baseSize);
        const std::uint64_t extents = c.read(2);
        if (extents > kMaxExtents)
            return false;
        item.extents.clear();
        for (std::uint64_t e = 0; e < extents && c.ok(); ++e) {
            c.read(indexSize);
            const std::uint64_t offset = c.read(offsetSize);
            item.extents.push_back({offset, c.read(lengthSize)});
        }
    }
    return c.ok();
}

bool readReferences(const Box& box, Meta& meta) {
    Cursor c(box.body, box.size);
    const int idBytes = c.read(1) == 0 ? 2 : 4;
    c.skip(3);
    std::vector<Box> kinds;
    if (!c.ok() || !readBoxes(c.here(), c.left(), kinds))
        return false;
    for (const Box& k : kinds) {
        Cursor r(k.body, k.size);
        Reference ref{k.type, std::uint32_t(r.read(idBytes)), {}};
        const std::uint64_t count = r.read(2);
        for (std::uint64_t i = 0; i < count && r.ok(); ++i)
            ref.to.push_back(std::uint32_t(r.read(idBytes)));
        if (!r.ok())
            return false;
        meta.references.push_back(std::move(ref));
    }
    return true;
}

bool readProperties(const Box& box, Meta& meta) {
    std::vector<Box> parts;
    if (!readBoxes(box.body, box.size, parts))
        return false;
    for (const Box& part : parts) {
        if (part.type == fourcc("ipco") && !readBoxes(part.body, part.size, meta.properties))
            return false;
        if (part.type != fourcc("ipma"))
            continue;
        Cursor c(part.body, part.size);
        const int version = int(c.read(1));
        const bool wide = (c.read(3) & 1) != 0;
        const std::uint64_t entries = c.read(4);
        for (std::uint64_t e = 0; e < entries && c.ok(); ++e) {
            Item& item = meta.items[std::uint32_t(c.read(version < 1 ? 2 : 4))];
            const std::uint64_t count = c.read(1);
            for (std::uint64_t i = 0; i < count && c.ok(); ++i)
                item.properties.push_back(wide ? unsigned(c.read(2) & 0x7fff)
                                               : unsigned(c.read(1) & 0x7f));
        }
        if (!c.ok())
            return false;
    }
    return true;
}

bool readMeta(const std::uint8_t* data, std::size_t size, Meta& meta) {
    std::vector<Box> top, boxes;
    if (!readBoxes(data, size, top))
        return false;
    const Box* metaBox = nullptr;
    for (const Box& b : top)
        if (b.type == fourcc("meta") && metaBox == nullptr)
            metaBox = &b;
    // The meta box is a full box: four bytes of version and flags before its boxes.
    if (metaBox == nullptr || metaBox->size < 4 ||
        !readBoxes(metaBox->body + 4, metaBox->size - 4, boxes))
        return false;
    bool fine = true;
    for (const Box& b : boxes) {
        if (b.type == fourcc("pitm")) {
            Cursor c(b.body, b.size);
            const int version = int(c.read(1));
            c.skip(3);
            meta.primary = std::uint32_t(c.read(version == 0 ? 2 : 4));
            fine = fine && c.ok();
        } else if (b.type == fourcc("iinf")) {
            fine = fine && readItemInfo(b, meta);
        } else if (b.type == fourcc("iloc")) {
            fine = fine && readItemLocations(b, meta);
        } else if (b.type == fourcc("iref")) {
            fine = fine && readReferences(b, meta);
        } else if (b.type == fourcc("iprp")) {
            fine = fine && readProperties(b, meta);
        } else if (b.type == fourcc("idat")) {
            meta.idat = b;
        }
    }
    return fine && meta.items.count(meta.primary) != 0;
}

// Up to want bytes of an item's data, from the file or the idat box.
std::vector<std::uint8_t> itemBytes(const Meta& meta, const Item& item, const std::uint8_t* file,
                                    std::size_t fileSize, std::size_t want) {
    std::vector<std::uint8_t> out;
    const std::uint8_t* source = item.method == 0 ? file : meta.idat.body;
    const std::uint64_t sourceSize = item.method == 0 ? fileSize : meta.idat.size;
    if (item.method > 1 || source == nullptr)
        return out;
    for (const Extent& e : item.extents) {
        const std::uint64_t start = item.baseOffset + e.offset;
        if (start < item.baseOffset || start > sourceSize)
            return {};
        const std::uint64_t length = e.length == 0 ? sourceSize - start : e.length;
        if (length > sourceSize - start)
            return {};
        const std::uint64_t take = std::min<std::uint64_t>(length, want - out.size());
        out.insert(out.end(), source + start, source + start + take);
        if (out.size() == want)
            break;
    }
    return out;
}

const Box* property(const Meta& meta, const Item& item, std::uint32_t type) {
    for (unsigned index : item.properties)
        if (index >= 1 && index <= meta.properties.size() &&
            meta.properties[index - 1].type == type)
            return &meta.properties[index - 1];
    return nullptr;
}

struct Size {
    std::uint64_t width = 0, height = 0;
};

// The picture size of HEVC's sequence parameter set, as stored (before the conformance
// window crops it), from the parameter sets of an hvcC box.
Size hevcSize(const Box& hvcC) {
    Cursor c(hvcC.body, hvcC.size);
    c.skip(22);
    const std::uint64_t arrays = c.read(1);
    for (std::uint64_t a = 0; a < arrays && c.ok(); ++a) {
        const int nalType = int(c.read(1) & 0x3f);
        const std::uint64_t count = c.read(2);
        for (std::uint64_t n = 0; n < count && c.ok(); ++n) {
            const std::uint64_t length = c.read(2);
            const std::uint8_t* nal = c.here();
            c.skip(length);
            if (nalType != 33 || !c.ok() || length < 2)
                continue;
            // The payload without its two-byte header and the emulation prevention
            // bytes (the 3 of each 0 0 3).
            std::vector<std::uint8_t> payload;
            int zeros = 0;
            for (std::uint64_t i = 2; i < length; ++i) {
                if (zeros >= 2 && nal[i] == 3) {
                    zeros = 0;
                    continue;
                }
                zeros = nal[i] == 0 ? zeros + 1 : 0;
                payload.push_back(nal[i]);
            }
            Bits b(payload.data(), payload.size());
            b.read(4);
            const int subLayers = int(b.read(3));
            b.read(1);
            b.read(96); // general profile, compatibility, constraints and level
            std::vector<std::pair<bool, bool>> present;
            for (int i = 0; i < subLayers; ++i) {
                const bool profile = b.read(1) != 0;
                present.emplace_back(profile, b.read(1) != 0);
            }
            if (subLayers > 0)
                b.read(2 * (8 - subLayers));
            for (const auto& [profile, level] : present)
                b.read((profile ? 88 : 0) + (level ? 8 : 0));
            b.golomb();
            if (b.golomb() == 3)
                b.read(1);
            Size s;
            s.width = b.golomb();
            s.height = b.golomb();
            return b.ok() ? s : Size{};
        }
    }
    return {};
}

// max_frame_width and max_frame_height of AV1's sequence header, found among the OBUs of
// data (av1C's configuration OBUs, or the image's own data).
Size av1Size(const std::uint8_t* data, std::size_t size) {
    Cursor c(data, size);
    while (c.left() > 0 && c.ok()) {
        const int header = int(c.read(1));
        if (header & 4)
            c.read(1);
        std::uint64_t length = c.left();
        if (header & 2) {
            length = 0;
            for (int i = 0; i < 8; ++i) {
                const std::uint64_t byte = c.read(1);
                length |= (byte & 0x7f) << (7 * i);
                if (!(byte & 0x80))
                    break;
            }
        }
        const std::uint8_t* payload = c.here();
        c.skip(length);
        if (!c.ok())
            return {};
        if (((header >> 3) & 15) != 1)
            continue;
        Bits b(payload, std::size_t(length));
        b.read(3);
        b.read(1);
        if (b.read(1)) { // reduced still picture header
            b.read(5);
        } else {
            bool decoderModel = false;
            int delayBits = 0;
            if (b.read(1)) { // timing info
                b.read(64);
                if (b.read(1))
                    b.golomb();
                if ((decoderModel = b.read(1) != 0)) {
                    delayBits = int(b.read(5)) + 1;
                    b.read(32 + 5 + 5);
                }
            }
            const bool displayDelay = b.read(1) != 0;
            const int points = int(b.read(5)) + 1;
            for (int i = 0; i < points && b.ok(); ++i) {
                b.read(12);
                if (b.read(5) > 7)
                    b.read(1);
                if (decoderModel && b.read(1))
                    b.read(2 * delayBits + 1);
                if (displayDelay && b.read(1))
                    b.read(4);
            }
        }
        const int widthBits = int(b.read(4)) + 1, heightBits = int(b.read(4)) + 1;
        Size s;
        s.width = b.read(widthBits) + 1;
        s.height = b.read(heightBits) + 1;
        return b.ok() ? s : Size{};
    }
    return {};
}

Size declaredSize(const Meta& meta, const Item& item) {
    const Box* ispe = property(meta, item, fourcc("ispe"));
    if (ispe == nullptr)
        return {};
    Cursor c(ispe->body, ispe->size);
    c.skip(4);
    Size s;
    s.width = c.read(4);
    s.height = c.read(4);
    return c.ok() ? s : Size{};
}

// Coding blocks are at most 64 pixels a side: a coded picture may pass its declared
// size by less than one.
bool fitsDeclared(const Size& coded, const Size& declared) {
    auto roundUp = [](std::uint64_t v) { return (v + 63) / 64 * 64; };
    return coded.width >= 1 && coded.height >= 1 && coded.width <= roundUp(declared.width) &&
           coded.height <= roundUp(declared.height);
}

bool withinLimits(const Size& s) {
    return s.width <= std::uint64_t(kMaxPictureSide) &&
           s.height <= std::uint64_t(kMaxPictureSide) &&
           pictureSizeAllowed(std::int64_t(s.width), std::int64_t(s.height));
}

// A coded image decodes to no more than it declares, within the limits; its declared
// pixels are added to total.
bool codedImageFits(const Meta& meta, const Item& item, const std::uint8_t* file,
                    std::size_t fileSize, std::uint64_t& total) {
    const Size declared = declaredSize(meta, item);
    if (!withinLimits(declared) || declared.width == 0 || declared.height == 0)
        return false;
    total += declared.width * declared.height;
    Size coded;
    if (item.type == fourcc("hvc1")) {
        if (const Box* hvcC = property(meta, item, fourcc("hvcC")))
            coded = hevcSize(*hvcC);
    } else if (item.type == fourcc("av01")) {
        if (const Box* av1C = property(meta, item, fourcc("av1C")); av1C && av1C->size > 4)
            coded = av1Size(av1C->body + 4, av1C->size - 4);
        if (coded.width == 0) {
            // The sequence header leads the image's own data.
            const std::vector<std::uint8_t> head = itemBytes(meta, item, file, fileSize, 4096);
            coded = av1Size(head.data(), head.size());
        }
    }
    return fitsDeclared(coded, declared);
}

std::vector<std::uint32_t> referenced(const Meta& meta, std::uint32_t type, std::uint32_t from) {
    std::vector<std::uint32_t> ids;
    for (const Reference& r : meta.references)
        if (r.type == type && r.from == from)
            ids.insert(ids.end(), r.to.begin(), r.to.end());
    return ids;
}

} // namespace

HeifSizes readHeifSizes(const std::uint8_t* data, std::size_t size) {
    HeifSizes result;
    Meta meta;
    if (data == nullptr || !readMeta(data, size, meta))
        return result;

    // The primary image and its alpha (auxiliary) images, which libheif decodes with it.
    std::vector<std::uint32_t> images{meta.primary};
    for (const Reference& r : meta.references)
        for (std::uint32_t to : r.to)
            if (r.type == fourcc("auxl") && to == meta.primary)
                images.push_back(r.from);

    std::uint64_t total = 0;
    bool consistent = images.size() <= 16;
    for (std::size_t i = 0; i < images.size() && consistent; ++i) {
        const auto found = meta.items.find(images[i]);
        if (found == meta.items.end())
            return result;
        const Item& item = found->second;
        const bool grid = item.type == fourcc("grid"), overlay = item.type == fourcc("iovl");
        Size declared = declaredSize(meta, item);
        if (grid || overlay) {
            // The canvas size follows the version and flags (and an overlay's fill colour),
            // in 16 or 32 bits as the flags say.
            const std::vector<std::uint8_t> head = itemBytes(meta, item, data, size, 20);
            Cursor c(head.data(), head.size());
            c.read(1);
            const int sideBytes = (c.read(1) & 1) ? 4 : 2;
            c.skip(grid ? 2 : 8);
            declared.width = c.read(sideBytes);
            declared.height = c.read(sideBytes);
            if (!c.ok())
                return result;
            const std::vector<std::uint32_t> tiles = referenced(meta, fourcc("dimg"), images[i]);
            consistent = !tiles.empty() && tiles.size() <= 256 * 256;
            for (std::uint32_t tile : tiles) {
                const auto t = meta.items.find(tile);
                consistent = consistent && t != meta.items.end() &&
                             codedImageFits(meta, t->second, data, size, total);
                if (!consistent)
                    break;
            }
        } else {
            consistent = codedImageFits(meta, item, data, size, total);
        }
        if (i == 0) {
            result.width = std::int64_t(declared.width);
            result.height = std::int64_t(declared.height);
        }
    }
    result.consistent = consistent && total <= 2 * std::uint64_t(kMaxPicturePixels);
    return result;
}

} // namespace quill
