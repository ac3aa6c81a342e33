// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window as a user meets it, under Xvfb: a one-million-triangle binary STL (a 60 mm
// sphere) named on the command line, timed from the program's start to the first frame that
// shows it; the idle window's CPU over 10 s; and the whole road of one job for that model
// (export, slicing at the first built-in printer's 2K profile, first layer shown in the
// preview). Each round runs the real window in a child process of its own, with the real agent
// next to it; medians over the rounds are printed.
//
//   xvfb-run -a -s "-screen 0 1600x1000x24" bench_editor [--rounds N]
#include "spherestl.h"
#include "startup.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QMetaProperty>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include <sys/resource.h>

namespace {

QElapsedTimer sinceStart;

// Where to look, from the view's centre (the plate's centre, where the camera looks): a model
// standing there shows its lit upper half above it; the layer image lies around it.
const QRect modelBlock(-100, -150, 200, 200);
const QRect layerBlock(-50, -30, 100, 60);

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// What the 3D view shows at its centre (the plate's centre, where the camera looks): a lit model
// is bright, a layer image of the preview is black and white.
enum class Centre { Other, Model, Layer };

Centre classify(const std::vector<unsigned char>& rgba)
{
    int bright = 0;
    int layer = 0;
    const int pixels = int(rgba.size() / 4);
    for (int i = 0; i < pixels; ++i) {
        const int r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2];
        bright += (r + g + b) / 3 > 130 && b > r;
        layer += (r == g && g == b) && (r < 8 || r > 247);
    }
    if (layer > pixels / 2)
        return Centre::Layer;
    return bright > pixels / 4 ? Centre::Model : Centre::Other;
}

// One window, one measurement; prints "name value" lines for the parent.
class Child : public QObject {
public:
    Child(const QString& mode)
        : m_mode(mode)
    {
        Startup::setIdentity();
        Startup::registerQmlTypes();
        Startup::publishContextProperties(m_engine);
        m_engine.load(Startup::mainQmlUrl());
        m_window = qobject_cast<QQuickWindow*>(m_engine.rootObjects().value(0));
        if (!m_window) {
            std::printf("error no window\n");
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
            return;
        }
        m_plate = m_window->findChild<QAbstractItemModel*>(QStringLiteral("plateModel"));
        m_road = m_window->findChild<QObject*>(QStringLiteral("jobRoad"));
        m_gate = m_window->findChild<QObject*>(QStringLiteral("frameGate"));
        m_poll = new QTimer(this);
        connect(m_poll, &QTimer::timeout, this, &Child::step);
        m_poll->start(5);
    }

private:
    // What the window shows around the view's centre now: a grab draws a
    // frame of the current state, so the time it is seen is an upper bound of
    // the time it was first drawn.
    Centre look(const QRect& around)
    {
        const QImage image = m_window->grabWindow().convertToFormat(QImage::Format_RGBA8888);
        const QRect block = around.translated(m_viewCentre);
        std::vector<unsigned char> rgba;
        for (int y = block.top(); y <= block.bottom(); ++y) {
            const uchar* line = image.constScanLine(y);
            rgba.insert(rgba.end(), line + 4 * block.left(), line + 4 * (block.right() + 1));
        }
        return classify(rgba);
    }

    // GUI thread: moves the measurement on as the window gets there.
    void step()
    {
        if (m_viewCentre.isNull()) {
            auto* view = m_window->findChild<QQuickItem*>(QStringLiteral("plateView"));
            if (view && view->width() > 0)
                m_viewCentre
                    = view->mapToScene(QPointF(view->width() / 2, view->height() / 2)).toPoint();
            return;
        }
        if (m_modelShownMs < 0) {
            if (m_plate->rowCount() > 0 && look(modelBlock) == Centre::Model)
                m_modelShownMs = sinceStart.elapsed();
            return;
        }
        if (m_mode == QLatin1String("firstframe")) {
            report("first_frame_ms", m_modelShownMs);
            return;
        }
        QObject* printers = m_window->findChild<QObject*>(QStringLiteral("printerChoice"));
        const bool profileChosen
            = printers->property("profile").toMap().contains(QStringLiteral("PixelsX"));
        if (m_mode == QLatin1String("idle")) {
            if (!profileChosen || m_gate->property("open").toBool())
                return;
            m_poll->stop();
            const double before = cpuSeconds();
            QTimer::singleShot(10000, this,
                [this, before] { report("idle_cpu_percent", (cpuSeconds() - before) * 100 / 10); });
            return;
        }
        // The road: slice once the printer's profile is there, then wait for the first layer.
        if (m_roadStartMs < 0) {
            if (!profileChosen || m_gate->property("open").toBool())
                return;
            m_roadStartMs = sinceStart.elapsed();
            QMetaObject::invokeMethod(m_road, "slice");
            m_exportedMs = sinceStart.elapsed();
            return;
        }
        // The road's phase by its name in lower case ("sliced").
        const QMetaProperty phaseProperty
            = m_road->metaObject()->property(m_road->metaObject()->indexOfProperty("phase"));
        const QString phase = QString::fromLatin1(
            phaseProperty.enumerator().valueToKey(phaseProperty.read(m_road).toInt()))
                                  .toLower();
        if (phase == QLatin1String("failed")) {
            std::printf("error %s\n", qPrintable(m_road->property("message").toString()));
            QCoreApplication::exit(1);
            return;
        }
        if (phase == QLatin1String("sliced") && m_slicedMs < 0)
            m_slicedMs = sinceStart.elapsed();
        if (m_slicedMs >= 0 && m_layerShownMs < 0 && look(layerBlock) == Centre::Layer)
            m_layerShownMs = sinceStart.elapsed();
        if (m_layerShownMs >= 0 && m_slicedMs >= 0) {
            std::printf("export_ms %lld\n", m_exportedMs - m_roadStartMs);
            std::printf("sliced_ms %lld\n", m_slicedMs - m_roadStartMs);
            report("road_ms", double(m_layerShownMs - m_roadStartMs));
        }
    }

    void report(const char* name, double value)
    {
        m_poll->stop();
        std::printf("%s %.1f\n", name, value);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    QString m_mode;
    QQmlApplicationEngine m_engine;
    QQuickWindow* m_window = nullptr;
    QAbstractItemModel* m_plate = nullptr;
    QObject* m_road = nullptr;
    QObject* m_gate = nullptr;
    QTimer* m_poll = nullptr;
    QPoint m_viewCentre;
    qint64 m_modelShownMs = -1;
    qint64 m_layerShownMs = -1;
    qint64 m_roadStartMs = -1;
    qint64 m_exportedMs = -1;
    qint64 m_slicedMs = -1;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int runChild(int argc, char** argv)
{
    // The program's own command line: the model file, as a user passes it.
    char* arguments[] = { argv[0], argv[3], nullptr };
    int count = 2;
    QApplication app(count, arguments);
    Child child(QString::fromLocal8Bit(argv[2]));
    Q_UNUSED(argc);
    return app.exec();
}

}

int main(int argc, char** argv)
{
    sinceStart.start();
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);

    QCoreApplication app(argc, argv);
    int rounds = 5;
    const QStringList args = app.arguments();
    const int roundsAt = args.indexOf(QStringLiteral("--rounds"));
    if (roundsAt > 0 && roundsAt + 1 < args.size())
        rounds = std::max(1, args.at(roundsAt + 1).toInt());

    QTemporaryDir work;
    const QString model = work.path() + QStringLiteral("/sphere.stl");
    // 2 * 1000 * (501 - 1) = 1,000,000 triangles.
    if (!writeSphereStl(model.toStdString(), 30.0, 1000, 501)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(model));
        return 1;
    }

    std::map<QString, std::vector<double>> figures;
    const QStringList modes
        = { QStringLiteral("firstframe"), QStringLiteral("idle"), QStringLiteral("road") };
    for (int round = 0; round < rounds; ++round) {
        for (const QString& mode : modes) {
            // Settings and agent data of each run stay in a folder of its own.
            QTemporaryDir home;
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), home.path());
            env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
            env.insert(QStringLiteral("TMPDIR"), home.path());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--child"), mode, model });
            if (!child.waitForFinished(180000) || child.exitCode() != 0) {
                std::fprintf(stderr, "round %d %s failed: %s\n", round + 1, qPrintable(mode),
                    child.readAllStandardOutput().constData());
                continue;
            }
            const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
            for (const QByteArray& line : lines) {
                const QList<QByteArray> parts = line.split(' ');
                if (parts.size() == 2)
                    figures[QString::fromLatin1(parts.at(0))].push_back(parts.at(1).toDouble());
            }
        }
    }
    std::printf("1,000,000-triangle binary STL, %d rounds, medians (min .. max):\n", rounds);
    for (const auto& figure : figures) {
        const auto range = std::minmax_element(figure.second.begin(), figure.second.end());
        std::printf("  %-18s %9.1f   (%.1f .. %.1f)\n", qPrintable(figure.first),
            median(figure.second), *range.first, *range.second);
    }
    std::printf("targets: first_frame_ms < 1500, idle_cpu_percent < 3, road_ms < 4000\n");
    return 0;
}
