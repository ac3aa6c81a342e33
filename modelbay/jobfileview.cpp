// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfileview.h"
#include "islandlist.h"
#include "jobformat.h"
#include "workfolder.h"

#include "islands.h"
#include "pngwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

#include <algorithm>
#include <climits>
#include <cstring>
#include <system_error>
#include <thread>

namespace {

// The islands listed, the lowest first, as the slicer lists them; the others are only counted.
constexpr int kListedIslands = 10000;

QString localPath(const QVariant& file)
{
    const QUrl url = file.toUrl();
    if (url.isLocalFile())
        return url.toLocalFile();
    return file.toString();
}

QString layerFileName(int layer)
{
    return QStringLiteral("layer%1.png").arg(layer, 5, 10, QLatin1Char('0'));
}

// Writes one layer (width x height greys) as a greyscale PNG; false with a sentence.
bool writeLayerImage(const std::vector<std::uint8_t>& pixels, int width, int height,
    const QString& path, std::string& error)
{
    std::vector<std::uint8_t> rows(std::size_t(height) * (std::size_t(width) + 1));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + std::size_t(y) * (std::size_t(width) + 1);
        row[0] = 0; // no filter
        std::memcpy(
            row + 1, pixels.data() + std::size_t(y) * std::size_t(width), std::size_t(width));
    }
    PngWriter png;
    if (!png.encode(rows.data(), width, height, 1)) {
        error = "Cannot show the layer: its image cannot be encoded.";
        return false;
    }
    return png.save(path.toStdString(), error);
}

// The islands of layers [first, end) of the job, each layer checked against the one below, the
// lowest kListedIslands kept in pixel units; `count` counts them all. False when the file cannot
// be read or the search was stopped.
struct PixelIsland {
    int layer;
    IslandRegion region;
};

bool islandsOfLayers(JobReader& reader, int first, int end, const std::atomic<bool>& stop,
    std::vector<PixelIsland>& islands, long long& count, std::string& error)
{
    const JobSettings& s = reader.settings();
    IslandFinder finder;
    PixelRuns below, runs;
    std::vector<IslandRegion> found;
    std::vector<std::uint8_t> pixels;
    for (int layer = std::max(0, first - 1); layer < end; ++layer) {
        if (stop || !reader.readLayer(layer, pixels, error))
            return false;
        runs.clear();
        curedRuns(pixels.data(), s.pixelsX, s.pixelsY, s.pixelsX, runs);
        found.clear();
        if (layer >= first && layer > 0) // the bottom layer rests on the plate
            finder.find(runs, below, found);
        std::sort(found.begin(), found.end(), [](const IslandRegion& a, const IslandRegion& b) {
            return a.y != b.y ? a.y < b.y : a.x < b.x;
        });
        for (const IslandRegion& r : found) {
            if (++count <= kListedIslands)
                islands.push_back({ layer, r });
        }
        std::swap(below, runs);
    }
    return true;
}

// The islands of every layer of the job file at path, in plate millimetres as the slicer gives
// them. The upper half of the layers is searched on a thread of its own, each half with a reader
// of its own. Stops early (and gives an invalid value) when asked to, or when a layer cannot be
// read (with the reader's sentence).
struct FoundIslands {
    SlicedPlate plate;
    QString error;
};

FoundIslands findJobIslands(
    const QString& path, const QString& folder, const std::shared_ptr<std::atomic<bool>>& stop)
{
    FoundIslands result;
    SlicedPlate& plate = result.plate;
    plate.folder = folder;
    std::unique_ptr<JobReader> lower = makeJobReader(path.toStdString());
    std::unique_ptr<JobReader> upper = makeJobReader(path.toStdString());
    std::string error, upperError;
    if (!lower || !upper || !lower->open(path.toStdString(), error)
        || !upper->open(path.toStdString(), error)) {
        result.error = QString::fromStdString(error);
        return result;
    }
    const JobSettings& s = lower->settings();
    const int middle = s.layerCount / 2;
    std::vector<PixelIsland> lowerIslands, upperIslands;
    long long lowerCount = 0, upperCount = 0;
    bool upperDone = false;
    std::thread helper;
    try {
        helper = std::thread([&] {
            upperDone = islandsOfLayers(
                *upper, middle, s.layerCount, *stop, upperIslands, upperCount, upperError);
        });
    } catch (const std::system_error&) { // no thread to be had: this one searches them all
        upperDone = islandsOfLayers(
            *upper, middle, s.layerCount, *stop, upperIslands, upperCount, upperError);
    }
    const bool lowerDone
        = islandsOfLayers(*lower, 0, middle, *stop, lowerIslands, lowerCount, error);
    if (helper.joinable())
        helper.join();
    if (!lowerDone || !upperDone) {
        result.error = QString::fromStdString(lowerDone ? upperError : error);
        return result;
    }

    const double mmX = s.pixelUmX / 1000.0, mmY = s.pixelUmY / 1000.0;
    lowerIslands.insert(lowerIslands.end(), upperIslands.begin(), upperIslands.end());
    for (const PixelIsland& island : lowerIslands) {
        if (plate.islands.size() == kListedIslands)
            break;
        const IslandRegion& r = island.region;
        plate.islands.append({ island.layer, (r.x - s.pixelsX / 2.0) * mmX * (s.mirrorX ? -1 : 1),
            (r.y - s.pixelsY / 2.0) * mmY * (s.mirrorY ? 1 : -1), double(r.pixels) * mmX * mmY });
    }
    plate.layerHeightMm = s.layerHeightMm;
    for (int layer = 0; layer < s.layerCount; ++layer)
        plate.layerFiles.append(layerFileName(layer));
    plate.islandCount = int(std::min<long long>(lowerCount + upperCount, INT_MAX));
    plate.valid = true;
    return result;
}

QString number(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QString formatTitle(const QString& path)
{
    const QString suffix = QLatin1Char('.') + QFileInfo(path).suffix().toLower();
    for (const JobFormat& format : jobFormats()) {
        if (QString::fromStdString(format.extension) == suffix)
            return QString::fromStdString(format.title);
    }
    return QString();
}

// What a person checks before printing, one line each; what the file does not say is left out.
QStringList detailsOf(const JobSettings& s, const QString& path)
{
    QStringList lines;
    const QString format = formatTitle(path);
    if (!format.isEmpty())
        lines.append(QStringLiteral("%1 job file").arg(format));
    if (!s.printerName.empty())
        lines.append(QStringLiteral("Printer: %1").arg(QString::fromStdString(s.printerName)));
    if (!s.profileName.empty())
        lines.append(QStringLiteral("Profile: %1").arg(QString::fromStdString(s.profileName)));
    QString display = QStringLiteral("Display: %1 × %2 px").arg(s.pixelsX).arg(s.pixelsY);
    if (s.pixelUmX > 0 && s.pixelUmY > 0)
        display += QStringLiteral(", pixel %1 × %2 µm")
                       .arg(number(s.pixelUmX, 2), number(s.pixelUmY, 2));
    if (s.mirrorX || s.mirrorY)
        display += s.mirrorX && s.mirrorY ? QStringLiteral(", mirrored both ways")
            : s.mirrorX                   ? QStringLiteral(", mirrored left-right")
                                          : QStringLiteral(", mirrored top-bottom");
    lines.append(display);
    lines.append(QStringLiteral("%1 layers of %2 mm, %3 mm high")
                     .arg(s.layerCount)
                     .arg(number(s.layerHeightMm, 4), number(s.layerCount * s.layerHeightMm, 2)));
    lines.append(QStringLiteral("Exposure %1 s; %2 bottom layers %3 s")
                     .arg(number(s.exposureS, 2))
                     .arg(s.bottomLayers)
                     .arg(number(s.bottomExposureS, 2)));
    if (s.printTimeS > 0) {
        const long long minutes = qRound64(s.printTimeS / 60);
        lines.append(QStringLiteral("Print time about %1 h %2 min")
                         .arg(minutes / 60)
                         .arg(minutes % 60, 2, 10, QLatin1Char('0')));
    }
    if (s.volumeMl > 0)
        lines.append(QStringLiteral("Resin %1 ml").arg(number(s.volumeMl, 1)));
    return lines;
}

} // namespace

// What the worker thread hands over: the open reader with its first layer written, or why not.
struct JobFileView::Opened {
    QString path;
    QString folder;
    std::shared_ptr<JobReader> reader;
    QString error;
};

JobFileView::JobFileView(QObject* parent)
    : QObject(parent)
    , m_islands(new IslandList(this))
{
    m_pool.setMaxThreadCount(2);
}

JobFileView::~JobFileView()
{
    if (m_stopIslands)
        *m_stopIslands = true;
    // The workers write into the work folder, which goes with this view.
    m_pool.waitForDone();
}

QString JobFileView::fileName() const { return QFileInfo(m_path).fileName(); }

int JobFileView::layerCount() const { return m_reader ? m_reader->settings().layerCount : 0; }

double JobFileView::layerHeight() const
{
    return m_reader ? m_reader->settings().layerHeightMm : 0;
}

bool JobFileView::mirrorX() const { return m_reader && m_reader->settings().mirrorX; }

bool JobFileView::mirrorY() const { return m_reader && m_reader->settings().mirrorY; }

double JobFileView::displayWidth() const
{
    return m_reader ? m_reader->settings().pixelsX * m_reader->settings().pixelUmX / 1000.0 : 0;
}

double JobFileView::displayDepth() const
{
    return m_reader ? m_reader->settings().pixelsY * m_reader->settings().pixelUmY / 1000.0 : 0;
}

const JobSettings* JobFileView::settings() const
{
    return m_reader ? &m_reader->settings() : nullptr;
}

bool JobFileView::isJobFile(const QVariant& file)
{
    return makeJobReader(localPath(file).toStdString()) != nullptr;
}

void JobFileView::open(const QVariant& file)
{
    const QString path = localPath(file);
    // Made with the first job file, so that a window that shows none leaves no folder of it.
    if (!m_workFolder)
        m_workFolder = new WorkFolder(this);
    const QString folder = m_workFolder->url().isValid()
        ? QDir(m_workFolder->url().toLocalFile()).filePath(QStringLiteral("job%1").arg(++m_opens))
        : QString();
    ++m_reading;
    emit readingChanged();
    auto* watcher = new QFutureWatcher<std::shared_ptr<Opened>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const std::shared_ptr<Opened> opened = watcher->result();
        watcher->deleteLater();
        --m_reading;
        emit readingChanged();
        if (!opened->error.isEmpty()) {
            QDir(opened->folder).removeRecursively();
            emit failed(opened->error);
            return;
        }
        show(opened);
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, [path, folder] {
        auto opened = std::make_shared<Opened>();
        opened->path = path;
        opened->folder = folder;
        std::string error;
        std::shared_ptr<JobReader> reader = makeJobReader(path.toStdString());
        std::vector<std::uint8_t> pixels;
        if (!reader) {
            opened->error = QStringLiteral("%1 is no job file this program reads.").arg(path);
        } else if (folder.isEmpty() || !QDir().mkpath(folder)) {
            opened->error
                = QStringLiteral("Cannot show %1: the window has no folder for its layers.")
                      .arg(path);
        } else if (!reader->open(path.toStdString(), error)
            || (reader->settings().layerCount > 0 && !reader->readLayer(0, pixels, error))
            || (!pixels.empty()
                && !writeLayerImage(pixels, reader->settings().pixelsX, reader->settings().pixelsY,
                    QDir(folder).filePath(layerFileName(0)), error))) {
            opened->error = QString::fromStdString(error);
        } else if (reader->settings().layerCount <= 0) {
            opened->error = QStringLiteral("The job file %1 holds no layers.").arg(path);
        } else {
            opened->reader = std::move(reader);
        }
        return opened;
    }));
}

void JobFileView::show(const std::shared_ptr<Opened>& job)
{
    close();
    m_reader = job->reader;
    m_path = job->path;
    m_folder = job->folder;
    m_written = { 0 };
    m_details = detailsOf(m_reader->settings(), m_path);
    emit shownChanged();
    emit opened();
    findIslands();
}

void JobFileView::findIslands()
{
    m_stopIslands = std::make_shared<std::atomic<bool>>(false);
    m_findingIslands = true;
    emit islandsChanged();
    auto* watcher = new QFutureWatcher<FoundIslands>(this);
    const std::shared_ptr<std::atomic<bool>> stop = m_stopIslands;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, stop] {
        const FoundIslands found = watcher->result();
        watcher->deleteLater();
        if (*stop) // closed, or another job shown since
            return;
        m_findingIslands = false;
        if (found.plate.valid)
            m_islands->setPlate(found.plate);
        m_islandsError = found.error;
        emit islandsChanged();
        if (!found.error.isEmpty())
            emit failed(found.error);
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, findJobIslands, m_path, m_folder, stop));
}

void JobFileView::close()
{
    if (m_stopIslands)
        *m_stopIslands = true;
    m_stopIslands.reset();
    const bool wasShown = shown();
    m_reader.reset();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    m_folder.clear();
    m_path.clear();
    m_details.clear();
    m_written.clear();
    m_islands->setPlate(SlicedPlate());
    if (m_findingIslands || !m_islandsError.isEmpty()) {
        m_findingIslands = false;
        m_islandsError.clear();
        emit islandsChanged();
    }
    if (wasShown)
        emit shownChanged();
}

QUrl JobFileView::layerImage(int layer)
{
    if (!m_reader || layer < 0 || layer >= m_reader->settings().layerCount)
        return QUrl();
    const QString path = QDir(m_folder).filePath(layerFileName(layer));
    if (!m_written.contains(layer)) {
        std::vector<std::uint8_t> pixels;
        std::string error;
        const JobSettings& s = m_reader->settings();
        if (!m_reader->readLayer(layer, pixels, error)
            || !writeLayerImage(pixels, s.pixelsX, s.pixelsY, path, error)) {
            emit failed(QString::fromStdString(error));
            return QUrl();
        }
        m_written.insert(layer);
    }
    return QUrl::fromLocalFile(path);
}
