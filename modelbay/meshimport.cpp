// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshimport.h"

#include "obj.h"
#include "stl.h"
#include "threemf.h"

#include <QFile>
#include <QFileInfo>

#include <new>
#include <string>

namespace {

MeshImport readMeshFile(const QString& path)
{
    MeshImport result;
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile()) {
        result.error = cannotOpenSentence(path,
            info.exists() ? QStringLiteral("it is not a regular file.")
                          : QStringLiteral("there is no such file."));
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = cannotOpenSentence(path, file.errorString());
        return result;
    }
    // Mapped rather than read: a large STL is decoded straight from the page cache.
    const qint64 size = file.size();
    QByteArray copy;
    const uchar* bytes = size > 0 ? file.map(0, size) : nullptr;
    if (!bytes && size > 0) {
        copy = file.readAll();
        if (copy.size() != size) {
            result.error = cannotOpenSentence(path, file.errorString());
            return result;
        }
        bytes = reinterpret_cast<const uchar*>(copy.constData());
    }
    static const uchar nothing = 0;
    if (!bytes)
        bytes = &nothing;

    const QString suffix = info.suffix().toLower();
    const MeshReader read = suffix == QLatin1String("obj") ? parseObj
        : suffix == QLatin1String("3mf")                   ? parse3mf
                                                           : parseStl;
    Mesh mesh;
    std::string error;
    if (!read(bytes, std::size_t(size), mesh, error)) {
        result.error = cannotOpenSentence(path, QString::fromStdString(error));
        return result;
    }
    if (mesh.triangleCount() > std::size_t(kMostEditorTriangles)) {
        result.error = cannotOpenSentence(path,
            QStringLiteral("its %1 triangles are more than the %2 the editor holds in one object.")
                .arg(mesh.triangleCount())
                .arg(kMostEditorTriangles));
        return result;
    }
    result.mesh = meshDataFromSoup(mesh);
    return result;
}

} // namespace

QString cannotOpenSentence(const QString& path, const QString& reason)
{
    QString clause = reason;
    // "The file ..." reads "the file ..." after the colon; "STL ..." stays as it is.
    if (clause.size() > 1 && clause.at(0).isUpper() && clause.at(1).isLower())
        clause[0] = clause.at(0).toLower();
    if (!clause.endsWith(QLatin1Char('.')))
        clause += QLatin1Char('.');
    return QStringLiteral("Cannot open “%1”: %2").arg(QFileInfo(path).fileName(), clause);
}

MeshImport guardedImport(const QString& path, const std::function<MeshImport()>& read)
{
    // An exception leaving a worker thread would end the window, and every plate in it.
    try {
        return read();
    } catch (const std::bad_alloc&) {
        MeshImport result;
        result.error = cannotOpenSentence(
            path, QStringLiteral("the file is too large to open with the memory available."));
        return result;
    }
}

MeshImport importMeshFile(const QString& path)
{
    return guardedImport(path, [&path] { return readMeshFile(path); });
}
