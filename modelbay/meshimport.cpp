// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshimport.h"

#include "obj.h"
#include "stl.h"
#include "threemf.h"

#include <QFile>
#include <QFileInfo>

#include <limits>
#include <string>

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

MeshImport importMeshFile(const QString& path)
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

    Mesh mesh;
    std::string error;
    QString qtError;
    bool ok = false;
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("obj")) {
        ok = parseObj(bytes, std::size_t(size), mesh, error);
    } else if (suffix == QLatin1String("3mf")) {
        if (size > std::numeric_limits<int>::max()) {
            result.error = cannotOpenSentence(path, QStringLiteral("the 3MF file is too large."));
            return result;
        }
        ok = parse3mf(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), int(size)),
            mesh, qtError);
    } else {
        ok = parseStl(bytes, std::size_t(size), mesh, error);
        if (ok && mesh.triangleCount() > kMaxMeshTriangles) {
            ok = false;
            error = "The STL file holds more than " + std::to_string(kMaxMeshTriangles)
                + " triangles.";
        }
    }
    if (!ok) {
        result.error
            = cannotOpenSentence(path, qtError.isEmpty() ? QString::fromStdString(error) : qtError);
        return result;
    }
    result.mesh = meshDataFromSoup(mesh);
    return result;
}
