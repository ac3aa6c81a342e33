// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platemodel.h"

#include "arrange.h"
#include "meshdata.h"
#include "meshimport.h"
#include "objectsupports.h"
#include "plateobject.h"
#include "platesupports.h"
#include "raypick.h"
#include "supportoptions.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QJSValue>
#include <QUndoStack>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kGap = 5.0f; // millimetres between objects placed beside each other

// The 2K panel's plate until a profile says otherwise.
constexpr float kDefaultWidth = 120.96f;
constexpr float kDefaultDepth = 68.04f;
constexpr float kDefaultHeight = 150.0f;

// QML hands a JavaScript array over as a QJSValue, a list property (a file dialog's fileUrls)
// as a list, and one file as a url or a string.
QStringList localPaths(const QVariant& files)
{
    QVariantList items;
    if (files.userType() == qMetaTypeId<QJSValue>()) {
        items = files.value<QJSValue>().toVariant().toList();
    } else if (files.userType() == qMetaTypeId<QList<QUrl>>()) {
        const QList<QUrl> urls = files.value<QList<QUrl>>();
        for (const QUrl& url : urls)
            items.append(url);
    } else if (files.canConvert<QVariantList>() && files.userType() != QMetaType::QString
        && files.userType() != QMetaType::QUrl) {
        items = files.toList();
    } else {
        items.append(files);
    }
    QStringList paths;
    for (const QVariant& item : qAsConst(items)) {
        QString path;
        if (item.userType() == QMetaType::QUrl) {
            path = item.toUrl().toLocalFile();
        } else {
            const QString text = item.toString();
            const QUrl url(text);
            path = url.isLocalFile() ? url.toLocalFile() : text;
        }
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

// A NaN from a half-typed field would make every comparison false, and the outside check with
// it: such a value never reaches a placement.
bool isFinite(const QVector3D& v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

QVector<MeshImport> importAll(const QStringList& paths)
{
    QVector<MeshImport> imports;
    imports.reserve(paths.size());
    for (const QString& path : paths)
        imports.append(importMeshFile(path));
    return imports;
}

} // namespace

QStringList localFilePaths(const QVariant& files) { return localPaths(files); }

PlateModel::PlateModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_undoStack(new QUndoStack(this))
    , m_supportOptions(new SupportOptions(this))
    , m_supports(new PlateSupports(this))
{
    // Found by this name from QML and tests, as when it was declared there.
    m_supportOptions->setObjectName(QStringLiteral("supportOptions"));
    connect(m_supportOptions, &SupportOptions::changed, this, [this] {
        ++m_optionsRevision;
        for (int row = 0; row < m_objects.size(); ++row)
            requestSupports(row);
    });
    connect(m_supports, &PlateSupports::built, this, &PlateModel::supportsBuilt);
    connect(m_supports, &PlateSupports::busyChanged, this, &PlateModel::supportsBusyChanged);
    m_volume.width = kDefaultWidth;
    m_volume.depth = kDefaultDepth;
    m_volume.height = kDefaultHeight;
    connect(m_undoStack, &QUndoStack::indexChanged, this, &PlateModel::undoStateChanged);
    connect(m_undoStack, &QUndoStack::cleanChanged, this, &PlateModel::undoStateChanged);
}

PlateModel::~PlateModel() = default;

int PlateModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_objects.size();
}

QVariant PlateModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return QVariant();
    const std::shared_ptr<PlateObject>& object = m_objects.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return QFileInfo(object->sourcePath).fileName();
    case SourcePathRole:
        return object->sourcePath;
    case TranslationRole:
        return object->placement.translation;
    case RotationRole:
        return object->placement.rotation;
    case ScaleRole:
        return object->placement.scale;
    case SizeRole:
        return object->bounds().size();
    case BoundsMinRole:
        return object->bounds().min;
    case BoundsMaxRole:
        return object->bounds().max;
    case OutsideRole:
        return isOutside(index.row());
    case TriangleCountRole:
        return object->mesh->triangleCount;
    case SupportPointsRole: {
        QVariantList points;
        const QMatrix4x4 matrix = placementMatrix(object->placement);
        for (const QVector3D& point : qAsConst(object->supportPoints))
            points.append(matrix.map(point));
        return points;
    }
    case SelectedRole:
        return object->id == m_selectedId;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> PlateModel::roleNames() const
{
    return {
        { NameRole, "name" },
        { SourcePathRole, "sourcePath" },
        { TranslationRole, "translation" },
        { RotationRole, "rotation" },
        { ScaleRole, "scale" },
        { SizeRole, "size" },
        { BoundsMinRole, "boundsMin" },
        { BoundsMaxRole, "boundsMax" },
        { OutsideRole, "outside" },
        { TriangleCountRole, "triangleCount" },
        { SelectedRole, "selected" },
        { SupportPointsRole, "supportPoints" },
    };
}

int PlateModel::count() const { return m_objects.size(); }

qreal PlateModel::plateWidth() const { return m_volume.width; }

qreal PlateModel::plateDepth() const { return m_volume.depth; }

qreal PlateModel::plateHeight() const { return m_volume.height; }

int PlateModel::selectedRow() const { return m_selectedId == 0 ? -1 : rowOfId(m_selectedId); }

void PlateModel::setSelectedRow(int row)
{
    const quint64 id = validRow(row) ? m_objects.at(row)->id : 0;
    if (id == m_selectedId)
        return;
    const int before = selectedRow();
    m_selectedId = id;
    emitRowChanged(before);
    emitRowChanged(row);
    emit selectedRowChanged();
}

bool PlateModel::canUndo() const { return m_undoStack->canUndo(); }

bool PlateModel::canRedo() const { return m_undoStack->canRedo(); }

QString PlateModel::undoText() const { return m_undoStack->undoText(); }

QString PlateModel::redoText() const { return m_undoStack->redoText(); }

QStringList PlateModel::outsideNames() const { return m_outsideNames; }

bool PlateModel::busy() const { return m_busy; }

SupportOptions* PlateModel::supportOptions() const { return m_supportOptions; }

bool PlateModel::supportsBusy() const { return m_supports->busy(); }

QStringList PlateModel::openFiles(const QVariant& files)
{
    const QStringList paths = localPaths(files);
    m_pendingReads.append(paths);
    if (!m_busy)
        startNextRead();
    return QStringList();
}

void PlateModel::startNextRead()
{
    if (m_pendingReads.isEmpty()) {
        if (m_busy) {
            m_busy = false;
            emit busyChanged();
        }
        return;
    }
    if (!m_busy) {
        m_busy = true;
        emit busyChanged();
    }
    const QStringList paths = m_pendingReads.takeFirst();
    auto* watcher = new QFutureWatcher<QVector<MeshImport>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, paths] {
        const QVector<MeshImport> imports = watcher->result();
        watcher->deleteLater();
        QStringList errors;
        for (int i = 0; i < imports.size(); ++i) {
            if (!imports.at(i).error.isEmpty()) {
                errors.append(imports.at(i).error);
                emit errorOccurred(imports.at(i).error);
                continue;
            }
            placeOpened(paths.at(i), std::make_shared<const MeshData>(imports.at(i).mesh));
        }
        emit filesOpened(errors);
        startNextRead();
    });
    watcher->setFuture(QtConcurrent::run(importAll, paths));
}

void PlateModel::placeOpened(const QString& path, const std::shared_ptr<const MeshData>& mesh)
{
    auto object = std::make_shared<PlateObject>();
    object->id = m_nextId++;
    object->sourcePath = path;
    object->mesh = mesh;
    object->placement = droppedToPlate(object->bounds(), object->placement);
    insertPlaced(m_objects.size(), object, tr("Open %1").arg(QFileInfo(path).fileName()));
}

// The first in the plate's centre, later ones in free space among the others, resting on the
// plate. When there is no free space, but the plate holds everything once arranged, the plate
// is arranged in the same undo step; otherwise the object waits beyond the plate. Either way the
// user is told.
void PlateModel::insertPlaced(
    int row, const std::shared_ptr<PlateObject>& object, const QString& text)
{
    bool fits = false;
    object->placement = besideOthers(object->bounds(), object->placement, &fits);
    const QString name = QStringLiteral("“%1”").arg(QFileInfo(object->sourcePath).fileName());
    if (fits) {
        m_undoStack->push(new InsertObjectsCommand(this, row, { object }, text));
        return;
    }
    const QVector3D size = object->bounds().size();
    if (size.x() > m_volume.width || size.y() > m_volume.depth) {
        m_undoStack->push(new InsertObjectsCommand(this, row, { object }, text));
        emit errorOccurred(tr("%1 is larger than the plate (%2 × %3 mm): it cannot be printed "
                              "as it is; scale or turn it.")
                               .arg(name)
                               .arg(double(m_volume.width))
                               .arg(double(m_volume.depth)));
        return;
    }
    m_undoStack->beginMacro(text);
    m_undoStack->push(new InsertObjectsCommand(this, row, { object }, text));
    QStringList leftOut;
    const QVector<PlacementCommand::Change> changes = arrangedChanges(&leftOut);
    if (leftOut.isEmpty() && !changes.isEmpty())
        m_undoStack->push(new PlacementCommand(this, changes, tr("Arrange")));
    m_undoStack->endMacro();
    if (leftOut.isEmpty())
        emit errorOccurred(tr("The plate was arranged to make room for %1.").arg(name));
    else
        emit errorOccurred(tr("%1 does not fit on the plate beside the others: it waits "
                              "outside. Remove or scale objects to make room.")
                               .arg(name));
}

Placement PlateModel::besideOthers(const Bounds& own, const Placement& placement, bool* fits) const
{
    QVector<QRectF> others;
    for (int row = 0; row < m_objects.size(); ++row) {
        const Bounds b = standingBoundsAt(row);
        others.append(QRectF(QPointF(b.min.x(), b.min.y()), QPointF(b.max.x(), b.max.y())));
    }
    const QVector3D size = own.size();
    const QPointF centre = placeBeside(
        QSizeF(size.x(), size.y()), others, m_volume.width, m_volume.depth, kGap, fits);
    Placement result = placement;
    result.translation += QVector3D(
        float(centre.x()) - own.centre().x(), float(centre.y()) - own.centre().y(), 0.0f);
    return result;
}

void PlateModel::setPlateSize(qreal width, qreal depth, qreal height)
{
    if (!(width > 0.0) || !(depth > 0.0) || !(height > 0.0))
        return;
    m_volume.width = float(width);
    m_volume.depth = float(depth);
    m_volume.height = float(height);
    emit plateSizeChanged();
    if (!m_objects.isEmpty())
        emit dataChanged(index(0), index(m_objects.size() - 1), { OutsideRole });
    updateOutsideNames();
}

void PlateModel::pushPlacement(int row, const Placement& after, const QString& text)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    if (object->placement == after)
        return;
    m_undoStack->push(
        new PlacementCommand(this, { { object->id, object->placement, after } }, text));
}

// An object resting on the plate keeps resting on it when it is turned or scaled: turned or
// grown about its middle, it would sink into the plate or hang above it. One lifted on purpose
// stays where it is.
Placement PlateModel::keptResting(int row, const Placement& after)
{
    PlateObject& object = *m_objects.at(row);
    const float restingTolerance = 0.01f; // millimetres, float rounding of the placed bounds
    if (!object.mesh || std::abs(object.bounds().min.z()) > restingTolerance)
        return after;
    return droppedToPlate(placedBounds(*object.mesh, after), after);
}

void PlateModel::setTranslation(int row, const QVector3D& translation)
{
    if (!validRow(row) || !isFinite(translation))
        return;
    Placement after = m_objects.at(row)->placement;
    after.translation = translation;
    pushPlacement(row, after, tr("Move"));
}

void PlateModel::setRotation(int row, const QVector3D& rotation)
{
    if (!validRow(row) || !isFinite(rotation))
        return;
    Placement after = m_objects.at(row)->placement;
    after.rotation = rotation;
    pushPlacement(row, keptResting(row, after), tr("Rotate"));
}

void PlateModel::setScale(int row, const QVector3D& scale)
{
    // A zero or negative scale would flatten or mirror the object, and no slicer wants either.
    if (!validRow(row) || !isFinite(scale) || !(scale.x() > 0.0f) || !(scale.y() > 0.0f)
        || !(scale.z() > 0.0f))
        return;
    Placement after = m_objects.at(row)->placement;
    after.scale = scale;
    pushPlacement(row, keptResting(row, after), tr("Scale"));
}

void PlateModel::moveBy(int row, qreal dx, qreal dy, bool mergeWithPrevious)
{
    if (!validRow(row) || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    Placement after = object->placement;
    after.translation += QVector3D(float(dx), float(dy), 0.0f);
    if (after == object->placement)
        return;
    m_undoStack->push(new PlacementCommand(this, { { object->id, object->placement, after } },
        tr("Move"),
        mergeWithPrevious ? PlacementCommand::Drag::Continues : PlacementCommand::Drag::Starts));
}

void PlateModel::layFlat(int row, int triangle)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    if (triangle < 0 || triangle >= object->mesh->triangleCount)
        return;
    // From the corners rather than the stored normal: a triangle without area has no face to
    // lay down, and turning the object for it would be a surprise.
    const float* a = object->mesh->vertex(triangle * 3);
    const float* b = object->mesh->vertex(triangle * 3 + 1);
    const float* c = object->mesh->vertex(triangle * 3 + 2);
    const QVector3D normal
        = QVector3D::crossProduct(QVector3D(b[0], b[1], b[2]) - QVector3D(a[0], a[1], a[2]),
            QVector3D(c[0], c[1], c[2]) - QVector3D(a[0], a[1], a[2]));
    if (!(normal.lengthSquared() > 0.0f))
        return;
    Placement after = object->placement;
    after.rotation = rotationLayingFlat(after, normal);
    // Turned about its middle, then set down again where it stood.
    const QVector3D middle = object->bounds().centre();
    Placement unmoved = after;
    unmoved.translation = QVector3D();
    const Bounds turned = placedBounds(*object->mesh, unmoved);
    after.translation = QVector3D(
        middle.x() - turned.centre().x(), middle.y() - turned.centre().y(), -turned.min.z());
    pushPlacement(row, after, tr("Lay flat"));
}

void PlateModel::dropToPlate(int row)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    pushPlacement(row, droppedToPlate(object->bounds(), object->placement), tr("Drop to plate"));
}

void PlateModel::centre(int row)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    pushPlacement(row, centred(object->bounds(), object->placement), tr("Centre"));
}

void PlateModel::arrange()
{
    if (m_objects.isEmpty())
        return;
    QStringList leftOut;
    const QVector<PlacementCommand::Change> changes = arrangedChanges(&leftOut);
    if (!changes.isEmpty())
        m_undoStack->push(new PlacementCommand(this, changes, tr("Arrange")));
    if (!leftOut.isEmpty()) {
        for (QString& name : leftOut)
            name = QStringLiteral("“%1”").arg(name);
        emit errorOccurred(tr("Arrange could not fit everything: %1 left outside the plate.")
                               .arg(leftOut.join(QStringLiteral(", "))));
    }
}

// Every object resting on the plate, packed by its footprint as it stands (supports included);
// the names of those that do not fit go to leftOut.
QVector<PlacementCommand::Change> PlateModel::arrangedChanges(QStringList* leftOut)
{
    QVector<QSizeF> footprints;
    for (int row = 0; row < m_objects.size(); ++row) {
        const QVector3D size = standingBoundsAt(row).size();
        footprints.append(QSizeF(size.x(), size.y()));
    }
    QVector<int> outside;
    const QVector<QPointF> centres
        = arrangeFootprints(footprints, m_volume.width, m_volume.depth, kGap, &outside);
    for (int row : qAsConst(outside))
        leftOut->append(QFileInfo(m_objects.at(row)->sourcePath).fileName());
    QVector<PlacementCommand::Change> changes;
    for (int row = 0; row < m_objects.size(); ++row) {
        const std::shared_ptr<PlateObject>& object = m_objects.at(row);
        const Bounds standing = standingBoundsAt(row);
        Placement after = droppedToPlate(object->bounds(), object->placement);
        after.translation += QVector3D(float(centres.at(row).x()) - standing.centre().x(),
            float(centres.at(row).y()) - standing.centre().y(), 0.0f);
        if (after != object->placement)
            changes.append({ object->id, object->placement, after });
    }
    return changes;
}

void PlateModel::duplicate(int row)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& original = m_objects.at(row);
    auto copy = std::make_shared<PlateObject>(*original);
    copy->id = m_nextId++;
    insertPlaced(row + 1, copy, tr("Duplicate %1").arg(QFileInfo(original->sourcePath).fileName()));
}

void PlateModel::remove(int row)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    m_undoStack->push(new RemoveObjectCommand(
        this, object->id, tr("Delete %1").arg(QFileInfo(object->sourcePath).fileName())));
}

void PlateModel::addSupportPoint(int row, const QVector3D& platePoint)
{
    if (!validRow(row))
        return;
    bool invertible = false;
    const QMatrix4x4 toMesh = matrixAt(row).inverted(&invertible);
    if (!invertible)
        return;
    QVector<QVector3D> points = m_objects.at(row)->supportPoints;
    points.append(toMesh.map(platePoint));
    setSupportPoints(row, points, tr("Add support point"));
}

void PlateModel::removeSupportPoint(int row, int index)
{
    if (!validRow(row) || index < 0 || index >= m_objects.at(row)->supportPoints.size())
        return;
    QVector<QVector3D> points = m_objects.at(row)->supportPoints;
    points.removeAt(index);
    setSupportPoints(row, points, tr("Remove support point"));
}

void PlateModel::clearSupportPoints(int row)
{
    if (validRow(row) && !m_objects.at(row)->supportPoints.isEmpty())
        setSupportPoints(row, {}, tr("Remove supports"));
}

int PlateModel::supportPointNear(int row, const QVector3D& platePoint, qreal radiusMm) const
{
    if (!validRow(row))
        return -1;
    const QMatrix4x4 matrix = matrixAt(row);
    const QVector<QVector3D>& points = m_objects.at(row)->supportPoints;
    int nearest = -1;
    qreal nearestDistance = radiusMm;
    for (int i = 0; i < points.size(); ++i) {
        const qreal distance = qreal(matrix.map(points.at(i)).distanceToPoint(platePoint));
        if (distance <= nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}

void PlateModel::setSupportPoints(
    int row, const QVector<QVector3D>& meshPoints, const QString& text)
{
    if (!validRow(row))
        return;
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    m_undoStack->push(
        new SupportPointsCommand(this, object->id, object->supportPoints, meshPoints, text));
}

QVector<QVector3D> PlateModel::supportPointsAt(int row) const
{
    return validRow(row) ? m_objects.at(row)->supportPoints : QVector<QVector3D>();
}

void PlateModel::undo() { m_undoStack->undo(); }

void PlateModel::redo() { m_undoStack->redo(); }

QString PlateModel::sliceRefusal() const
{
    if (m_objects.isEmpty())
        return tr("The plate is empty: open a model first.");
    QStringList alone;
    QStringList onSupports;
    QStringList building;
    for (int row = 0; row < m_objects.size(); ++row) {
        const std::shared_ptr<PlateObject>& object = m_objects.at(row);
        const QString quoted = QStringLiteral("“%1”").arg(QFileInfo(object->sourcePath).fileName());
        if (::isOutside(object->bounds(), m_volume))
            alone.append(quoted);
        else if (isOutside(row))
            onSupports.append(quoted);
        if (m_supports->isBuilding(object->id))
            building.append(quoted);
    }
    QStringList sentences;
    if (alone.size() == 1)
        sentences.append(
            tr("Cannot slice: %1 reaches outside the printable volume.").arg(alone.first()));
    else if (alone.size() > 1)
        sentences.append(tr("Cannot slice: %1 reach outside the printable volume.")
                             .arg(alone.join(QStringLiteral(", "))));
    if (onSupports.size() == 1)
        sentences.append(
            tr("Cannot slice: %1 on its supports reaches outside the printable volume.")
                .arg(onSupports.first()));
    else if (onSupports.size() > 1)
        sentences.append(
            tr("Cannot slice: %1 on their supports reach outside the printable volume.")
                .arg(onSupports.join(QStringLiteral(", "))));
    if (!building.isEmpty())
        sentences.append(tr("Cannot slice yet: the supports of %1 are still being built.")
                             .arg(building.join(QStringLiteral(", "))));
    return sentences.join(QLatin1Char(' '));
}

int PlateModel::rowAt(const QVector3D& origin, const QVector3D& direction) const
{
    int best = -1;
    float bestDistance = 0.0f;
    for (int row = 0; row < m_objects.size(); ++row) {
        QMatrix4x4 drawn;
        drawn.translate(0.0f, 0.0f, float(liftAt(row)));
        drawn *= matrixAt(row);
        const float distance = rayHitDistance(*m_objects.at(row)->mesh, drawn, origin, direction);
        if (distance >= 0.0f && (best < 0 || distance < bestDistance)) {
            best = row;
            bestDistance = distance;
        }
    }
    return best;
}

std::shared_ptr<const MeshData> PlateModel::meshAt(int row) const
{
    return validRow(row) ? m_objects.at(row)->mesh : nullptr;
}

quint64 PlateModel::idAt(int row) const { return validRow(row) ? m_objects.at(row)->id : 0; }

QMatrix4x4 PlateModel::matrixAt(int row) const
{
    return validRow(row) ? placementMatrix(m_objects.at(row)->placement) : QMatrix4x4();
}

Placement PlateModel::placementAt(int row) const
{
    return validRow(row) ? m_objects.at(row)->placement : Placement();
}

Bounds PlateModel::boundsAt(int row) const
{
    return validRow(row) ? m_objects.at(row)->bounds() : Bounds();
}

bool PlateModel::isOutside(int row) const
{
    return validRow(row) && ::isOutside(standingBoundsAt(row), m_volume);
}

QUndoStack* PlateModel::undoStack() const { return m_undoStack; }

std::shared_ptr<const ObjectSupports> PlateModel::supportsAt(int row) const
{
    return validRow(row) ? m_supports->supportsOf(m_objects.at(row)->id) : nullptr;
}

QVector3D PlateModel::supportsShiftAt(int row) const
{
    const std::shared_ptr<const ObjectSupports> supports = supportsAt(row);
    return supports ? supports->shift(matrixAt(row)) : QVector3D();
}

qreal PlateModel::liftAt(int row) const
{
    const std::shared_ptr<const ObjectSupports> supports = supportsAt(row);
    return supports ? supports->lift(matrixAt(row)) : 0.0;
}

Bounds PlateModel::standingBoundsAt(int row) const
{
    if (!validRow(row))
        return Bounds();
    const Bounds own = m_objects.at(row)->bounds();
    const std::shared_ptr<const ObjectSupports> supports = supportsAt(row);
    return supports ? supports->standing(own, matrixAt(row)) : own;
}

QVector<PlateObject> PlateModel::objects() const
{
    QVector<PlateObject> objects;
    objects.reserve(m_objects.size());
    for (const std::shared_ptr<PlateObject>& object : m_objects)
        objects.append(*object);
    return objects;
}

void PlateModel::replaceAll(const QVector<PlateObject>& objects)
{
    m_undoStack->clear();
    beginResetModel();
    for (const std::shared_ptr<PlateObject>& object : qAsConst(m_objects))
        m_supports->forget(object->id);
    m_objects.clear();
    for (const PlateObject& object : objects) {
        auto placed = std::make_shared<PlateObject>(object);
        placed->id = m_nextId++;
        placed->unmovedBoundsKnown = false;
        m_objects.append(placed);
    }
    m_selectedId = 0;
    endResetModel();
    for (int row = 0; row < m_objects.size(); ++row)
        requestSupports(row);
    m_undoStack->setClean();
    emit countChanged();
    emit selectedRowChanged();
    updateOutsideNames();
}

void PlateModel::insertObject(int row, const std::shared_ptr<PlateObject>& object)
{
    row = std::clamp(row, 0, m_objects.size());
    const int selectedBefore = selectedRow();
    beginInsertRows(QModelIndex(), row, row);
    m_objects.insert(row, object);
    endInsertRows();
    emit countChanged();
    if (selectedBefore >= row)
        emit selectedRowChanged();
    requestSupports(row);
    updateOutsideNames();
}

std::shared_ptr<PlateObject> PlateModel::takeObject(int row)
{
    if (!validRow(row))
        return nullptr;
    const int selectedBefore = selectedRow();
    beginRemoveRows(QModelIndex(), row, row);
    std::shared_ptr<PlateObject> object = m_objects.takeAt(row);
    endRemoveRows();
    m_supports->forget(object->id);
    emit countChanged();
    if (object->id == m_selectedId)
        m_selectedId = 0;
    if (selectedBefore >= row)
        emit selectedRowChanged();
    updateOutsideNames();
    return object;
}

void PlateModel::applyPlacement(quint64 id, const Placement& placement)
{
    const int row = rowOfId(id);
    if (!validRow(row))
        return;
    m_objects.at(row)->placement = placement;
    requestSupports(row);
    emitRowChanged(row);
    updateOutsideNames();
}

void PlateModel::applySupportPoints(quint64 id, const QVector<QVector3D>& meshPoints)
{
    const int row = rowOfId(id);
    if (!validRow(row))
        return;
    m_objects.at(row)->supportPoints = meshPoints;
    requestSupports(row);
    emitRowChanged(row);
    updateOutsideNames();
}

int PlateModel::rowOfId(quint64 id) const
{
    for (int row = 0; row < m_objects.size(); ++row) {
        if (m_objects.at(row)->id == id)
            return row;
    }
    return -1;
}

void PlateModel::emitRowChanged(int row)
{
    if (validRow(row))
        emit dataChanged(index(row), index(row));
}

void PlateModel::requestSupports(int row)
{
    const std::shared_ptr<PlateObject>& object = m_objects.at(row);
    m_supports->request(object->id, object->mesh, placementMatrix(object->placement),
        object->supportPoints,
        m_supportOptions->automatic() ? &m_supportOptions->settings() : nullptr, m_optionsRevision);
}

void PlateModel::supportsBuilt(quint64 id)
{
    emitRowChanged(rowOfId(id));
    updateOutsideNames();
}

void PlateModel::updateOutsideNames()
{
    QStringList names;
    for (int row = 0; row < m_objects.size(); ++row) {
        if (isOutside(row))
            names.append(QFileInfo(m_objects.at(row)->sourcePath).fileName());
    }
    if (names == m_outsideNames)
        return;
    m_outsideNames = names;
    emit outsideNamesChanged();
}

bool PlateModel::validRow(int row) const { return row >= 0 && row < m_objects.size(); }
