// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "threemf.h"

#include "xmlscanner.h"
#include "zippart.h"

#include <QHash>
#include <QVector>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxComponentDepth = 16;
// Objects placed, counting every component on every level: plates of many copies stay far below,
// while a few hundred bytes of components could otherwise ask for millions of copies.
constexpr quint64 kMostPlacements = 10'000;
// A closed mesh has about half as many vertices as triangles, so the triangle limit bounds them
// too: tags of vertices alone, which deflate a thousandfold, must not fill the memory either.
constexpr quint64 kMostVertices = kMaxMeshTriangles;
// Model text inflated from the archive: the first megabytes are free (the head, metadata), then
// every element read allows this much more. A run of blanks, a comment or one endless attribute
// is refused after a few megabytes, while vertices and triangles written however verbosely pass.
constexpr quint64 kFreeModelBytes = quint64(16) << 20;
constexpr quint64 kModelBytesPerElement = 256;
// The most text between two tags: a comment or a tag is held whole by the scanner, which reads it
// again from its start whenever more text arrives; no model comes near this.
constexpr quint64 kLongestToken = quint64(4) << 20;
// Nor more in all than the triangle limit needs, a vertex and a triangle written at length each.
constexpr quint64 kMostModelBytes = quint64(kMaxMeshTriangles) * 2 * 80;
// Sums that may grow beyond any limit stop growing here instead of wrapping.
constexpr quint64 kSaturated = quint64(1) << 62;

quint64 saturatedSum(quint64 a, quint64 b) { return std::min(kSaturated, a + b); }

const char* const kTooMuchText
    = "The 3MF file is too large: its model inflates to far more text than its triangles need.";

// What the archive's model text may inflate to, spent piece by piece (see kFreeModelBytes).
class TextBudget {
public:
    bool spend(quint64 bytes, std::string& error)
    {
        m_total += bytes;
        m_sinceToken += bytes;
        if (m_total > kMostModelBytes
            || m_total > kFreeModelBytes + m_elements * kModelBytesPerElement
            || m_sinceToken > kLongestToken) {
            error = kTooMuchText;
            return false;
        }
        return true;
    }
    void tokenRead() { m_sinceToken = 0; }
    void elementRead() { ++m_elements; }

private:
    quint64 m_total = 0;
    quint64 m_sinceToken = 0;
    quint64 m_elements = 0;
};

// Row-vector affine transform as 3MF writes it: x' = x m00 + y m10 + z m20 + m30, ...
using Transform = std::array<double, 12>;

const Transform kIdentity { 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0 };

// A number as XML writes it: blanks around it and a "+" are allowed, as are references.
template <typename Number> bool toNumber(std::string_view text, Number& number)
{
    std::string decoded;
    if (text.find('&') != std::string_view::npos) {
        if (!XmlScanner::decoded(text, decoded))
            return false;
        text = decoded;
    }
    while (!text.empty()
        && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n'
            || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty()
        && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n'
            || text.back() == '\r'))
        text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    // from_chars, unlike strtod, ignores the locale that the program may have set.
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool parseTransform(std::string_view text, Transform& transform)
{
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        if (count == 12 || !toNumber(text.substr(start, end - start), transform[count])
            || !std::isfinite(transform[count]))
            return false;
        ++count;
        at = end;
    }
    if (count == 0) {
        transform = kIdentity;
        return true;
    }
    return count == 12;
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
    std::vector<float> positions; // x, y, z per vertex, in millimetres
    std::vector<quint32> triangles; // three vertex numbers per triangle
    std::vector<Reference> components;
};

struct ModelPart {
    double unit = 1.0;
    QHash<QString, Object> objects;
    QVector<Reference> items; // the build, read from the root part only
};

// What placing an object once unfolds into, its components' placements included.
struct Expansion {
    quint64 triangles = 0;
    quint64 placements = 0;
    int height = 0; // component levels below the object
};

double unitInMillimetres(std::string_view unit, bool& known)
{
    known = true;
    if (unit.empty() || unit == "millimeter")
        return 1.0;
    if (unit == "micron")
        return 0.001;
    if (unit == "centimeter")
        return 10.0;
    if (unit == "inch")
        return 25.4;
    if (unit == "foot")
        return 304.8;
    if (unit == "meter")
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

std::string_view attribute(const XmlScanner::Tag& tag, std::string_view name)
{
    for (const XmlScanner::Attribute& attribute : tag.attributes) {
        if (attribute.name == name)
            return attribute.value;
    }
    return std::string_view();
}

QString textOf(std::string_view value)
{
    std::string text;
    if (!XmlScanner::decoded(value, text))
        text = value;
    return QString::fromUtf8(text.data(), int(text.size()));
}

bool readReference(const XmlScanner::Tag& tag, Reference& reference)
{
    reference.objectId = textOf(attribute(tag, "objectid"));
    for (const XmlScanner::Attribute& attribute : tag.attributes) {
        const std::size_t colon = attribute.name.find(':');
        if (colon != std::string_view::npos && colon > 0
            && attribute.name.substr(colon + 1) == "path")
            reference.part = partKey(textOf(attribute.value));
    }
    return parseTransform(attribute(tag, "transform"), reference.transform);
}

std::string atLine(const XmlScanner& xml) { return " (line " + std::to_string(xml.line()) + ")."; }

// Reads one model part as its text inflates, keeping only what the build needs.
class PartReader {
public:
    PartReader(ZipPartStream& input, TextBudget& budget, quint64& vertices, quint64& triangles)
        : m_input(input)
        , m_budget(budget)
        , m_vertices(vertices)
        , m_triangles(triangles)
    {
    }

    bool read(ModelPart& part, std::string& error)
    {
        XmlScanner::Tag tag;
        for (;;) {
            const XmlScanner::Step step = m_xml.next(tag);
            if (step == XmlScanner::Step::Broken)
                return broken(error);
            if (step == XmlScanner::Step::NeedMore) {
                if (m_input.ended())
                    return broken(error);
                QByteArray piece;
                if (!m_input.next(piece, error) || !m_budget.spend(quint64(piece.size()), error))
                    return false;
                m_xml.add(piece.constData(), std::size_t(piece.size()));
                continue;
            }
            m_budget.tokenRead();
            if (tag.closing) {
                if (m_inObject && tag.name == "object" && !finishObject(part, error))
                    return false;
                if (m_xml.depth() == 0)
                    break; // the model is whole; what follows it is not read as XML
                continue;
            }
            m_budget.elementRead();
            if (m_xml.depth() == (tag.empty ? 0 : 1) && !m_sawModel) {
                if (tag.name != "model")
                    return broken(error);
                m_sawModel = true;
                bool known = false;
                part.unit = unitInMillimetres(attribute(tag, "unit"), known);
                if (!known) {
                    error = "The 3MF model uses a unit this program does not know.";
                    return false;
                }
                if (tag.empty)
                    break;
            } else if (!element(tag, part, error)) {
                return false;
            }
        }
        // The rest of the part still has to inflate to its size and CRC.
        QByteArray piece;
        while (!m_input.ended()) {
            if (!m_input.next(piece, error) || !m_budget.spend(quint64(piece.size()), error))
                return false;
        }
        return true;
    }

private:
    bool element(const XmlScanner::Tag& tag, ModelPart& part, std::string& error)
    {
        if (tag.name == "object") {
            m_inObject = !tag.empty;
            m_objectId = textOf(attribute(tag, "id"));
            m_object = Object();
            return tag.empty ? finishObject(part, error) : true;
        }
        if (tag.name == "item") {
            Reference item;
            if (!readReference(tag, item)) {
                error = "The 3MF model has a build item with a broken transform.";
                return false;
            }
            part.items.append(item);
            return true;
        }
        if (!m_inObject)
            return true;
        if (tag.name == "vertex") {
            if (++m_vertices > kMostVertices) {
                error = "The 3MF file holds more than " + std::to_string(kMostVertices)
                    + " vertices.";
                return false;
            }
            for (const char* axis : { "x", "y", "z" }) {
                double value = 0;
                const bool ok = toNumber(attribute(tag, axis), value);
                const float scaled = float(value * part.unit);
                if (!ok || !std::isfinite(scaled)) {
                    error = "The 3MF model has a vertex coordinate that is not a finite number"
                        + atLine(m_xml);
                    return false;
                }
                m_object.positions.push_back(scaled);
            }
        } else if (tag.name == "triangle") {
            if (++m_triangles > kMaxMeshTriangles) {
                error = "The 3MF file holds more than " + std::to_string(kMaxMeshTriangles)
                    + " triangles, more than the agent slices.";
                return false;
            }
            for (const char* corner : { "v1", "v2", "v3" }) {
                quint32 index = 0;
                if (!toNumber(attribute(tag, corner), index)) {
                    error = "The 3MF model has a triangle without its three vertex numbers"
                        + atLine(m_xml);
                    return false;
                }
                m_object.triangles.push_back(index);
            }
        } else if (tag.name == "component") {
            Reference component;
            if (!readReference(tag, component)) {
                error = "The 3MF model has a component with a broken transform.";
                return false;
            }
            m_object.components.push_back(component);
        }
        return true;
    }

    bool finishObject(ModelPart& part, std::string& error)
    {
        m_inObject = false;
        const quint32 vertexCount = quint32(m_object.positions.size() / 3);
        for (quint32 index : m_object.triangles) {
            if (index >= vertexCount) {
                error = "The 3MF model has a triangle naming vertex " + std::to_string(index)
                    + ", which its object does not define.";
                return false;
            }
        }
        // Moved, not copied: an object may hold millions of triangles.
        part.objects[m_objectId] = std::move(m_object);
        m_object = Object();
        return true;
    }

    // A damaged archive is named as such even when its garbage reaches the XML reader first.
    bool broken(std::string& error)
    {
        const std::string line = atLine(m_xml);
        QByteArray piece;
        while (!m_input.ended()) {
            if (!m_input.next(piece, error) || !m_budget.spend(quint64(piece.size()), error))
                return false;
        }
        error = "The 3MF model part is not a complete 3MF model" + line;
        return false;
    }

    ZipPartStream& m_input;
    TextBudget& m_budget;
    quint64& m_vertices; // in all parts
    quint64& m_triangles;
    XmlScanner m_xml;
    bool m_sawModel = false;
    bool m_inObject = false;
    QString m_objectId;
    Object m_object;
};

// The archive's model parts, each read once when first referenced; the counting of the build and
// then its unfolding into one triangle soup.
class Package {
public:
    Package(const unsigned char* zip, std::size_t size, const QVector<ZipEntry>& entries)
        : m_zip(zip)
        , m_size(size)
    {
        for (const ZipEntry& entry : entries)
            m_entries.insert(partKey(entry.name), entry);
    }

    const ModelPart* part(const QString& key, std::string& error)
    {
        const auto loaded = m_parts.constFind(key);
        if (loaded != m_parts.constEnd())
            return loaded.value().get();
        const auto entry = m_entries.constFind(key);
        if (entry == m_entries.constEnd()) {
            error = "The 3MF file has no model part “" + key.left(80).toStdString() + "”.";
            return nullptr;
        }
        ZipPartStream input;
        auto part = std::make_shared<ModelPart>();
        PartReader reader(input, m_budget, m_vertices, m_triangles);
        if (!input.open(m_zip, m_size, entry.value(), error) || !reader.read(*part, error))
            return nullptr;
        m_parts.insert(key, part);
        return part.get();
    }

    // Counts what one placement of the object unfolds into, reading the parts it needs; every
    // object is counted once however often it is placed.
    bool expand(const QString& partName, const QString& id, int depth, Expansion& expansion,
        std::string& error)
    {
        if (depth > kMaxComponentDepth) {
            error = "The 3MF model nests its components too deeply.";
            return false;
        }
        const QString key = partName + QLatin1Char('\n') + id;
        const auto counted = m_expansions.constFind(key);
        if (counted != m_expansions.constEnd()) {
            expansion = counted.value();
        } else {
            const Object* object = find(partName, id, error);
            if (!object)
                return false;
            expansion = Expansion();
            expansion.triangles = object->triangles.size() / 3;
            expansion.placements = 1;
            for (const Reference& component : object->components) {
                Expansion below;
                if (!expand(component.part.isEmpty() ? partName : component.part,
                        component.objectId, depth + 1, below, error))
                    return false;
                expansion.triangles = saturatedSum(expansion.triangles, below.triangles);
                expansion.placements = saturatedSum(expansion.placements, below.placements);
                expansion.height = std::max(expansion.height, below.height + 1);
            }
            m_expansions.insert(key, expansion);
        }
        if (depth + expansion.height > kMaxComponentDepth) {
            error = "The 3MF model nests its components too deeply.";
            return false;
        }
        return true;
    }

    // Places the object's triangles, and its components', once counted by expand().
    void place(const QString& partName, const QString& id, const Transform& transform, double unit,
        Mesh& mesh, bool& finite) const
    {
        const Object& object = m_parts.value(partName)->objects.find(id).value();
        // Vertices are in millimetres already; the transforms' translations are in the build's
        // unit.
        for (quint32 index : object.triangles) {
            const float* p = object.positions.data() + std::size_t(index) * 3;
            for (int column = 0; column < 3; ++column) {
                const double value = p[0] * transform[std::size_t(column)]
                    + p[1] * transform[std::size_t(3 + column)]
                    + p[2] * transform[std::size_t(6 + column)]
                    + transform[std::size_t(9 + column)] * unit;
                const float placed = float(value);
                finite = finite && std::isfinite(placed);
                mesh.xyz.push_back(placed);
            }
        }
        for (const Reference& component : object.components) {
            place(component.part.isEmpty() ? partName : component.part, component.objectId,
                combine(component.transform, transform), unit, mesh, finite);
        }
    }

private:
    const Object* find(const QString& partName, const QString& id, std::string& error)
    {
        const ModelPart* part = this->part(partName, error);
        if (!part)
            return nullptr;
        const auto found = part->objects.constFind(id);
        if (found == part->objects.constEnd()) {
            error = "The 3MF model places object “" + id.left(40).toStdString()
                + "”, which it does not define.";
            return nullptr;
        }
        return &found.value();
    }

    const unsigned char* m_zip;
    std::size_t m_size;
    QHash<QString, ZipEntry> m_entries;
    QHash<QString, std::shared_ptr<ModelPart>> m_parts;
    QHash<QString, Expansion> m_expansions;
    TextBudget m_budget;
    quint64 m_vertices = 0;
    quint64 m_triangles = 0;
};

bool read3mf(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error)
{
    QVector<ZipEntry> entries;
    if (!zipCentralDirectory(data, size, entries, error))
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
        error = "The 3MF file has no 3D model part.";
        return false;
    }
    Package package(data, size, entries);
    const ModelPart* model = package.part(root, error);
    if (!model)
        return false;

    // Counted whole before anything is built: a small file must not unfold into gigabytes.
    quint64 triangles = 0;
    quint64 placements = 0;
    for (const Reference& item : model->items) {
        Expansion expansion;
        if (!package.expand(
                item.part.isEmpty() ? root : item.part, item.objectId, 0, expansion, error))
            return false;
        triangles = saturatedSum(triangles, expansion.triangles);
        placements = saturatedSum(placements, expansion.placements);
    }
    if (placements > kMostPlacements) {
        error = "The 3MF model places its objects more than " + std::to_string(kMostPlacements)
            + " times.";
        return false;
    }
    if (triangles > kMaxMeshTriangles) {
        error = "The 3MF build holds " + std::to_string(triangles)
            + " triangles once every object is placed, more than the "
            + std::to_string(kMaxMeshTriangles) + " the agent slices.";
        return false;
    }
    if (triangles == 0) {
        error = "The 3MF file holds no triangles.";
        return false;
    }
    mesh.xyz.reserve(std::size_t(triangles) * 9);
    bool finite = true;
    for (const Reference& item : model->items) {
        package.place(item.part.isEmpty() ? root : item.part, item.objectId, item.transform,
            model->unit, mesh, finite);
    }
    if (!finite) {
        error = "The 3MF model places a vertex beyond any finite coordinate.";
        return false;
    }
    return true;
}

} // namespace

bool parse3mf(const unsigned char* data, std::size_t size, Mesh& mesh, std::string& error)
{
    mesh.xyz.clear();
    bool ok = false;
    try {
        ok = read3mf(data, size, mesh, error);
    } catch (const std::bad_alloc&) {
        // Qt's containers throw this too when a size is beyond what they can hold.
        error = "The 3MF file is too large for the memory available.";
    }
    if (!ok)
        std::vector<float>().swap(mesh.xyz);
    return ok;
}
