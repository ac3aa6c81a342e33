// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "projectfile.h"

#include "mesh.h"
#include "meshimport.h"
#include "safereplace.h"
#include "xmlscanner.h"
#include "zippart.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <zlib.h>

#include <charconv>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

const char* const kModelPart = "3D/3dmodel.model";
const char* const kProjectPart = "Corvane/project.json";
const char* const kProjectRelationship = "http://schemas.corvane.org/2026/project";
constexpr int kFormat = 1;
// Our own part holds points and settings, never meshes: far below this.
constexpr quint32 kMostProjectPartBytes = 64u << 20;

// ---- writing ----

struct ZipItem {
    QByteArray name;
    QByteArray compressed;
    quint32 crc = 0;
    quint32 size = 0;
};

void put16(QByteArray& out, quint32 value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

bool deflated(const QByteArray& text, QByteArray& out)
{
    z_stream stream {};
    // Raw deflate, as zip stores it; the fastest level keeps saving a large plate under a second.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(int(deflateBound(&stream, uLong(text.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.constData()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}

// A zip archive of deflated entries with a fixed date, so that the same plate gives the same bytes.
bool zipArchive(const QVector<ZipItem>& items, QByteArray& zip)
{
    QByteArray directory;
    for (const ZipItem& item : items) {
        if (quint64(zip.size()) + quint64(item.compressed.size()) + 1024 > 0x7fffffffu)
            return false;
        const quint32 offset = quint32(zip.size());
        for (QByteArray* header : { &zip, &directory }) {
            const bool central = header == &directory;
            put32(*header, central ? 0x02014b50 : 0x04034b50);
            if (central)
                put16(*header, 20); // made by
            put16(*header, 20); // needed to extract
            put16(*header, 0x0800); // names in UTF-8
            put16(*header, 8); // deflate
            put16(*header, 0); // time
            put16(*header, 0x21); // 1980-01-01
            put32(*header, item.crc);
            put32(*header, quint32(item.compressed.size()));
            put32(*header, item.size);
            put16(*header, quint32(item.name.size()));
            put16(*header, 0); // extra
            if (central) {
                put16(*header, 0); // comment
                put16(*header, 0); // disk
                put16(*header, 0); // internal attributes
                put32(*header, 0); // external attributes
                put32(*header, offset);
            }
            header->append(item.name);
        }
        zip.append(item.compressed);
    }
    const quint32 directoryOffset = quint32(zip.size());
    zip.append(directory);
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, quint32(items.size()));
    put16(zip, quint32(items.size()));
    put32(zip, quint32(directory.size()));
    put32(zip, directoryOffset);
    put16(zip, 0);
    return true;
}

void appendNumber(QByteArray& out, float value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, int(result.ptr - text));
}

void appendNumber(QByteArray& out, quint32 value)
{
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, int(result.ptr - text));
}

quint32 hashOf(const float* position)
{
    quint32 bits[3];
    std::memcpy(bits, position, sizeof bits);
    quint64 h = bits[0] * 0x9E3779B97F4A7C15ull;
    h ^= (h >> 29) + bits[1] * 0xBF58476D1CE4E5B9ull;
    h ^= (h >> 31) + bits[2] * 0x94D049BB133111EBull;
    return quint32(h ^ (h >> 32));
}

// One object's mesh as 3MF writes it: each corner once, the triangles by index. Corners are
// matched bit for bit in an open-addressed table of first corners, far quicker than a node map
// for millions of them.
void appendMesh(QByteArray& xml, const MeshData& mesh)
{
    const int corners = mesh.triangleCount * 3;
    quint32 tableSize = 16;
    while (tableSize < quint32(corners) * 2)
        tableSize *= 2;
    std::vector<qint32> firstCorner(tableSize, -1);
    std::vector<quint32> cornerIndex(static_cast<std::size_t>(corners));
    std::vector<qint32> uniqueCorners;
    uniqueCorners.reserve(std::size_t(corners / 2 + 16));
    for (int c = 0; c < corners; ++c) {
        const float* v = mesh.vertex(c);
        quint32 slot = hashOf(v) & (tableSize - 1);
        for (;;) {
            const qint32 seen = firstCorner[slot];
            if (seen < 0) {
                firstCorner[slot] = qint32(uniqueCorners.size());
                cornerIndex[std::size_t(c)] = quint32(uniqueCorners.size());
                uniqueCorners.push_back(c);
                break;
            }
            if (std::memcmp(mesh.vertex(uniqueCorners[std::size_t(seen)]), v, 3 * sizeof(float))
                == 0) {
                cornerIndex[std::size_t(c)] = quint32(seen);
                break;
            }
            slot = (slot + 1) & (tableSize - 1);
        }
    }
    xml.append("<mesh><vertices>\n");
    for (const qint32 c : uniqueCorners) {
        const float* v = mesh.vertex(c);
        xml.append("<vertex x=\"");
        appendNumber(xml, v[0]);
        xml.append("\" y=\"");
        appendNumber(xml, v[1]);
        xml.append("\" z=\"");
        appendNumber(xml, v[2]);
        xml.append("\"/>\n");
    }
    xml.append("</vertices><triangles>\n");
    for (int c = 0; c < corners; c += 3) {
        xml.append("<triangle v1=\"");
        appendNumber(xml, cornerIndex[std::size_t(c)]);
        xml.append("\" v2=\"");
        appendNumber(xml, cornerIndex[std::size_t(c) + 1]);
        xml.append("\" v3=\"");
        appendNumber(xml, cornerIndex[std::size_t(c) + 2]);
        xml.append("\"/>\n");
    }
    xml.append("</triangles></mesh>");
}

QByteArray escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

QByteArray modelXml(const Project& project)
{
    QByteArray xml;
    qsizetype expected = 1024;
    for (const PlateObject& object : project.objects)
        expected += qsizetype(object.mesh ? object.mesh->triangleCount : 0) * 70;
    xml.reserve(int(std::min<qsizetype>(expected, 0x7fff0000)));
    xml.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<model unit=\"millimeter\" xml:lang=\"en-US\" "
               "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
               "<metadata name=\"Application\">Corvane</metadata>\n<resources>\n");
    for (int i = 0; i < project.objects.size(); ++i) {
        const PlateObject& object = project.objects.at(i);
        xml.append("<object id=\"");
        appendNumber(xml, quint32(i + 1));
        xml.append("\" type=\"model\" name=\"");
        xml.append(escaped(QFileInfo(object.sourcePath).fileName()));
        xml.append("\">");
        appendMesh(xml, object.mesh ? *object.mesh : MeshData());
        xml.append("</object>\n");
    }
    xml.append("</resources>\n<build>\n");
    for (int i = 0; i < project.objects.size(); ++i) {
        // 3MF multiplies row vectors: its m(r, c) is our column matrix's (c, r).
        const QMatrix4x4 m = placementMatrix(project.objects.at(i).placement);
        xml.append("<item objectid=\"");
        appendNumber(xml, quint32(i + 1));
        xml.append("\" transform=\"");
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 3; ++column) {
                if (row + column > 0)
                    xml.append(' ');
                appendNumber(xml, m(column, row));
            }
        }
        xml.append("\"/>\n");
    }
    xml.append("</build>\n</model>\n");
    return xml;
}

QJsonArray vectorJson(const QVector3D& v) { return QJsonArray { v.x(), v.y(), v.z() }; }

QByteArray projectJson(const Project& project)
{
    QJsonArray objects;
    for (int i = 0; i < project.objects.size(); ++i) {
        const PlateObject& object = project.objects.at(i);
        QJsonArray points;
        for (const QVector3D& point : object.supportPoints)
            points.append(vectorJson(point));
        objects.append(QJsonObject {
            { QStringLiteral("object"), i + 1 },
            { QStringLiteral("source"), object.sourcePath },
            { QStringLiteral("translation"), vectorJson(object.placement.translation) },
            { QStringLiteral("rotation"), vectorJson(object.placement.rotation) },
            { QStringLiteral("scale"), vectorJson(object.placement.scale) },
            { QStringLiteral("supportPoints"), points },
        });
    }
    const SupportSettings& s = project.supportSettings;
    const QJsonObject supports {
        { QStringLiteral("automatic"), project.supportsAutomatic },
        { QStringLiteral("branching"), s.style == SupportSettings::Style::Branching },
        { QStringLiteral("overhangAngle"), s.overhangAngleDeg },
        { QStringLiteral("density"), s.density },
        { QStringLiteral("contactDiameter"), s.contactDiameterMm },
        { QStringLiteral("shaftDiameter"), s.shaftDiameterMm },
        { QStringLiteral("lift"), s.liftMm },
        { QStringLiteral("pad"), s.padMm },
    };
    const QJsonObject root {
        { QStringLiteral("format"), kFormat },
        { QStringLiteral("objects"), objects },
        { QStringLiteral("supports"), supports },
        { QStringLiteral("printer"),
            QJsonObject { { QStringLiteral("key"), project.printerKey },
                { QStringLiteral("name"), project.printerName },
                { QStringLiteral("profile"), project.profileId } } },
        { QStringLiteral("job"), project.job },
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// ---- reading ----

std::string_view attribute(const XmlScanner::Tag& tag, std::string_view name)
{
    for (const XmlScanner::Attribute& attribute : tag.attributes) {
        if (attribute.name == name)
            return attribute.value;
    }
    return std::string_view();
}

template <typename Number> bool number(std::string_view text, Number& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// The meshes of the model part by object id, as triangle soups in the objects' own coordinates.
// Only what this program writes is understood: a project is never written by anything else.
bool readMeshes(const unsigned char* zip, std::size_t size, const ZipEntry& entry,
    std::unordered_map<quint32, Mesh>& meshes, std::string& error)
{
    ZipPartStream stream;
    if (!stream.open(zip, size, entry, error))
        return false;
    XmlScanner xml;
    std::vector<float> vertices;
    std::size_t triangles = 0;
    Mesh* mesh = nullptr;
    QByteArray piece;
    for (;;) {
        XmlScanner::Tag tag;
        const XmlScanner::Step step = xml.next(tag);
        if (step == XmlScanner::Step::Broken) {
            error = "its model is not well-formed XML (line " + std::to_string(xml.line()) + ")";
            return false;
        }
        if (step == XmlScanner::Step::NeedMore) {
            if (stream.ended())
                return xml.depth() == 0 || (error = "its model ends too soon", false);
            if (!stream.next(piece, error))
                return false;
            xml.add(piece.constData(), std::size_t(piece.size()));
            continue;
        }
        if (tag.closing)
            continue;
        if (tag.name == "object") {
            quint32 id = 0;
            if (!number(attribute(tag, "id"), id)) {
                error = "an object of its model has no id";
                return false;
            }
            mesh = &meshes[id];
            vertices.clear();
        } else if (tag.name == "vertex" && mesh) {
            float v[3];
            if (!number(attribute(tag, "x"), v[0]) || !number(attribute(tag, "y"), v[1])
                || !number(attribute(tag, "z"), v[2])) {
                error = "a vertex of its model is not three numbers";
                return false;
            }
            if (vertices.size() >= 3 * kMaxMeshTriangles) {
                error = "its model holds more vertices than any model may";
                return false;
            }
            vertices.insert(vertices.end(), v, v + 3);
        } else if (tag.name == "triangle" && mesh) {
            quint32 corner[3];
            if (!number(attribute(tag, "v1"), corner[0]) || !number(attribute(tag, "v2"), corner[1])
                || !number(attribute(tag, "v3"), corner[2])) {
                error = "a triangle of its model is not three indices";
                return false;
            }
            if (++triangles > kMaxMeshTriangles) {
                error = "its model holds more triangles than any model may";
                return false;
            }
            for (const quint32 c : corner) {
                if (std::size_t(c) * 3 >= vertices.size()) {
                    error = "a triangle of its model names a vertex it does not have";
                    return false;
                }
                mesh->xyz.insert(
                    mesh->xyz.end(), vertices.begin() + c * 3, vertices.begin() + c * 3 + 3);
            }
        }
    }
}

QVector3D vectorOf(const QJsonValue& value, bool& ok)
{
    const QJsonArray array = value.toArray();
    if (array.size() != 3 || !array.at(0).isDouble() || !array.at(1).isDouble()
        || !array.at(2).isDouble()) {
        ok = false;
        return QVector3D();
    }
    return QVector3D(float(array.at(0).toDouble()), float(array.at(1).toDouble()),
        float(array.at(2).toDouble()));
}

const ZipEntry* entryNamed(const QVector<ZipEntry>& entries, const char* name)
{
    for (const ZipEntry& entry : entries) {
        if (entry.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

bool partText(const unsigned char* zip, std::size_t size, const ZipEntry& entry, QByteArray& text,
    std::string& error)
{
    if (entry.size > kMostProjectPartBytes) {
        error = "its project part is far larger than a project needs";
        return false;
    }
    ZipPartStream stream;
    if (!stream.open(zip, size, entry, error))
        return false;
    QByteArray piece;
    do {
        if (!stream.next(piece, error))
            return false;
        text.append(piece);
    } while (!piece.isEmpty());
    return true;
}

bool readProject(const QByteArray& bytes, Project& project, std::string& error)
{
    const auto* zip = reinterpret_cast<const unsigned char*>(bytes.constData());
    const std::size_t size = std::size_t(bytes.size());
    QVector<ZipEntry> entries;
    if (!zipCentralDirectory(zip, size, entries, error))
        return false;
    const ZipEntry* ours = entryNamed(entries, kProjectPart);
    const ZipEntry* model = entryNamed(entries, kModelPart);
    if (!ours) {
        error = "it is a 3D model, not a project";
        return false;
    }
    if (!model) {
        error = "it has no 3D model part";
        return false;
    }
    QByteArray text;
    if (!partText(zip, size, *ours, text, error))
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    const QJsonObject root = document.object();
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        error = "its project part is damaged";
        return false;
    }
    if (root.value(QStringLiteral("format")).toInt() > kFormat) {
        error = "it was saved by a newer version of Corvane";
        return false;
    }
    std::unordered_map<quint32, Mesh> meshes;
    if (!readMeshes(zip, size, *model, meshes, error))
        return false;

    bool ok = true;
    const QJsonArray objects = root.value(QStringLiteral("objects")).toArray();
    for (const QJsonValue& value : objects) {
        const QJsonObject o = value.toObject();
        const quint32 id = quint32(o.value(QStringLiteral("object")).toInt());
        const auto mesh = meshes.find(id);
        if (mesh == meshes.end() || mesh->second.triangleCount() == 0) {
            error = "its project part names an object without triangles";
            return false;
        }
        if (mesh->second.triangleCount() > std::size_t(kMostEditorTriangles)) {
            error = "one of its objects has more triangles than the editor holds in one object";
            return false;
        }
        PlateObject object;
        object.sourcePath = o.value(QStringLiteral("source")).toString();
        object.mesh = std::make_shared<const MeshData>(meshDataFromSoup(mesh->second, false));
        object.placement.translation = vectorOf(o.value(QStringLiteral("translation")), ok);
        object.placement.rotation = vectorOf(o.value(QStringLiteral("rotation")), ok);
        object.placement.scale = vectorOf(o.value(QStringLiteral("scale")), ok);
        for (const QJsonValue& point : o.value(QStringLiteral("supportPoints")).toArray())
            object.supportPoints.append(vectorOf(point, ok));
        if (!ok) {
            error = "its project part holds a placement or point that is not three numbers";
            return false;
        }
        project.objects.append(object);
    }
    const QJsonObject supports = root.value(QStringLiteral("supports")).toObject();
    SupportSettings& s = project.supportSettings;
    project.supportsAutomatic = supports.value(QStringLiteral("automatic")).toBool();
    s.style = supports.value(QStringLiteral("branching")).toBool()
        ? SupportSettings::Style::Branching
        : SupportSettings::Style::Pillars;
    s.overhangAngleDeg
        = supports.value(QStringLiteral("overhangAngle")).toDouble(s.overhangAngleDeg);
    s.density = supports.value(QStringLiteral("density")).toDouble(s.density);
    s.contactDiameterMm
        = supports.value(QStringLiteral("contactDiameter")).toDouble(s.contactDiameterMm);
    s.shaftDiameterMm = supports.value(QStringLiteral("shaftDiameter")).toDouble(s.shaftDiameterMm);
    s.liftMm = supports.value(QStringLiteral("lift")).toDouble(s.liftMm);
    s.padMm = supports.value(QStringLiteral("pad")).toDouble(s.padMm);
    const QJsonObject printer = root.value(QStringLiteral("printer")).toObject();
    project.printerKey = printer.value(QStringLiteral("key")).toString();
    project.printerName = printer.value(QStringLiteral("name")).toString();
    project.profileId = printer.value(QStringLiteral("profile")).toString();
    project.job = root.value(QStringLiteral("job")).toObject();
    return true;
}

} // namespace

namespace ProjectFile {

QByteArray write(const Project& project, QString& error)
{
    const QByteArray contentTypes = QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
        "<Default Extension=\"model\" "
        "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>\n"
        "<Default Extension=\"json\" ContentType=\"application/json\"/>\n"
        "</Types>\n");
    const QByteArray relationships
        = QByteArrayLiteral(
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Relationships "
              "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
              "<Relationship Target=\"/")
        + kModelPart
        + "\" Id=\"rel0\" "
          "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>\n"
          "<Relationship Target=\"/"
        + kProjectPart + "\" Id=\"rel1\" Type=\"" + kProjectRelationship
        + "\"/>\n</Relationships>\n";

    QVector<ZipItem> items;
    const std::pair<const char*, QByteArray> parts[] = {
        { "[Content_Types].xml", contentTypes },
        { "_rels/.rels", relationships },
        { kModelPart, modelXml(project) },
        { kProjectPart, projectJson(project) },
    };
    for (const auto& [name, text] : parts) {
        ZipItem item;
        item.name = name;
        item.size = quint32(text.size());
        item.crc = quint32(crc32(crc32(0, nullptr, 0),
            reinterpret_cast<const Bytef*>(text.constData()), uInt(text.size())));
        if (!deflated(text, item.compressed)) {
            error = QStringLiteral("The plate is too large to be saved as a project.");
            return QByteArray();
        }
        items.append(item);
    }
    QByteArray zip;
    if (!zipArchive(items, zip)) {
        error = QStringLiteral("The plate is too large to be saved as a project.");
        return QByteArray();
    }
    return zip;
}

bool read(const QByteArray& bytes, const QString& name, Project& project, QString& error)
{
    Project read;
    std::string why;
    bool ok = false;
    try {
        ok = readProject(bytes, read, why);
    } catch (const std::bad_alloc&) {
        why = "there is not enough memory for it";
    }
    if (!ok) {
        QString reason = QString::fromStdString(why);
        while (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        error = QStringLiteral("%1 cannot be opened as a project: %2.").arg(name, reason);
        return false;
    }
    project = read;
    return true;
}

bool isProject(const QByteArray& bytes)
{
    QVector<ZipEntry> entries;
    std::string error;
    return zipCentralDirectory(reinterpret_cast<const unsigned char*>(bytes.constData()),
               std::size_t(bytes.size()), entries, error)
        && entryNamed(entries, kProjectPart);
}

bool isProjectFile(const QString& path)
{
    if (!path.endsWith(QLatin1String(".3mf"), Qt::CaseInsensitive))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > 0x7fffffff)
        return false;
    const uchar* map = file.map(0, file.size());
    if (!map)
        return isProject(file.readAll());
    return isProject(QByteArray::fromRawData(reinterpret_cast<const char*>(map), int(file.size())));
}

QString save(const Project& project, const QString& path)
{
    QString error;
    const QByteArray bytes = write(project, error);
    if (bytes.isEmpty())
        return error;
    const QString fresh = SafeReplace::freshPathBeside(path);
    QFile file(fresh);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(fresh);
        return QStringLiteral("The project could not be saved in %1: %2.")
            .arg(QFileInfo(path).absolutePath(), reason);
    }
    file.close();
    return SafeReplace::replace(fresh, path);
}

bool load(const QString& path, Project& project, QString& error)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 cannot be opened: %2.").arg(name, file.errorString());
        return false;
    }
    return read(file.readAll(), name, project, error);
}

}
