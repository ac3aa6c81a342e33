// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLATEMODEL_H
#define MODELBAY_PLATEMODEL_H

#include "platecommands.h"
#include "placement.h"

#include <QAbstractListModel>
#include <QStringList>
#include <QVariant>
#include <QVector3D>
#include <QVector>

#include <memory>

// The local paths of files QML hands over: a JavaScript array, a list of URLs, one URL or path.
QStringList localFilePaths(const QVariant& files);

class PlateSupports;
class QUndoStack;
class SupportOptions;
struct MeshData;
struct ObjectSupports;
struct PlateObject;

// The one truth of the plate: the placed objects, their meshes and placements, and the undo
// stack whose commands are the only way to change them. QML shows it and sends commands; the
// view (PlateScene) builds its entities from it.
//
// With supports on (supportOptions.automatic), each object with support points stands lifted
// on supports built on a worker thread; `supportsBusy` is true while any are being built, and
// a row's dataChanged follows once its supports are ready. The plate model alone judges whether
// the plate can be sliced, supports included (sliceRefusal()).
//
// Opening files is asynchronous: openFiles() returns at once (always an empty list), `busy`
// turns true, the files are read on a worker thread, and filesOpened(errors) follows on the GUI
// thread once every file of that call is placed (one undo step per file) or refused (one
// sentence per file in errors). Calls made while busy are queued and handled in order.
class PlateModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(qreal plateWidth READ plateWidth NOTIFY plateSizeChanged)
    Q_PROPERTY(qreal plateDepth READ plateDepth NOTIFY plateSizeChanged)
    Q_PROPERTY(qreal plateHeight READ plateHeight NOTIFY plateSizeChanged)
    Q_PROPERTY(int selectedRow READ selectedRow WRITE setSelectedRow NOTIFY selectedRowChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY undoStateChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY undoStateChanged)
    Q_PROPERTY(QString undoText READ undoText NOTIFY undoStateChanged)
    Q_PROPERTY(QString redoText READ redoText NOTIFY undoStateChanged)
    Q_PROPERTY(QStringList outsideNames READ outsideNames NOTIFY outsideNamesChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(SupportOptions* supportOptions READ supportOptions CONSTANT)
    Q_PROPERTY(bool supportsBusy READ supportsBusy NOTIFY supportsBusyChanged)

public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        SourcePathRole,
        TranslationRole,
        RotationRole,
        ScaleRole,
        SizeRole,
        BoundsMinRole,
        BoundsMaxRole,
        OutsideRole,
        TriangleCountRole,
        SelectedRole,
        SupportPointsRole, // on the plate, a list of vector3d
    };
    Q_ENUM(Role)

    explicit PlateModel(QObject* parent = nullptr);
    ~PlateModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const;
    qreal plateWidth() const;
    qreal plateDepth() const;
    qreal plateHeight() const;
    int selectedRow() const;
    void setSelectedRow(int row);
    bool canUndo() const;
    bool canRedo() const;
    QString undoText() const;
    QString redoText() const;
    QStringList outsideNames() const;
    bool busy() const;
    SupportOptions* supportOptions() const;
    bool supportsBusy() const;

    Q_INVOKABLE QStringList openFiles(const QVariant& files);
    Q_INVOKABLE void setPlateSize(qreal width, qreal depth, qreal height);
    Q_INVOKABLE void setTranslation(int row, const QVector3D& translation);
    Q_INVOKABLE void setRotation(int row, const QVector3D& rotation);
    Q_INVOKABLE void setScale(int row, const QVector3D& scale);
    Q_INVOKABLE void moveBy(int row, qreal dx, qreal dy, bool mergeWithPrevious);
    Q_INVOKABLE void layFlat(int row, int triangle);
    Q_INVOKABLE void dropToPlate(int row);
    Q_INVOKABLE void centre(int row);
    Q_INVOKABLE void arrange();
    Q_INVOKABLE void duplicate(int row);
    Q_INVOKABLE void remove(int row);
    Q_INVOKABLE void undo();
    Q_INVOKABLE void redo();
    // Why the plate cannot be sliced as it stands (empty, objects outside the printable volume
    // on their own or on their supports, supports still being built), or empty.
    Q_INVOKABLE QString sliceRefusal() const;
    // The row whose triangles the ray (on the plate, as drawn, supports' lift included) meets
    // first, or -1: what a click there means.
    Q_INVOKABLE int rowAt(const QVector3D& origin, const QVector3D& direction) const;
    // Support points, each change one undo step. A point is given on the plate, where the user
    // clicked the object; it is kept on the object's own surface.
    Q_INVOKABLE void addSupportPoint(int row, const QVector3D& platePoint);
    Q_INVOKABLE void removeSupportPoint(int row, int index);
    Q_INVOKABLE void clearSupportPoints(int row);
    // The index of the row's support point nearest to a point on the plate, if one lies within
    // radiusMm of it, or -1: a click there means that point.
    Q_INVOKABLE int supportPointNear(int row, const QVector3D& platePoint, qreal radiusMm) const;
    // The automatic points of a support run (mesh coordinates), as one undo step.
    void setSupportPoints(int row, const QVector<QVector3D>& meshPoints, const QString& text);
    QVector<QVector3D> supportPointsAt(int row) const; // mesh coordinates

    // For the view and for tests: what a row holds. The matrix maps mesh coordinates to the plate.
    std::shared_ptr<const MeshData> meshAt(int row) const;
    quint64 idAt(int row) const; // 0 for no object
    QMatrix4x4 matrixAt(int row) const;
    Placement placementAt(int row) const;
    Bounds boundsAt(int row) const;
    bool isOutside(int row) const; // on its supports, where it has them
    QUndoStack* undoStack() const;
    // The row's supports as last built (null without), where they stand now across the plate
    // (their shift since built), and how far the object stands lifted on them, in mm.
    std::shared_ptr<const ObjectSupports> supportsAt(int row) const;
    QVector3D supportsShiftAt(int row) const;
    Q_INVOKABLE qreal liftAt(int row) const;
    // The object as drawn: lifted on its supports, together with them.
    Bounds standingBoundsAt(int row) const;

    // The objects as they stand, for saving (meshes shared, not copied).
    QVector<PlateObject> objects() const;
    // Puts these objects on the plate in place of everything there, as a fresh undo history
    // that starts clean: an opened project.
    void replaceAll(const QVector<PlateObject>& objects);

    // The undo commands' hands on the plate; nothing else calls these.
    void insertObject(int row, const std::shared_ptr<PlateObject>& object);
    std::shared_ptr<PlateObject> takeObject(int row);
    void applyPlacement(quint64 id, const Placement& placement);
    void applySupportPoints(quint64 id, const QVector<QVector3D>& meshPoints);
    int rowOfId(quint64 id) const;

signals:
    void countChanged();
    void plateSizeChanged();
    void selectedRowChanged();
    void undoStateChanged();
    void outsideNamesChanged();
    void busyChanged();
    void supportsBusyChanged();
    void filesOpened(const QStringList& errors);
    void errorOccurred(const QString& sentence);

private:
    struct PendingOpen;

    void startNextRead();
    void placeOpened(const QString& path, const std::shared_ptr<const MeshData>& mesh);
    Placement besideOthers(const Bounds& own, const Placement& placement, bool* fits) const;
    void insertPlaced(int row, const std::shared_ptr<PlateObject>& object, const QString& text);
    QVector<PlacementCommand::Change> arrangedChanges(QStringList* leftOut);
    void pushPlacement(int row, const Placement& after, const QString& text);
    Placement keptResting(int row, const Placement& after);
    void emitRowChanged(int row);
    void requestSupports(int row);
    void supportsBuilt(quint64 id);
    void updateOutsideNames();
    bool validRow(int row) const;

    QVector<std::shared_ptr<PlateObject>> m_objects;
    QUndoStack* m_undoStack;
    SupportOptions* m_supportOptions;
    PlateSupports* m_supports;
    quint64 m_optionsRevision = 1; // counts changes of the support options
    PlateVolume m_volume;
    quint64 m_nextId = 1;
    quint64 m_selectedId = 0; // 0: nothing selected
    QStringList m_outsideNames;
    QVector<QStringList> m_pendingReads; // calls of openFiles not yet read, oldest first
    bool m_busy = false;
};

#endif
