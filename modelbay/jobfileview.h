// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_JOBFILEVIEW_H
#define MODELBAY_JOBFILEVIEW_H

#include "slicedplate.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <memory>

class IslandList;
class JobReader;
class WorkFolder;
struct JobSettings;

// A job file opened to be looked at (ours or any slicer's, in any format we read): its settings
// for the side panel, its layers for the layer preview and the islands found in them. The file
// is read on a worker thread; the preview's layer images are written into a folder of the
// view's own (made with the first job file opened), each the first time it is shown. The islands
// are found in the background over every layer and listed when done. A file that cannot be read
// changes nothing and gives one sentence through failed().
class JobFileView : public QObject {
    Q_OBJECT
    // A job file is shown instead of the plate's own job.
    Q_PROPERTY(bool shown READ shown NOTIFY shownChanged)
    Q_PROPERTY(bool reading READ reading NOTIFY readingChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY shownChanged)
    // "Elegoo Saturn 3 Ultra · 11520 × 5120 px", one line per setting the file has.
    Q_PROPERTY(QStringList details READ details NOTIFY shownChanged)
    Q_PROPERTY(int layerCount READ layerCount NOTIFY shownChanged)
    Q_PROPERTY(double layerHeight READ layerHeight NOTIFY shownChanged)
    Q_PROPERTY(bool mirrorX READ mirrorX NOTIFY shownChanged)
    Q_PROPERTY(bool mirrorY READ mirrorY NOTIFY shownChanged)
    // The display the layers fill, in mm.
    Q_PROPERTY(double displayWidth READ displayWidth NOTIFY shownChanged)
    Q_PROPERTY(double displayDepth READ displayDepth NOTIFY shownChanged)
    Q_PROPERTY(IslandList* islands READ islands CONSTANT)
    Q_PROPERTY(bool findingIslands READ findingIslands NOTIFY islandsChanged)
    // Why the islands could not be looked for (a layer that cannot be read); empty otherwise.
    Q_PROPERTY(QString islandsError READ islandsError NOTIFY islandsChanged)

public:
    explicit JobFileView(QObject* parent = nullptr);
    ~JobFileView() override;

    bool shown() const { return m_reader != nullptr; }
    bool reading() const { return m_reading > 0; }
    QString fileName() const;
    QStringList details() const { return m_details; }
    int layerCount() const;
    double layerHeight() const;
    bool mirrorX() const;
    bool mirrorY() const;
    double displayWidth() const;
    double displayDepth() const;
    IslandList* islands() const { return m_islands; }
    bool findingIslands() const { return m_findingIslands; }
    QString islandsError() const { return m_islandsError; }
    const JobSettings* settings() const;

    // Whether a file (URL or path) is a job file by its extension.
    Q_INVOKABLE static bool isJobFile(const QVariant& file);
    // Reads the job file on a worker thread: opened() when it is shown, failed() when not.
    Q_INVOKABLE void open(const QVariant& file);
    // Back to the plate's own job.
    Q_INVOKABLE void close();
    // The layer's image as a file URL, written the first time it is asked for; empty when the
    // layer cannot be read (the sentence goes through failed()).
    Q_INVOKABLE QUrl layerImage(int layer);

signals:
    void shownChanged();
    void readingChanged();
    void islandsChanged();
    void opened();
    void failed(const QString& sentence);

private:
    struct Opened;
    void show(const std::shared_ptr<Opened>& job);
    void findIslands();

    WorkFolder* m_workFolder = nullptr;
    IslandList* m_islands;
    std::shared_ptr<JobReader> m_reader;
    QString m_path;
    QString m_folder; // this job's layer images
    QStringList m_details;
    QSet<int> m_written;
    int m_reading = 0;
    int m_opens = 0; // names each opened job's folder
    bool m_findingIslands = false;
    QString m_islandsError;
    std::shared_ptr<std::atomic<bool>> m_stopIslands;
    QThreadPool m_pool; // declared last: waited for first
};

#endif
