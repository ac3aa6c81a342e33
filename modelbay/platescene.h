// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLATESCENE_H
#define MODELBAY_PLATESCENE_H

#include <Qt3DCore/QEntity>
#include <QPointer>
#include <QVariant>
#include <QVector3D>
#include <QVector>

#include <memory>

class PlateModel;
struct MeshData;
struct ObjectSupports;

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
// It only draws: each object's supports, and the lift it stands on them, are the model's, and
// are drawn as entities of their own beside it, exported with it.
//
// Picking a triangle needs RenderSettings.pickingSettings.pickMethod to include triangle
// picking; otherwise objectPressed gives -1 as the triangle.
class PlateScene : public Qt3DCore::QEntity {
    Q_OBJECT
    Q_PROPERTY(PlateModel* model READ model WRITE setModel NOTIFY modelChanged)

public:
    explicit PlateScene(Qt3DCore::QNode* parent = nullptr);
    ~PlateScene() override;

    PlateModel* model() const;
    void setModel(PlateModel* model);

    // Every object's entity and its supports' (a QVector<Qt3DCore::QEntity *>), for
    // Facetlab.exportStl.
    Q_INVOKABLE QVariant exportEntities() const;
    // One object's entity with its supports, in the same form, for slicing each on its own.
    Q_INVOKABLE QVariant exportEntity(int row) const;

    // The entity showing a row, or null.
    Qt3DCore::QEntity* entityAt(int row) const;
    // The entity showing a row's supports, or null when the row stands without any.
    Qt3DCore::QEntity* supportsEntityAt(int row) const;

signals:
    void modelChanged();
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
        // The model's supports the entity above shows, so that a move or a colour change does
        // not make it again.
        std::shared_ptr<const ObjectSupports> shownSupports;
        qreal liftMm = 0;
    };

    void rebuild();
    void insertItems(int first, int last);
    void removeItems(int first, int last);
    void updateItems(int first, int last);
    Item makeItem(int row);
    void showPlacement(Item& item, int row);
    void showSupports(Item& item, int row);
    void makeSupportsEntity(Item& item, const MeshData& mesh);
    void handlePressed(Qt3DCore::QEntity* entity, Qt3DRender::QPickEvent* event);
    void handleSupportsPressed(Qt3DCore::QEntity* supports, Qt3DRender::QPickEvent* event);

    QPointer<PlateModel> m_model;
    QVector<Item> m_items; // one per row, in row order
    QVector<QMetaObject::Connection> m_connections;
};

#endif
