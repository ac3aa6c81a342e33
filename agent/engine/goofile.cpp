// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "goofile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t kHeaderSize = 0x2FB95; // 195,477 bytes; the first layer record follows
constexpr std::size_t kRecordHead = 66; // a layer record's fields before its data size
constexpr int kSmallPreview = 116;
constexpr int kBigPreview = 290;
constexpr std::uint32_t kLongestChunk = 0x0FFFFFFF;
const std::uint8_t kMagic[8] = { 0x07, 0x00, 0x00, 0x00, 0x44, 0x4C, 0x50, 0x00 };
const std::uint8_t kEnding[11]
    = { 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x44, 0x4C, 0x50, 0x00 };
const std::uint8_t kDelimiter[2] = { 0x0D, 0x0A };

// Big-endian fields, appended to a buffer.
struct Out {
    std::vector<std::uint8_t> bytes;
    void u8(unsigned v) { bytes.push_back(std::uint8_t(v)); }
    void u16(unsigned v)
    {
        u8(v >> 8);
        u8(v);
    }
    void u32(std::uint32_t v)
    {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    void f32(double v)
    {
        const float f = float(v);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        u32(bits);
    }
    void text(const std::string& s, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i)
            u8(i < s.size() ? std::uint8_t(s[i]) : 0);
        if (s.size() >= size && size > 4) // room for the closing NUL
            bytes.back() = 0;
    }
    void raw(const std::uint8_t* data, std::size_t size)
    {
        bytes.insert(bytes.end(), data, data + size);
    }
};

// Big-endian fields, read from a buffer whose size the caller has checked.
struct In {
    const std::uint8_t* p;
    unsigned u8() { return *p++; }
    unsigned u16()
    {
        const unsigned v = unsigned(p[0]) << 8 | p[1];
        p += 2;
        return v;
    }
    std::uint32_t u32()
    {
        const std::uint32_t v = std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16
            | std::uint32_t(p[2]) << 8 | p[3];
        p += 4;
        return v;
    }
    double f32()
    {
        const std::uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    std::string text(std::size_t size)
    {
        const char* s = reinterpret_cast<const char*>(p);
        p += size;
        return std::string(s, strnlen(s, size));
    }
};

// The values one layer is printed with.
struct LayerMotion {
    double exposureS, liftMm, liftSpeed, retractSpeed, waitS;
    int pwm;
};

LayerMotion motionOf(const JobSettings& s, bool bottom)
{
    if (bottom)
        return { s.bottomExposureS, s.bottomLiftMm, s.bottomLiftSpeed, s.bottomRetractSpeed,
            s.bottomWaitBeforeExposureS, s.bottomLightPwm };
    return { s.exposureS, s.liftMm, s.liftSpeed, s.retractSpeed, s.waitBeforeExposureS,
        s.lightPwm };
}

std::string fileTime(const std::string& iso)
{
    if (iso.size() >= 19 && iso[10] == 'T')
        return iso.substr(0, 10) + " " + iso.substr(11, 8);
    return iso;
}

std::vector<std::uint8_t> headerBytes(
    const JobSettings& s, int layerCount, const std::vector<std::uint8_t> previews[2])
{
    Out o;
    o.raw(reinterpret_cast<const std::uint8_t*>("V3.0"), 4);
    o.raw(kMagic, sizeof kMagic);
    o.text("Corvane", 32);
    o.text("1.0", 24);
    o.text(fileTime(s.created), 24);
    o.text(s.printerName, 32);
    o.text("DLP", 32);
    o.text(s.profileName, 32);
    o.u16(unsigned(std::max(1, s.antiAliasing)));
    o.u16(0); // grey level
    o.u16(0); // blur level
    o.raw(previews[0].data(), previews[0].size());
    o.raw(kDelimiter, 2);
    o.raw(previews[1].data(), previews[1].size());
    o.raw(kDelimiter, 2);
    o.u32(std::uint32_t(layerCount));
    o.u16(unsigned(s.pixelsX));
    o.u16(unsigned(s.pixelsY));
    o.u8(s.mirrorX);
    o.u8(s.mirrorY);
    o.f32(s.pixelsX * s.pixelUmX / 1000.0);
    o.f32(s.pixelsY * s.pixelUmY / 1000.0);
    o.f32(s.maxHeightMm);
    o.f32(s.layerHeightMm);
    o.f32(s.exposureS);
    o.u8(1); // delay mode: the wait times apply
    o.f32(0); // turn-off time
    o.f32(s.waitBeforeLiftS); // bottom wait before lift
    o.f32(s.waitAfterLiftS); // bottom wait after lift
    o.f32(s.bottomWaitBeforeExposureS);
    o.f32(s.waitBeforeLiftS);
    o.f32(s.waitAfterLiftS);
    o.f32(s.waitBeforeExposureS);
    o.f32(s.bottomExposureS);
    o.u32(std::uint32_t(s.bottomLayers));
    o.f32(s.bottomLiftMm);
    o.f32(s.bottomLiftSpeed);
    o.f32(s.liftMm);
    o.f32(s.liftSpeed);
    o.f32(s.bottomLiftMm); // the platform comes back as far as it rose
    o.f32(s.bottomRetractSpeed);
    o.f32(s.liftMm);
    o.f32(s.retractSpeed);
    for (int i = 0; i < 8; ++i) // no second stages
        o.f32(0);
    o.u16(unsigned(s.bottomLightPwm));
    o.u16(unsigned(s.lightPwm));
    o.u8(0); // advance mode: the header's values apply, and the layer records repeat them
    o.u32(std::uint32_t(std::lround(std::max(0.0, s.printTimeS))));
    o.f32(s.volumeMl * 1000.0); // mm³
    o.f32(s.volumeMl * 1.1); // g, at a standard resin's density
    o.f32(0); // price
    o.text("$", 8);
    o.u32(std::uint32_t(kHeaderSize));
    o.u8(1); // greys are 0..255
    o.u16(unsigned(std::clamp(s.transitionLayers, 0, 0xFFFF)));
    return o.bytes;
}

// The length of the run of `value` starting at pixels[0], at most `limit`.
std::size_t runLength(const std::uint8_t* pixels, std::size_t limit)
{
    const std::uint8_t value = pixels[0];
    std::size_t n = 1;
    std::uint64_t pattern = 0x0101010101010101ull * value;
    while (n + 8 <= limit) {
        std::uint64_t word;
        std::memcpy(&word, pixels + n, 8);
        if (word != pattern)
            break;
        n += 8;
    }
    while (n < limit && pixels[n] == value)
        ++n;
    return n;
}

class GooWriter : public JobWriter {
public:
    bool takesRuns() const override { return true; }

    bool begin(std::FILE* file, const JobSettings& settings, const PreviewSource& previews,
        std::string& error) override
    {
        m_file = file;
        m_settings = settings;
        m_layers = 0;
        if (settings.pixelsX <= 0 || settings.pixelsY <= 0 || settings.pixelsX > 0xFFFF
            || settings.pixelsY > 0xFFFF) {
            error = "A GOO job file holds at most 65,535 pixels across and down.";
            return false;
        }
        // The file list shows the small picture (from above), the job's page the big one.
        const int sizes[2] = { kSmallPreview, kBigPreview };
        for (int k = 0; k < 2; ++k) {
            RgbImage image;
            if (previews)
                image
                    = previews(k == 0 ? PreviewView::Top : PreviewView::Angled, sizes[k], sizes[k]);
            if (image.width != sizes[k] || image.height != sizes[k]) {
                image.width = image.height = sizes[k];
                image.rgb.assign(std::size_t(sizes[k]) * std::size_t(sizes[k]) * 3, 0);
            }
            m_previews[k] = gooPreviewBytes(image);
        }
        return put(headerBytes(m_settings, m_settings.layerCount, m_previews), error);
    }

    bool addLayer(const JobLayer& layer, std::string& error) override
    {
        const std::size_t count = std::size_t(m_settings.pixelsX) * std::size_t(m_settings.pixelsY);
        m_chunks.clear();
        if (layer.runs) {
            if (encodeGooRuns(layer.runs, layer.runCount, m_chunks) != count) {
                error = "Layer " + std::to_string(m_layers + 1)
                    + " does not cover the display exactly.";
                return false;
            }
        } else {
            encodeGooLayer(layer.pixels, count, m_chunks);
        }
        const LayerMotion m = motionOf(m_settings, m_layers < m_settings.bottomLayers);
        Out o;
        o.bytes.swap(m_record);
        o.bytes.clear();
        o.u16(0); // no pause
        o.f32(m_settings.maxHeightMm);
        o.f32(m_settings.layerHeightMm * (m_layers + 1));
        o.f32(m.exposureS);
        o.f32(0); // off time
        o.f32(m_settings.waitBeforeLiftS);
        o.f32(m_settings.waitAfterLiftS);
        o.f32(m.waitS); // wait after retract
        o.f32(m.liftMm);
        o.f32(m.liftSpeed);
        o.f32(0);
        o.f32(0);
        o.f32(m.liftMm);
        o.f32(m.retractSpeed);
        o.f32(0);
        o.f32(0);
        o.u16(unsigned(m.pwm));
        o.raw(kDelimiter, 2);
        o.u32(std::uint32_t(m_chunks.size() + 2));
        o.u8(0x55);
        o.bytes.swap(m_record);
        if (!put(m_record, error) || !put(m_chunks, error))
            return false;
        const std::uint8_t tail[3] = { gooChecksum(m_chunks.data(), m_chunks.size()), 0x0D, 0x0A };
        if (std::fwrite(tail, 1, 3, m_file) != 3)
            return failed(error);
        ++m_layers;
        return true;
    }

    bool finish(std::string& error) override
    {
        if (std::fwrite(kEnding, 1, sizeof kEnding, m_file) != sizeof kEnding)
            return failed(error);
        if (m_layers == m_settings.layerCount)
            return true;
        // The header counts the layers written, not the ones announced.
        return std::fseek(m_file, 0, SEEK_SET) == 0
            ? put(headerBytes(m_settings, m_layers, m_previews), error)
                && std::fseek(m_file, 0, SEEK_END) == 0
            : failed(error);
    }

private:
    bool put(const std::vector<std::uint8_t>& bytes, std::string& error)
    {
        return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size() || failed(error);
    }
    bool failed(std::string& error)
    {
        error = std::string("Cannot write the GOO job file: ") + std::strerror(errno) + ".";
        return false;
    }

    std::FILE* m_file = nullptr;
    JobSettings m_settings;
    int m_layers = 0;
    std::vector<std::uint8_t> m_previews[2];
    std::vector<std::uint8_t> m_chunks;
    std::vector<std::uint8_t> m_record;
};

class GooReader : public JobReader {
public:
    ~GooReader() override
    {
        if (m_file)
            std::fclose(m_file);
    }

    bool open(const std::string& path, std::string& error) override
    {
        m_path = path;
        m_file = std::fopen(path.c_str(), "rb");
        if (!m_file) {
            error = "Cannot open the job file " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        std::vector<std::uint8_t> header(kHeaderSize);
        if (std::fread(header.data(), 1, kHeaderSize, m_file) != kHeaderSize)
            return damaged("it is shorter than a GOO header", error);
        if (std::memcmp(header.data(), "V3.0", 4) != 0
            || std::memcmp(header.data() + 4, kMagic, 8) != 0)
            return damaged("it does not start like a GOO file of version 3.0", error);
        In in { header.data() + 12 };
        JobSettings& s = m_settings;
        in.text(32);
        in.text(24);
        s.created = in.text(24);
        s.printerName = in.text(32);
        in.text(32);
        s.profileName = in.text(32);
        s.antiAliasing = int(in.u16());
        in.p += 4;
        m_previewBytes[0].assign(in.p, in.p + kSmallPreview * kSmallPreview * 2);
        in.p += m_previewBytes[0].size();
        if (std::memcmp(in.p, kDelimiter, 2) != 0)
            return damaged("its header is broken after the small preview", error);
        in.p += 2;
        m_previewBytes[1].assign(in.p, in.p + kBigPreview * kBigPreview * 2);
        in.p += m_previewBytes[1].size();
        if (std::memcmp(in.p, kDelimiter, 2) != 0)
            return damaged("its header is broken after the big preview", error);
        in.p += 2;
        const std::uint32_t layerCount = in.u32();
        s.pixelsX = int(in.u16());
        s.pixelsY = int(in.u16());
        s.mirrorX = in.u8() != 0;
        s.mirrorY = in.u8() != 0;
        const double widthMm = in.f32();
        const double heightMm = in.f32();
        s.maxHeightMm = in.f32();
        s.layerHeightMm = in.f32();
        s.exposureS = in.f32();
        in.p += 1 + 4 + 4 + 4; // delay mode, turn-off time, bottom waits before and after lift
        s.bottomWaitBeforeExposureS = in.f32();
        in.p += 8;
        s.waitBeforeExposureS = in.f32();
        s.bottomExposureS = in.f32();
        s.bottomLayers = int(in.u32());
        s.bottomLiftMm = in.f32();
        s.bottomLiftSpeed = in.f32();
        s.liftMm = in.f32();
        s.liftSpeed = in.f32();
        in.p += 4;
        s.bottomRetractSpeed = in.f32();
        in.p += 4;
        s.retractSpeed = in.f32();
        in.p += 8 * 4;
        s.bottomLightPwm = int(in.u16());
        s.lightPwm = int(in.u16());
        in.p += 1;
        s.printTimeS = in.u32();
        s.volumeMl = in.f32() / 1000.0;
        in.p += 4 + 4 + 8;
        const std::uint32_t contentOffset = in.u32();
        const unsigned greyRange = in.u8();
        if (contentOffset != kHeaderSize)
            return damaged("its layers do not start where the header says", error);
        if (s.pixelsX == 0 || s.pixelsY == 0 || greyRange > 1)
            return damaged("its header gives no valid resolution", error);
        if (layerCount > 1000000)
            return damaged("its header counts more layers than any printer holds", error);
        s.layerCount = int(layerCount);
        s.pixelUmX = widthMm * 1000.0 / s.pixelsX;
        s.pixelUmY = heightMm * 1000.0 / s.pixelsY;
        m_greyShift = greyRange ? 0 : 4;

        // Every record is found now, so that a short or overlong file is refused at once.
        m_records.clear();
        off_t at = off_t(kHeaderSize);
        for (std::uint32_t i = 0; i < layerCount; ++i) {
            std::uint8_t head[kRecordHead + 5];
            if (std::fseek(m_file, at, SEEK_SET) != 0
                || std::fread(head, 1, sizeof head, m_file) != sizeof head)
                return damaged("it ends inside layer " + std::to_string(i + 1), error);
            In record { head + 64 };
            if (std::memcmp(record.p, kDelimiter, 2) != 0)
                return damaged("layer " + std::to_string(i + 1) + " has a broken record", error);
            record.p += 2;
            const std::uint32_t dataSize = record.u32();
            if (dataSize < 3 || record.u8() != 0x55)
                return damaged("layer " + std::to_string(i + 1) + " has no image data", error);
            m_records.push_back(at);
            at += off_t(70) + off_t(dataSize) + 2;
        }
        std::uint8_t ending[sizeof kEnding + 1];
        if (std::fseek(m_file, at, SEEK_SET) != 0
            || std::fread(ending, 1, sizeof ending, m_file) != sizeof kEnding
            || std::memcmp(ending, kEnding, sizeof kEnding) != 0)
            return damaged("it does not end where its last layer does", error);
        return true;
    }

    const JobSettings& settings() const override { return m_settings; }

    std::vector<RgbImage> previews() const override
    {
        return { gooPreviewImage(m_previewBytes[0].data(), kSmallPreview, kSmallPreview),
            gooPreviewImage(m_previewBytes[1].data(), kBigPreview, kBigPreview) };
    }

    bool readLayer(int index, std::vector<std::uint8_t>& pixels, std::string& error) override
    {
        if (index < 0 || std::size_t(index) >= m_records.size()) {
            error = "The job file " + m_path + " has no layer " + std::to_string(index + 1) + ".";
            return false;
        }
        const std::string layer = "layer " + std::to_string(index + 1);
        std::uint8_t head[kRecordHead + 4];
        if (std::fseek(m_file, m_records[std::size_t(index)], SEEK_SET) != 0
            || std::fread(head, 1, sizeof head, m_file) != sizeof head)
            return damaged("it ends inside " + layer, error);
        const std::uint32_t dataSize = In { head + kRecordHead }.u32();
        m_data.resize(std::size_t(dataSize) + 2);
        if (std::fread(m_data.data(), 1, m_data.size(), m_file) != m_data.size())
            return damaged("it ends inside " + layer, error);
        const std::uint8_t* chunks = m_data.data() + 1;
        const std::size_t size = dataSize - 2;
        if (gooChecksum(chunks, size) != m_data[dataSize - 1])
            return damaged(layer + "'s checksum does not match its image", error);
        if (std::memcmp(m_data.data() + dataSize, kDelimiter, 2) != 0)
            return damaged(layer + " has a broken record", error);
        const std::size_t count = std::size_t(m_settings.pixelsX) * std::size_t(m_settings.pixelsY);
        pixels.resize(count);
        std::string why;
        if (!decodeGooLayer(chunks, size, pixels.data(), count, why))
            return damaged(layer + "'s image " + why, error);
        if (m_greyShift) {
            for (std::uint8_t& p : pixels)
                p = std::uint8_t(p * 17);
        }
        return true;
    }

private:
    bool damaged(const std::string& why, std::string& error)
    {
        error = "The job file " + m_path + " is damaged: " + why + ".";
        return false;
    }

    std::string m_path;
    std::FILE* m_file = nullptr;
    JobSettings m_settings;
    std::vector<std::uint8_t> m_previewBytes[2];
    std::vector<off_t> m_records;
    std::vector<std::uint8_t> m_data;
    int m_greyShift = 0;
};

} // namespace

std::unique_ptr<JobWriter> makeGooWriter(const JobFormat&) { return std::make_unique<GooWriter>(); }
std::unique_ptr<JobReader> makeGooReader() { return std::make_unique<GooReader>(); }

namespace {

// The chunks of one run, in pieces of at most 0x0FFFFFFF pixels.
void encodeRun(std::uint8_t grey, std::size_t n, std::vector<std::uint8_t>& out)
{
    while (n > 0) {
        const std::uint32_t take = std::uint32_t(std::min<std::size_t>(n, kLongestChunk));
        const unsigned kind = grey == 0 ? 0u : grey == 255 ? 3u : 1u;
        const unsigned size = take <= 0xF ? 0 : take <= 0xFFF ? 1 : take <= 0xFFFFF ? 2 : 3;
        out.push_back(std::uint8_t(kind << 6 | size << 4 | (take & 0xF)));
        if (kind == 1)
            out.push_back(grey);
        for (unsigned k = size; k > 0; --k)
            out.push_back(std::uint8_t(take >> (4 + 8 * (k - 1))));
        n -= take;
    }
}

} // namespace

void encodeGooLayer(const std::uint8_t* pixels, std::size_t count, std::vector<std::uint8_t>& out)
{
    std::size_t at = 0;
    while (at < count) {
        const std::size_t n = runLength(pixels + at, count - at);
        encodeRun(pixels[at], n, out);
        at += n;
    }
}

std::size_t encodeGooRuns(const LayerRun* runs, std::size_t count, std::vector<std::uint8_t>& out)
{
    std::size_t pixels = 0;
    for (std::size_t i = 0; i < count;) {
        // Runs of one grey that follow each other make one run.
        std::size_t n = runs[i].length;
        const std::uint8_t grey = runs[i].grey;
        while (++i < count && runs[i].grey == grey)
            n += runs[i].length;
        encodeRun(grey, n, out);
        pixels += n;
    }
    return pixels;
}

std::uint8_t gooChecksum(const std::uint8_t* chunks, std::size_t size)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum += chunks[i];
    return std::uint8_t(~sum);
}

bool decodeGooLayer(const std::uint8_t* chunks, std::size_t size, std::uint8_t* pixels,
    std::size_t count, std::string& why)
{
    std::size_t at = 0, i = 0;
    unsigned previous = 0;
    while (i < size) {
        const unsigned head = chunks[i++];
        const unsigned kind = head >> 6;
        unsigned grey;
        std::size_t length;
        if (kind == 2) { // a difference to the previous grey
            const int delta = int(head & 0xF);
            const int value = (head & 0x20) ? int(previous) - delta : int(previous) + delta;
            if (value < 0 || value > 255) {
                why = "has a grey out of range";
                return false;
            }
            grey = unsigned(value);
            length = 1;
            if (head & 0x10) {
                if (i >= size) {
                    why = "ends inside a run";
                    return false;
                }
                length = chunks[i++];
            }
        } else {
            grey = kind == 0 ? 0u : kind == 3 ? 255u : 0u;
            if (kind == 1) {
                if (i >= size) {
                    why = "ends inside a run";
                    return false;
                }
                grey = chunks[i++];
            }
            const unsigned extra = (head >> 4) & 3;
            if (i + extra > size) {
                why = "ends inside a run";
                return false;
            }
            length = head & 0xF;
            for (unsigned k = 0; k < extra; ++k)
                length |= std::size_t(chunks[i++]) << (4 + 8 * (extra - 1 - k));
        }
        if (length == 0) {
            why = "has a run of no pixels";
            return false;
        }
        if (length > count - at) {
            why = "has more pixels than the display";
            return false;
        }
        std::memset(pixels + at, int(grey), length);
        at += length;
        previous = grey;
    }
    if (at != count) {
        why = "covers only " + std::to_string(at) + " of the display's " + std::to_string(count)
            + " pixels";
        return false;
    }
    return true;
}

std::vector<std::uint8_t> gooPreviewBytes(const RgbImage& image)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(std::size_t(image.width) * std::size_t(image.height) * 2);
    for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
        const unsigned v = unsigned(image.rgb[i] >> 3) << 11 | unsigned(image.rgb[i + 1] >> 2) << 5
            | unsigned(image.rgb[i + 2] >> 3);
        bytes.push_back(std::uint8_t(v >> 8));
        bytes.push_back(std::uint8_t(v));
    }
    return bytes;
}

RgbImage gooPreviewImage(const std::uint8_t* bytes, int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
        const unsigned v = unsigned(bytes[2 * i]) << 8 | bytes[2 * i + 1];
        // Each channel widened back to 8 bits, its top bits repeated below.
        const unsigned r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
        image.rgb[3 * i] = std::uint8_t(r << 3 | r >> 2);
        image.rgb[3 * i + 1] = std::uint8_t(g << 2 | g >> 4);
        image.rgb[3 * i + 2] = std::uint8_t(b << 3 | b >> 2);
    }
    return image;
}
