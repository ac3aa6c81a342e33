// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platecommands.h"

#include "platemodel.h"
#include "plateobject.h"

InsertObjectsCommand::InsertObjectsCommand(PlateModel* model, int row,
    const QVector<std::shared_ptr<PlateObject>>& objects, const QString& text)
    : QUndoCommand(text)
    , m_model(model)
    , m_row(row)
    , m_objects(objects)
{
}

void InsertObjectsCommand::redo()
{
    for (int i = 0; i < m_objects.size(); ++i)
        m_model->insertObject(m_row + i, m_objects.at(i));
}

void InsertObjectsCommand::undo()
{
    for (int i = m_objects.size() - 1; i >= 0; --i)
        m_model->takeObject(m_model->rowOfId(m_objects.at(i)->id));
}

RemoveObjectCommand::RemoveObjectCommand(PlateModel* model, quint64 id, const QString& text)
    : QUndoCommand(text)
    , m_model(model)
    , m_id(id)
{
}

void RemoveObjectCommand::redo()
{
    m_row = m_model->rowOfId(m_id);
    m_object = m_model->takeObject(m_row);
}

void RemoveObjectCommand::undo()
{
    if (!m_object)
        return; // the object was gone already when this step was done; nothing to put back
    m_model->insertObject(m_row, m_object);
    m_object.reset();
}

PlacementCommand::PlacementCommand(
    PlateModel* model, const QVector<Change>& changes, const QString& text, Drag drag)
    : QUndoCommand(text)
    , m_model(model)
    , m_changes(changes)
    , m_drag(drag)
{
}

void PlacementCommand::redo()
{
    for (const Change& change : qAsConst(m_changes))
        m_model->applyPlacement(change.id, change.after);
}

void PlacementCommand::undo()
{
    for (int i = m_changes.size() - 1; i >= 0; --i)
        m_model->applyPlacement(m_changes.at(i).id, m_changes.at(i).before);
}

int PlacementCommand::id() const { return m_drag == Drag::None ? -1 : 1; }

bool PlacementCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const PlacementCommand*>(other);
    if (next->m_drag != Drag::Continues || m_changes.size() != 1 || next->m_changes.size() != 1
        || next->m_changes.first().id != m_changes.first().id)
        return false;
    m_changes.first().after = next->m_changes.first().after;
    return true;
}

SupportPointsCommand::SupportPointsCommand(PlateModel* model, quint64 id,
    const QVector<QVector3D>& before, const QVector<QVector3D>& after, const QString& text)
    : QUndoCommand(text)
    , m_model(model)
    , m_id(id)
    , m_before(before)
    , m_after(after)
{
}

void SupportPointsCommand::redo() { m_model->applySupportPoints(m_id, m_after); }

void SupportPointsCommand::undo() { m_model->applySupportPoints(m_id, m_before); }
