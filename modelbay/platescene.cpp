// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platescene.h"

#include "meshdata.h"
#include "objectsupports.h"
#include "platemodel.h"

#include <Qt3DCore/QTransform>
#include <Qt3DExtras/QPhongMaterial>
#include <Qt3DRender/QAttribute>
#include <Qt3DRender/QBuffer>
#include <Qt3DRender/QGeometry>
#include <Qt3DRender/QGeometryRenderer>
#include <Qt3DRender/QObjectPicker>
#include <Qt3DRender/QPickTriangleEvent>

#include <QColor>
#include <QVector2D>

#include <algorithm>

namespace {

const QColor kNormalColour(0x9a, 0xb4, 0xc8);
const QColor kSelectedColour(0xf0, 0xa0, 0x30);
const QColor kOutsideColour(0xd8, 0x40, 0x38);
const QColor kSupportColour(0xb8, 0xbc, 0xc0);

Qt3DRender::QGeometry* geometryOf(const MeshData& mesh, Qt3DCore::QNode* parent)
{
    auto* geometry = new Qt3DRender::QGeometry(parent);
    // The model's bytes, shared: QByteArray copies nothing until someone writes to it.
    auto* buffer = new Qt3DRender::QBuffer(geometry);
    buffer->setData(mesh.vertices);
    const uint vertices = uint(mesh.triangleCount) * 3;
    auto* position
        = new Qt3DRender::QAttribute(buffer, Qt3DRender::QAttribute::defaultPositionAttributeName(),
            Qt3DRender::QAttribute::Float, 3, vertices, 0, MeshData::kVertexStride, geometry);
    auto* normal = new Qt3DRender::QAttribute(buffer,
        Qt3DRender::QAttribute::defaultNormalAttributeName(), Qt3DRender::QAttribute::Float, 3,
        vertices, 3 * sizeof(float), MeshData::kVertexStride, geometry);
    geometry->addAttribute(position);
    geometry->addAttribute(normal);
    geometry->setBoundingVolumePositionAttribute(position);
    return geometry;
}

} // namespace

PlateScene::PlateScene(Qt3DCore::QNode* parent)
    : Qt3DCore::QEntity(parent)
{
}

PlateScene::~PlateScene() = default;

PlateModel* PlateScene::model() const { return m_model; }

void PlateScene::setModel(PlateModel* model)
{
    if (m_model == model)
        return;
    for (const QMetaObject::Connection& connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_model = model;
    if (m_model) {
        m_connections.append(connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { insertItems(first, last); }));
        m_connections.append(connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { removeItems(first, last); }));
        m_connections.append(connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                updateItems(topLeft.row(), bottomRight.row());
            }));
        m_connections.append(
            connect(m_model, &QAbstractItemModel::modelReset, this, &PlateScene::rebuild));
        m_connections.append(connect(m_model, &QObject::destroyed, this, [this] {
            m_model = nullptr;
            rebuild();
        }));
    }
    rebuild();
    emit modelChanged();
}

QVariant PlateScene::exportEntities() const
{
    QVector<Qt3DCore::QEntity*> entities;
    for (const Item& item : m_items) {
        entities.append(item.entity);
        if (item.supports)
            entities.append(item.supports);
    }
    return QVariant::fromValue(entities);
}

QVariant PlateScene::exportEntity(int row) const
{
    QVector<Qt3DCore::QEntity*> entities;
    if (Qt3DCore::QEntity* entity = entityAt(row))
        entities.append(entity);
    if (Qt3DCore::QEntity* supports = supportsEntityAt(row))
        entities.append(supports);
    return QVariant::fromValue(entities);
}

Qt3DCore::QEntity* PlateScene::supportsEntityAt(int row) const
{
    return row >= 0 && row < m_items.size() ? m_items.at(row).supports : nullptr;
}

Qt3DCore::QEntity* PlateScene::entityAt(int row) const
{
    return row >= 0 && row < m_items.size() ? m_items.at(row).entity : nullptr;
}

void PlateScene::rebuild()
{
    for (const Item& item : qAsConst(m_items)) {
        delete item.supports;
        delete item.entity;
    }
    m_items.clear();
    if (m_model && m_model->count() > 0)
        insertItems(0, m_model->count() - 1);
}

void PlateScene::insertItems(int first, int last)
{
    for (int row = first; row <= last; ++row)
        m_items.insert(row, makeItem(row));
}

void PlateScene::removeItems(int first, int last)
{
    for (int row = last; row >= first; --row) {
        if (row < m_items.size()) {
            const Item item = m_items.takeAt(row);
            delete item.supports;
            delete item.entity;
        }
    }
}

void PlateScene::updateItems(int first, int last)
{
    for (int row = std::max(first, 0); row <= last && row < m_items.size(); ++row)
        showPlacement(m_items[row], row);
}

void PlateScene::showSupports(Item& item, int row)
{
    item.liftMm = m_model->liftAt(row);
    const std::shared_ptr<const ObjectSupports> supports = m_model->supportsAt(row);
    if (supports != item.shownSupports) {
        item.shownSupports = supports;
        delete item.supports;
        item.supports = nullptr;
        item.supportsTransform = nullptr;
        if (supports && supports->mesh.triangleCount > 0)
            makeSupportsEntity(item, supports->mesh);
    }
    if (item.supportsTransform)
        item.supportsTransform->setTranslation(m_model->supportsShiftAt(row));
}

void PlateScene::makeSupportsEntity(Item& item, const MeshData& mesh)
{
    item.supports = new Qt3DCore::QEntity(this);
    auto* renderer = new Qt3DRender::QGeometryRenderer(item.supports);
    renderer->setPrimitiveType(Qt3DRender::QGeometryRenderer::Triangles);
    renderer->setVertexCount(mesh.triangleCount * 3);
    renderer->setGeometry(geometryOf(mesh, renderer));
    // Built on the plate already: a translation places them once the object moved.
    auto* transform = new Qt3DCore::QTransform(item.supports);
    item.supportsTransform = transform;
    auto* material = new Qt3DExtras::QPhongMaterial(item.supports);
    material->setAmbient(QColor(0x40, 0x40, 0x48));
    material->setDiffuse(kSupportColour);
    material->setSpecular(QColor(0x20, 0x20, 0x20));
    auto* picker = new Qt3DRender::QObjectPicker(item.supports);
    Qt3DCore::QEntity* supports = item.supports;
    connect(picker, &Qt3DRender::QObjectPicker::pressed, this,
        [this, supports](
            Qt3DRender::QPickEvent* event) { handleSupportsPressed(supports, event); });
    item.supports->addComponent(renderer);
    item.supports->addComponent(transform);
    item.supports->addComponent(material);
    item.supports->addComponent(picker);
}

void PlateScene::showPlacement(Item& item, int row)
{
    if (!m_model)
        return;
    showSupports(item, row);
    QMatrix4x4 lifted;
    lifted.translate(0, 0, float(item.liftMm));
    item.transform->setMatrix(lifted * m_model->matrixAt(row));
    const bool selected = m_model->index(row).data(PlateModel::SelectedRole).toBool();
    QColor colour = selected ? kSelectedColour : kNormalColour;
    // The warning wins over the selection: a selected object outside is a lighter warning.
    if (m_model->isOutside(row))
        colour = selected ? kOutsideColour.lighter(130) : kOutsideColour;
    item.material->setDiffuse(colour);
}

PlateScene::Item PlateScene::makeItem(int row)
{
    Item item;
    item.entity = new Qt3DCore::QEntity(this);
    auto* renderer = new Qt3DRender::QGeometryRenderer(item.entity);
    const std::shared_ptr<const MeshData> mesh = m_model->meshAt(row);
    renderer->setPrimitiveType(Qt3DRender::QGeometryRenderer::Triangles);
    renderer->setVertexCount(mesh->triangleCount * 3);
    renderer->setGeometry(geometryOf(*mesh, renderer));
    item.transform = new Qt3DCore::QTransform(item.entity);
    item.material = new Qt3DExtras::QPhongMaterial(item.entity);
    item.material->setAmbient(QColor(0x40, 0x40, 0x48));
    item.material->setSpecular(QColor(0x20, 0x20, 0x20));
    auto* picker = new Qt3DRender::QObjectPicker(item.entity);
    Qt3DCore::QEntity* entity = item.entity;
    connect(picker, &Qt3DRender::QObjectPicker::pressed, this,
        [this, entity](Qt3DRender::QPickEvent* event) { handlePressed(entity, event); });
    item.entity->addComponent(renderer);
    item.entity->addComponent(item.transform);
    item.entity->addComponent(item.material);
    item.entity->addComponent(picker);
    // Placed and coloured right away, before the row's first change arrives.
    showPlacement(item, row);
    return item;
}

void PlateScene::handlePressed(Qt3DCore::QEntity* entity, Qt3DRender::QPickEvent* event)
{
    int row = -1;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).entity == entity)
            row = i;
    }
    if (row < 0)
        return;
    QVector3D point = event->worldIntersection();
    point.setZ(point.z() - float(m_items.at(row).liftMm));
    int triangle = -1;
    if (auto* hit = qobject_cast<Qt3DRender::QPickTriangleEvent*>(event))
        triangle = int(hit->triangleIndex());
    emit objectPressed(row, point, triangle, int(event->buttons()), int(event->modifiers()));
}

void PlateScene::handleSupportsPressed(Qt3DCore::QEntity* supports, Qt3DRender::QPickEvent* event)
{
    int row = -1;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).supports == supports)
            row = i;
    }
    if (row < 0 || !m_model)
        return;
    // A support stands under its point: a press on its cone, shaft or foot is near the point
    // across the plate, whatever its height. Branches lean, so a few millimetres are allowed.
    const float reachMm = 3.0f;
    const QVector3D hit = event->worldIntersection();
    const QMatrix4x4 matrix = m_model->matrixAt(row);
    const QVector<QVector3D> points = m_model->supportPointsAt(row);
    int nearest = -1;
    float nearestDistance = reachMm;
    for (int i = 0; i < points.size(); ++i) {
        const QVector3D point = matrix.map(points.at(i));
        const float distance = QVector2D(point.x() - hit.x(), point.y() - hit.y()).length();
        if (distance <= nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    if (nearest >= 0)
        emit supportPressed(row, nearest);
}
