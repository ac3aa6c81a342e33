// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PROJECTFILE_H
#define MODELBAY_PROJECTFILE_H

#include "plateobject.h"
#include "supportplan.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

// A saved plate. On disk it is a 3MF package: each object's mesh (its own centred coordinates)
// as a standard 3MF object and its placement as a build item's transform, so that any 3MF reader
// opens the models where they stood; and a part of our own, "Corvane/project.json", named by a
// relationship of the package, with what only this program uses: each object's placement as
// the user set it, its support points and source file, the support options, the printer and
// profile, and the job settings. A 3MF without that part is a model, not a project.
struct Project {
    QVector<PlateObject> objects; // id and the cached bounds are not kept
    bool supportsAutomatic = false;
    SupportSettings supportSettings;
    QString printerKey; // "ip:port" as the agent lists it; empty for none chosen
    QString printerName;
    QString profileId;
    QJsonObject job; // the job's own settings, kept as they were given
};

namespace ProjectFile {

// The package's bytes; empty and a sentence when the plate is too large for a zip archive.
QByteArray write(const Project& project, QString& error);
// The project in `bytes`, or false and a sentence (naming the file `name`) with `project` as it
// was.
bool read(const QByteArray& bytes, const QString& name, Project& project, QString& error);
// Whether the package carries our part: a project rather than a model.
bool isProject(const QByteArray& bytes);
bool isProjectFile(const QString& path);

// Writes under a fresh name beside `path`, then renames it over `path`: an old project stays
// whole until the new one is. Empty on success, else a sentence.
QString save(const Project& project, const QString& path);
bool load(const QString& path, Project& project, QString& error);

}

#endif
