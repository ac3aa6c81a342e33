// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "threemf.h"

#include "obj.h"

#include <QHash>
#include <QVector>
#include <QXmlStreamReader>
#include <QtEndian>

#include <zlib.h>

#include <array>
#include <cmath>
#include <memory>

namespace {

constexpr int kMaxComponentDepth = 16;
// A model part is text; more than 1 GiB of it would not fit the editor's buffers anyway.
constexpr quint64 kMaxPartSize = quint64(1) << 30;
constexpr quint64 kMaxVisits = 100'000; // objects placed, counting every component

quint16 u16(const QByteArray& bytes, qint64 at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32(const QByteArray& bytes, qint64 at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

struct ZipEntry {
    QString name;
    quint16 method = 0;
    quint32 crc = 0;
    quint32 compressedSize = 0;
    quint32 size = 0;
    quint32 localHeader = 0;
};

bool centralDirectory(const QByteArray& zip, QVector<ZipEntry>& entries, QString& error)
{
    const QString damaged = QStringLiteral("The 3MF file is not a complete zip archive.");
    // The end record is 22 bytes plus a comment of up to 65535.
    const qint64 size = zip.size();
    qint64 end = -1;
    for (qint64 at = size - 22; at >= 0 && at >= size - 22 - 65535; --at) {
        if (u32(zip, at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end < 0) {
        error = damaged;
        return false;
    }
    const quint16 count = u16(zip, end + 10);
    const quint32 directorySize = u32(zip, end + 12);
    const quint32 directoryOffset = u32(zip, end + 16);
    if (quint64(directoryOffset) + directorySize > quint64(end)) {
        error = damaged;
        return false;
    }
    qint64 at = directoryOffset;
    for (int i = 0; i < count; ++i) {
        if (at + 46 > end || u32(zip, at) != 0x02014b50) {
            error = damaged;
            return false;
        }
        ZipEntry entry;
        entry.method = u16(zip, at + 10);
        entry.crc = u32(zip, at + 16);
        entry.compressedSize = u32(zip, at + 20);
        entry.size = u32(zip, at + 24);
        const quint16 nameLength = u16(zip, at + 28);
        const quint16 extraLength = u16(zip, at + 30);
        const quint16 commentLength = u16(zip, at + 32);
        entry.localHeader = u32(zip, at + 42);
        if (at + 46 + nameLength > end) {
            error = damaged;
            return false;
        }
        entry.name = QString::fromUtf8(zip.constData() + at + 46, nameLength);
        entries.append(entry);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

bool extract(const QByteArray& zip, const ZipEntry& entry, QByteArray& out, QString& error)
{
    const QString damaged = QStringLiteral("The 3MF file's model part is damaged or truncated.");
    const qint64 header = entry.localHeader;
    if (header + 30 > zip.size() || u32(zip, header) != 0x04034b50) {
        error = damaged;
        return false;
    }
    const qint64 dataAt = header + 30 + u16(zip, header + 26) + u16(zip, header + 28);
    if (dataAt + qint64(entry.compressedSize) > zip.size() || entry.size > kMaxPartSize) {
        error = damaged;
        return false;
    }
    const char* data = zip.constData() + dataAt;
    if (entry.method == 0) {
        if (entry.compressedSize != entry.size) {
            error = damaged;
            return false;
        }
        out = QByteArray(data, int(entry.size));
    } else if (entry.method == 8) {
        // Grown as the stream inflates rather than trusting the declared size up front.
        z_stream stream {};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            error = damaged;
            return false;
        }
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream.avail_in = entry.compressedSize;
        out.clear();
        int status = Z_OK;
        while (status == Z_OK) {
            const int had = out.size();
            const int step = 1 << 20;
            if (quint64(had) > entry.size)
                break; // more output than declared
            out.resize(had + step);
            stream.next_out = reinterpret_cast<Bytef*>(out.data() + had);
            stream.avail_out = uInt(step);
            status = inflate(&stream, Z_NO_FLUSH);
            out.resize(had + step - int(stream.avail_out));
            if (status == Z_BUF_ERROR && stream.avail_in == 0)
                break; // input ended before the stream did
        }
        inflateEnd(&stream);
        if (status != Z_STREAM_END || quint32(out.size()) != entry.size) {
            error = damaged;
            return false;
        }
    } else {
        error = QStringLiteral("The 3MF file's model part is compressed in a way this program does "
                               "not read.");
        return false;
    }
    // The central directory's CRC: the local header may leave it to a data descriptor.
    if (crc32(0, reinterpret_cast<const Bytef*>(out.constData()), uInt(out.size())) != entry.crc) {
        error = damaged;
        return false;
    }
    return true;
}

// Row-vector affine transform as 3MF writes it: x' = x m00 + y m10 + z m20 + m30, ...
using Transform = std::array<double, 12>;

const Transform kIdentity { 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0 };

bool parseTransform(const QStringRef& text, Transform& transform)
{
    if (text.isEmpty()) {
        transform = kIdentity;
        return true;
    }
    const QVector<QStringRef> parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 12)
        return false;
    for (int i = 0; i < 12; ++i) {
        bool ok = false;
        transform[std::size_t(i)] = parts.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(transform[std::size_t(i)]))
            return false;
    }
    return true;
}

// Applies b after a.
Transform combine(const Transform& a, const Transform& b)
{
    Transform r {};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            double sum = row == 3 ? b[std::size_t(9 + column)] : 0.0;
            for (int k = 0; k < 3; ++k)
                sum += a[std::size_t(row * 3 + k)] * b[std::size_t(k * 3 + column)];
            r[std::size_t(row * 3 + column)] = sum;
        }
    }
    return r;
}

// A reference to an object: its id, and the model part that defines it (empty: the part holding
// the reference). Parts other than the root come from the production extension's "path".
struct Reference {
    QString part;
    QString objectId;
    Transform transform;
};

struct Object {
    QVector<float> positions; // x, y, z per vertex, in millimetres
    QVector<quint32> triangles; // three vertex numbers per triangle
    QVector<Reference> components;
};

struct ModelPart {
    double unit = 1.0;
    QHash<QString, Object> objects;
    QVector<Reference> items; // the build, read from the root part only
};

double unitInMillimetres(const QStringRef& unit, bool& known)
{
    known = true;
    if (unit.isEmpty() || unit == QLatin1String("millimeter"))
        return 1.0;
    if (unit == QLatin1String("micron"))
        return 0.001;
    if (unit == QLatin1String("centimeter"))
        return 10.0;
    if (unit == QLatin1String("inch"))
        return 25.4;
    if (unit == QLatin1String("foot"))
        return 304.8;
    if (unit == QLatin1String("meter"))
        return 1000.0;
    known = false;
    return 1.0;
}

// Zip entry names carry no leading slash; references in the model do, in any letter case.
QString partKey(const QString& name)
{
    QString key = name.toLower();
    while (key.startsWith(QLatin1Char('/')))
        key.remove(0, 1);
    return key;
}

bool readReference(const QXmlStreamAttributes& attributes, Reference& reference)
{
    reference.objectId = attributes.value(QLatin1String("objectid")).toString();
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == QLatin1String("path") && !attribute.prefix().isEmpty())
            reference.part = partKey(attribute.value().toString());
    }
    return parseTransform(attributes.value(QLatin1String("transform")), reference.transform);
}

bool readObject(QXmlStreamReader& xml, ModelPart& part, QString& error)
{
    const QString id = xml.attributes().value(QLatin1String("id")).toString();
    Object object;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("object"))
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("vertex")) {
            for (const char* axis : { "x", "y", "z" }) {
                bool ok = false;
                const double value = attributes.value(QLatin1String(axis)).toDouble(&ok);
                const float scaled = float(value * part.unit);
                if (!ok || !std::isfinite(scaled)) {
                    error = QStringLiteral("The 3MF model has a vertex coordinate that is not a "
                                           "finite number (line %1).")
                                .arg(xml.lineNumber());
                    return false;
                }
                object.positions.append(scaled);
            }
        } else if (xml.name() == QLatin1String("triangle")) {
            for (const char* corner : { "v1", "v2", "v3" }) {
                bool ok = false;
                const uint index = attributes.value(QLatin1String(corner)).toUInt(&ok);
                if (!ok) {
                    error = QStringLiteral("The 3MF model has a triangle without its three "
                                           "vertex numbers (line %1).")
                                .arg(xml.lineNumber());
                    return false;
                }
                object.triangles.append(index);
            }
        } else if (xml.name() == QLatin1String("component")) {
            Reference component;
            if (!readReference(attributes, component)) {
                error = QStringLiteral("The 3MF model has a component with a broken transform.");
                return false;
            }
            object.components.append(component);
        }
    }
    const quint32 vertexCount = quint32(object.positions.size() / 3);
    for (quint32 index : qAsConst(object.triangles)) {
        if (index >= vertexCount) {
            error = QStringLiteral("The 3MF model has a triangle naming vertex %1, which its "
                                   "object does not define.")
                        .arg(index);
            return false;
        }
    }
    part.objects.insert(id, object);
    return true;
}

bool readPart(const QByteArray& bytes, ModelPart& part, QString& error)
{
    QXmlStreamReader xml(bytes);
    bool sawModel = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("model")) {
            sawModel = true;
            bool known = false;
            part.unit = unitInMillimetres(xml.attributes().value(QLatin1String("unit")), known);
            if (!known) {
                error = QStringLiteral("The 3MF model uses a unit this program does not know.");
                return false;
            }
        } else if (name == QLatin1String("object")) {
            if (!readObject(xml, part, error))
                return false;
        } else if (name == QLatin1String("item")) {
            Reference item;
            if (!readReference(xml.attributes(), item)) {
                error = QStringLiteral("The 3MF model has a build item with a broken transform.");
                return false;
            }
            part.items.append(item);
        }
    }
    if (xml.hasError() || !sawModel) {
        error = QStringLiteral("The 3MF model part is not a complete 3MF model (line %1).")
                    .arg(xml.lineNumber());
        return false;
    }
    return true;
}

// The archive's model parts, each read once when first referenced, and the unfolding of the
// build into one triangle soup.
class Package {
public:
    Package(const QByteArray& archive, const QVector<ZipEntry>& entries)
        : m_archive(archive)
    {
        for (const ZipEntry& entry : entries)
            m_entries.insert(partKey(entry.name), entry);
    }

    const ModelPart* part(const QString& key, QString& error)
    {
        const auto loaded = m_parts.constFind(key);
        if (loaded != m_parts.constEnd())
            return loaded.value().get();
        const auto entry = m_entries.constFind(key);
        if (entry == m_entries.constEnd()) {
            error = QStringLiteral("The 3MF file has no model part “%1”.").arg(key.left(80));
            return nullptr;
        }
        // All parts together, not each one, stay within what the editor could hold.
        m_extracted += entry.value().size;
        if (m_extracted > kMaxPartSize) {
            error = QStringLiteral("The 3MF file's model parts are too large.");
            return nullptr;
        }
        QByteArray xml;
        auto part = std::make_shared<ModelPart>();
        if (!extract(m_archive, entry.value(), xml, error) || !readPart(xml, *part, error))
            return nullptr;
        m_parts.insert(key, part);
        return part.get();
    }

    bool emitObject(const QString& partName, const QString& id, const Transform& transform,
        int depth, double unit, Mesh& mesh, QString& error);

private:
    const QByteArray& m_archive;
    QHash<QString, ZipEntry> m_entries;
    QHash<QString, std::shared_ptr<ModelPart>> m_parts;
    quint64 m_extracted = 0;
    quint64 m_visits = 0;
};

bool Package::emitObject(const QString& partName, const QString& id, const Transform& transform,
    int depth, double unit, Mesh& mesh, QString& error)
{
    // Components may name one object many times over, level after level: a few dozen bytes could
    // ask for billions of visits of objects without a triangle.
    if (depth > kMaxComponentDepth) {
        error = QStringLiteral("The 3MF model nests its components too deeply.");
        return false;
    }
    if (++m_visits > kMaxVisits) {
        error = QStringLiteral("The 3MF model places its objects too many times.");
        return false;
    }
    const ModelPart* part = this->part(partName, error);
    if (!part)
        return false;
    const auto found = part->objects.constFind(id);
    if (found == part->objects.constEnd()) {
        error = QStringLiteral("The 3MF model places object “%1”, which it does not define.")
                    .arg(id.left(40));
        return false;
    }
    const Object& object = found.value();
    const std::size_t triangles = std::size_t(object.triangles.size() / 3);
    if (mesh.triangleCount() + triangles > kMaxMeshTriangles) {
        error = QStringLiteral("The 3MF file holds more than %1 triangles.").arg(kMaxMeshTriangles);
        return false;
    }
    // Vertices are in millimetres already; the transforms' translations are in the build's unit.
    for (quint32 index : object.triangles) {
        const float* p = object.positions.constData() + std::size_t(index) * 3;
        for (int column = 0; column < 3; ++column) {
            const double value = p[0] * transform[std::size_t(column)]
                + p[1] * transform[std::size_t(3 + column)]
                + p[2] * transform[std::size_t(6 + column)]
                + transform[std::size_t(9 + column)] * unit;
            const float placed = float(value);
            if (!std::isfinite(placed)) {
                error = QStringLiteral("The 3MF model places a vertex beyond any finite "
                                       "coordinate.");
                return false;
            }
            mesh.xyz.push_back(placed);
        }
    }
    for (const Reference& component : object.components) {
        const QString inPart = component.part.isEmpty() ? partName : component.part;
        if (!emitObject(inPart, component.objectId, combine(component.transform, transform),
                depth + 1, unit, mesh, error))
            return false;
    }
    return true;
}

} // namespace

bool parse3mf(const QByteArray& archive, Mesh& mesh, QString& error)
{
    mesh.xyz.clear();
    QVector<ZipEntry> entries;
    if (!centralDirectory(archive, entries, error))
        return false;
    QString root;
    for (const ZipEntry& entry : qAsConst(entries)) {
        if (partKey(entry.name) == QLatin1String("3d/3dmodel.model")) {
            root = partKey(entry.name);
            break;
        }
        if (root.isEmpty() && entry.name.endsWith(QLatin1String(".model"), Qt::CaseInsensitive))
            root = partKey(entry.name);
    }
    if (root.isEmpty()) {
        error = QStringLiteral("The 3MF file has no 3D model part.");
        return false;
    }
    Package package(archive, entries);
    const ModelPart* model = package.part(root, error);
    if (!model)
        return false;
    for (const Reference& item : model->items) {
        const QString part = item.part.isEmpty() ? root : item.part;
        if (!package.emitObject(part, item.objectId, item.transform, 0, model->unit, mesh, error)) {
            mesh.xyz.clear();
            return false;
        }
    }
    if (mesh.xyz.empty()) {
        error = QStringLiteral("The 3MF file holds no triangles.");
        return false;
    }
    return true;
}
