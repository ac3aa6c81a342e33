// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLATESCENE_H
#define MODELBAY_PLATESCENE_H

#include "placement.h"

#include <Qt3DCore/QEntity>
#include <QMatrix4x4>
#include <QPointer>
#include <QVariant>
#include <QVector3D>
#include <QVector>

class PlateModel;
class SupportOptions;

namespace Qt3DCore {
class QTransform;
}
namespace Qt3DExtras {
class QPhongMaterial;
}
namespace Qt3DRender {
class QPickEvent;
}

// The plate's objects in the Qt 3D scene: one child entity per row of the model, with the
// model's mesh bytes as its vertex buffer (shared, not copied), the placement as its transform,
// a colour for normal, selected and outside, and a picker. Follows the model's row signals.
//
// Picking a triangle needs RenderSettings.pickingSettings.pickMethod to include triangle
// picking; otherwise objectPressed gives -1 as the triangle.
class PlateScene : public Qt3DCore::QEntity {
    Q_OBJECT
    Q_PROPERTY(PlateModel* model READ model WRITE setModel NOTIFY modelChanged)
    // With supports on, each object with support points stands lifted on its supports, which
    // are entities of their own beside it, exported with it.
    Q_PROPERTY(SupportOptions* supportOptions READ supportOptions WRITE setSupportOptions NOTIFY
            supportOptionsChanged)

public:
    explicit PlateScene(Qt3DCore::QNode* parent = nullptr);
    ~PlateScene() override;

    PlateModel* model() const;
    void setModel(PlateModel* model);
    SupportOptions* supportOptions() const;
    void setSupportOptions(SupportOptions* options);

    // Every object's entity and its supports' (a QVector<Qt3DCore::QEntity *>), for
    // Facetlab.exportStl.
    Q_INVOKABLE QVariant exportEntities() const;
    // One object's entity with its supports, in the same form, for slicing each on its own.
    Q_INVOKABLE QVariant exportEntity(int row) const;

    // The entity showing a row, or null.
    Qt3DCore::QEntity* entityAt(int row) const;
    // The entity showing a row's supports, or null when the row stands without any.
    Qt3DCore::QEntity* supportsEntityAt(int row) const;
    // How far a row's object stands lifted on its supports, in mm.
    Q_INVOKABLE qreal liftAt(int row) const;
    // Why the plate cannot be sliced as it stands on its supports (objects lifted out of the
    // printable volume at the top, or pads reaching past the plate's edge), or empty. The plate
    // model's own check knows the objects without their supports.
    Q_INVOKABLE QString supportsRefusal() const;

signals:
    void modelChanged();
    void supportOptionsChanged();
    // worldPoint is where the object was hit as it is placed, without the lift of its supports,
    // as PlateModel takes points on the plate.
    void objectPressed(
        int row, const QVector3D& worldPoint, int triangle, int buttons, int modifiers);
    // A row's supports were pressed on the support standing under its point `index`: the one
    // nearest across the plate, within a few millimetres of where the press hit.
    void supportPressed(int row, int index);

private:
    struct Item {
        Qt3DCore::QEntity* entity = nullptr;
        Qt3DCore::QTransform* transform = nullptr;
        Qt3DExtras::QPhongMaterial* material = nullptr;
        Qt3DCore::QEntity* supports = nullptr; // null while the object stands without them
        Qt3DCore::QTransform* supportsTransform = nullptr;
        qreal liftMm = 0;
        qreal builtLiftMm = 0; // the lift as the supports were built
        Bounds supportsBounds; // of the supports as built, before any move
        // What the supports were built for, so that a selection or colour change does not
        // build them again.
        QMatrix4x4 supportsMatrix;
        QVector<QVector3D> supportsPoints;
        quint64 supportsRevision = 0;
    };

    void rebuild();
    void insertItems(int first, int last);
    void removeItems(int first, int last);
    void updateItems(int first, int last);
    Item makeItem(int row);
    void showPlacement(Item& item, int row);
    void showSupports(Item& item, int row);
    void showAllSupports();
    void handlePressed(Qt3DCore::QEntity* entity, Qt3DRender::QPickEvent* event);
    void handleSupportsPressed(Qt3DCore::QEntity* supports, Qt3DRender::QPickEvent* event);

    QPointer<PlateModel> m_model;
    QPointer<SupportOptions> m_supportOptions;
    QMetaObject::Connection m_optionsConnection;
    quint64 m_optionsRevision = 1; // counts changes of the options
    QVector<Item> m_items; // one per row, in row order
    QVector<QMetaObject::Connection> m_connections;
};

#endif
