// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_ISLANDLIST_H
#define MODELBAY_ISLANDLIST_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantList>

// The islands of a sliced job for the layer preview, from the "plate.json" in its folder: one
// map per island, bottom layer first, with "layer", "x", "y" (plate mm), "areaMm2" and
// "height" (mm where the layer begins); an island whose record is no island is left out.
QVariantList islandRecords(const QByteArray& plateJson);

// The islands of the job in `folder` (the agent's pathOfLayerImages), read again whenever the
// folder is set or reload() is called: the list, the preview's summary line and the document's
// bytes, which the support generator takes to hold every island.
class IslandList : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString folder READ folder WRITE setFolder NOTIFY folderChanged)
    Q_PROPERTY(QVariantList islands READ islands NOTIFY loaded)
    Q_PROPERTY(QString summary READ summary NOTIFY loaded)
    Q_PROPERTY(QByteArray plateJson READ plateJson NOTIFY loaded)

public:
    explicit IslandList(QObject* parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString& folder);
    QVariantList islands() const { return m_islands; }
    QString summary() const { return m_summary; }
    QByteArray plateJson() const { return m_plateJson; }

    Q_INVOKABLE void reload();

signals:
    void folderChanged();
    void loaded();

private:
    QString m_folder;
    QVariantList m_islands;
    QString m_summary;
    QByteArray m_plateJson;
};

#endif
