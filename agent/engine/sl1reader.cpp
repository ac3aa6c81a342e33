// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sl1reader.h"
#include "jobfile.h"
#include "pngreader.h"
#include "zippart.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

std::string trimmed(const std::string& s)
{
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool endsWith(const std::string& s, const char* end)
{
    const std::size_t n = std::char_traits<char>::length(end);
    return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

// The SL1-style zip: config.ini with the print's settings, prusaslicer.ini with the display's,
// one PNG per layer whose names sort bottom layer first, thumbnails under "thumbnail/". The file
// is mapped, not read: opening a job of thousands of layers touches only its directory.
class Sl1Reader : public JobReader {
public:
    bool open(const std::string& path, std::string& error) override
    {
        m_path = path;
        m_file.setFileName(QString::fromStdString(path));
        if (!m_file.open(QIODevice::ReadOnly)) {
            error = "Cannot open the job file " + path + ": " + m_file.errorString().toStdString()
                + ".";
            return false;
        }
        m_size = std::size_t(m_file.size());
        m_zip = m_size > 0 ? m_file.map(0, qint64(m_size)) : nullptr;
        QVector<ZipEntry> entries;
        std::string why;
        if (!m_zip || !zipCentralDirectory(m_zip, m_size, entries, why))
            return damaged("it is not a complete zip archive", error);

        const ZipEntry* config = nullptr;
        const ZipEntry* printer = nullptr;
        for (const ZipEntry& entry : entries) {
            const std::string name = entry.name.toStdString();
            if (name == "config.ini")
                config = &entry;
            else if (name == "prusaslicer.ini")
                printer = &entry;
            else if (name.rfind("thumbnail/", 0) == 0 && endsWith(name, ".png"))
                m_thumbnails.push_back(entry);
            else if (name.find('/') == std::string::npos && endsWith(name, ".png"))
                m_layers.push_back(entry);
        }
        if (!config)
            return damaged("it has no config.ini", error);
        if (m_layers.empty())
            return damaged("it holds no layer images", error);
        std::sort(m_layers.begin(), m_layers.end(),
            [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });

        std::string text;
        if (!entryBytes(*config, text, "config.ini", error))
            return false;
        std::map<std::string, std::string> ini = parseIniText(text);
        if (printer) {
            if (!entryBytes(*printer, text, "prusaslicer.ini", error))
                return false;
            for (const auto& key : parseIniText(text))
                ini.insert(key); // config.ini's keys first
        }
        fillSettings(ini);

        // The display's resolution is that of the layer images; the first one tells it.
        std::vector<std::uint8_t> first;
        if (!readLayer(0, first, error))
            return false;
        return true;
    }

    const JobSettings& settings() const override { return m_settings; }

    std::vector<RgbImage> previews() const override
    {
        std::vector<RgbImage> images;
        for (const ZipEntry& entry : m_thumbnails) {
            std::string bytes, ignored;
            PngReader png;
            if (!entryBytes(entry, bytes, "a thumbnail", ignored)
                || !png.decode(
                    reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), ignored)
                || png.channels() != 3)
                continue;
            images.push_back({ png.width(), png.height(), png.pixels() });
        }
        return images;
    }

    bool readLayer(int index, std::vector<std::uint8_t>& pixels, std::string& error) override
    {
        if (index < 0 || std::size_t(index) >= m_layers.size()) {
            error = "The job file " + m_path + " has no layer " + std::to_string(index + 1) + ".";
            return false;
        }
        const std::string layer = "layer " + std::to_string(index + 1);
        if (!entryBytes(m_layers[std::size_t(index)], m_bytes, layer, error))
            return false;
        std::string why;
        if (!m_png.decode(
                reinterpret_cast<const std::uint8_t*>(m_bytes.data()), m_bytes.size(), why))
            return damaged(layer + "'s image cannot be read: " + why, error);
        if (m_settings.pixelsX == 0) {
            m_settings.pixelsX = m_png.width();
            m_settings.pixelsY = m_png.height();
        }
        if (m_png.width() != m_settings.pixelsX || m_png.height() != m_settings.pixelsY)
            return damaged(layer + "'s image is not the size of the display", error);
        // Grey images as they are; of a colour image, the first channel.
        const std::size_t count = std::size_t(m_png.width()) * std::size_t(m_png.height());
        const int channels = m_png.channels();
        pixels.resize(count);
        const std::uint8_t* source = m_png.pixels().data();
        for (std::size_t i = 0; i < count; ++i)
            pixels[i] = source[i * std::size_t(channels)];
        return true;
    }

private:
    bool damaged(const std::string& why, std::string& error) const
    {
        error = "The job file " + m_path + " is damaged: " + why + ".";
        return false;
    }

    // The whole entry, inflated and checked against its CRC.
    bool entryBytes(const ZipEntry& entry, std::string& bytes, const std::string& what,
        std::string& error) const
    {
        bytes.clear();
        ZipPartStream stream;
        std::string why;
        if (!stream.open(m_zip, m_size, entry, why))
            return damaged(what + " is broken", error);
        QByteArray piece;
        do {
            if (!stream.next(piece, why))
                return damaged(what + " is broken", error);
            bytes.append(piece.constData(), std::size_t(piece.size()));
        } while (!piece.isEmpty());
        return true;
    }

    void fillSettings(const std::map<std::string, std::string>& ini)
    {
        const auto text = [&ini](const char* key) {
            const auto found = ini.find(key);
            return found == ini.end() ? std::string() : found->second;
        };
        const auto number = [&text](const char* key) { return std::atof(text(key).c_str()); };
        JobSettings& s = m_settings;
        s.printerName = text("printerProfile");
        if (s.printerName.empty())
            s.printerName = text("printer_settings_id");
        s.printerModel = text("printerModel");
        s.profileName = text("printProfile");
        s.jobName = text("jobDir");
        s.created = text("fileCreationTimestamp");
        s.pixelsX = int(number("display_pixels_x"));
        s.pixelsY = int(number("display_pixels_y"));
        if (s.pixelsX > 0 && s.pixelsY > 0) {
            s.pixelUmX = number("display_width") * 1000.0 / s.pixelsX;
            s.pixelUmY = number("display_height") * 1000.0 / s.pixelsY;
        } else {
            s.pixelsX = s.pixelsY = 0;
        }
        s.mirrorX = text("display_mirror_x") == "1";
        s.mirrorY = text("display_mirror_y") == "1";
        s.maxHeightMm = number("max_print_height");
        s.layerHeightMm = number("layerHeight");
        s.layerCount = int(m_layers.size());
        s.bottomLayers = int(number("numFade"));
        s.exposureS = number("expTime");
        s.bottomExposureS = number("expTimeFirst");
        s.transitionLayers = int(number("transitionLayers"));
        s.bottomLiftMm = number("bottomLiftDistance");
        s.bottomLiftSpeed = number("bottomLiftSpeed");
        s.liftMm = number("liftDistance");
        s.liftSpeed = number("liftSpeed");
        s.bottomRetractSpeed = number("bottomRetractSpeed");
        s.retractSpeed = number("retractSpeed");
        s.waitBeforeExposureS = number("waitAfterRetract");
        s.bottomWaitBeforeExposureS = s.waitBeforeExposureS;
        s.waitBeforeLiftS = number("waitBeforeLift");
        s.waitAfterLiftS = number("waitAfterLift");
        if (!text("lightPWM").empty())
            s.lightPwm = s.bottomLightPwm = int(number("lightPWM"));
        s.printTimeS = number("printTime");
        s.volumeMl = number("usedMaterial");
    }

    std::string m_path;
    QFile m_file;
    const unsigned char* m_zip = nullptr;
    std::size_t m_size = 0;
    std::vector<ZipEntry> m_layers; // bottom layer first
    std::vector<ZipEntry> m_thumbnails;
    JobSettings m_settings;
    std::string m_bytes;
    PngReader m_png;
};

} // namespace

std::map<std::string, std::string> parseIniText(const std::string& text)
{
    std::map<std::string, std::string> keys;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = line.find('=');
        const std::string key = trimmed(line.substr(0, equals));
        if (equals == std::string::npos || key.empty() || key[0] == '#' || key[0] == ';'
            || key[0] == '[')
            continue;
        keys[key] = trimmed(line.substr(equals + 1));
    }
    return keys;
}

std::unique_ptr<JobReader> makeSl1Reader() { return std::make_unique<Sl1Reader>(); }
