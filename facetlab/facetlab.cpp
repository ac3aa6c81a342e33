// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "facetlab.h"

#include <Qt3DCore/QEntity>
#include <Qt3DCore/QTransform>
#include <QtQml>

Q_DECLARE_METATYPE(QVector<Qt3DCore::QEntity *>)

Facetlab::Facetlab()
    : QObject(nullptr)
{
}

Facetlab::~Facetlab() { }

bool Facetlab::stlExportInProgress() const { return m_stlExportInProgress; }
float Facetlab::progressbarVal() const { return m_progressbarVal; }
bool Facetlab::exportCanceled() const { return m_exportCanceled; }

void Facetlab::setStlExportInProgress(bool stlExportInProgress)
{
    m_stlExportInProgress = stlExportInProgress;
    emit stlExportInProgressChanged(m_stlExportInProgress);
}

void Facetlab::setProgressbarVal(float progressbarVal)
{
    m_progressbarVal = progressbarVal;
    emit progressbarValChanged(m_progressbarVal);
}

void Facetlab::setExportCanceled(bool exportCanceled)
{
    m_exportCanceled = exportCanceled;
    emit exportCanceledChanged(m_exportCanceled);
}

void Facetlab::handleTrianglesExportedChanged() { }

bool Facetlab::exportStl(const QUrl &, const QString &, QVariant)
{
    // The entity list type is registered on first use.
    qMetaTypeId<QVector<Qt3DCore::QEntity *>>();
    return false;
}

void Facetlab::updateExportables(QVector<Exportable *> &, QVector<Qt3DCore::QEntity *> &) { }

QVector<Qt3DCore::QTransform *> Facetlab::getParentsTransforms(Qt3DCore::QEntity *) { return {}; }

bool Facetlab::setExportFile(QFile &, const QUrl &, const QString &) { return true; }
bool Facetlab::unsetExportFile(QFile &) { return true; }
bool Facetlab::writeSTLheader(QFile &) { return true; }
bool Facetlab::writeSTLnumber(QFile &, quint32) { return true; }

namespace Facetlabrary {

void registerFacetlabraryQML()
{
    static bool registered = false;
    if (registered)
        return;
    qmlRegisterType<Facetlab>("com.corvane.desktop", 1, 0, "Facetlab");
    registered = true;
}

}
