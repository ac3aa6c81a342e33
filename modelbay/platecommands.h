// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PLATECOMMANDS_H
#define MODELBAY_PLATECOMMANDS_H

#include "placement.h"

#include <QUndoCommand>
#include <QVector3D>
#include <QVector>

#include <memory>

class PlateModel;
struct PlateObject;

// The only ways the plate changes. Each command finds its objects by id, not by row, so that
// undoing an older step after rows moved still touches the right object. Further kinds of change
// (support points, say) are further commands of this shape, going through the same stack.

// Puts objects onto the plate at a row (an opened file, a duplicate); undo takes them off again
// and keeps them, meshes included, for redo.
class InsertObjectsCommand : public QUndoCommand {
public:
    InsertObjectsCommand(PlateModel* model, int row,
        const QVector<std::shared_ptr<PlateObject>>& objects, const QString& text);
    void redo() override;
    void undo() override;

private:
    PlateModel* m_model;
    int m_row;
    QVector<std::shared_ptr<PlateObject>> m_objects;
};

// Takes one object off the plate; undo puts it back at its row.
class RemoveObjectCommand : public QUndoCommand {
public:
    RemoveObjectCommand(PlateModel* model, quint64 id, const QString& text);
    void redo() override;
    void undo() override;

private:
    PlateModel* m_model;
    quint64 m_id;
    int m_row = -1;
    std::shared_ptr<PlateObject> m_object;
};

// New placements for one or more objects (move, turn, scale, lay flat, drop, centre, arrange).
class PlacementCommand : public QUndoCommand {
public:
    struct Change {
        quint64 id;
        Placement before;
        Placement after;
    };
    // The steps of one drag undo together: a drag step that continues a drag merges into the
    // drag step before it when both move the same single object.
    enum class Drag { None, Starts, Continues };
    PlacementCommand(PlateModel* model, const QVector<Change>& changes, const QString& text,
        Drag drag = Drag::None);
    void redo() override;
    void undo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    PlateModel* m_model;
    QVector<Change> m_changes;
    Drag m_drag;
};

// New support points for one object (a point added or removed, the automatic ones, none); undo
// puts the earlier ones back.
class SupportPointsCommand : public QUndoCommand {
public:
    SupportPointsCommand(PlateModel* model, quint64 id, const QVector<QVector3D>& before,
        const QVector<QVector3D>& after, const QString& text);
    void redo() override;
    void undo() override;

private:
    PlateModel* m_model;
    quint64 m_id;
    QVector<QVector3D> m_before;
    QVector<QVector3D> m_after;
};

#endif
