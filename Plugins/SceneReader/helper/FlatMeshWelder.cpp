#include "FlatMeshWelder.h"

#include "FlatShading.h"

#include <cstdint>
#include <cstring>
#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <vector>

namespace {

struct Key
{
    std::uint32_t bits[3];
};

Key keyOf(const osg::Vec3& vertex)
{
    Key key;
    std::memcpy(key.bits, vertex.ptr(), sizeof key.bits);
    return key;
}

std::uint64_t hashOf(const Key& key)
{
    std::uint64_t h = 0x9e3779b97f4a7c15ull;
    for (const std::uint32_t bits : key.bits)
        h = (h ^ bits) * 0xff51afd7ed558ccdull;
    return h ^ (h >> 29);
}

// Each triangle's three normals are one: the mesh is flat shaded.
bool flatNormals(const osg::Vec3Array& normals)
{
    for (std::size_t i = 0; i + 2 < normals.size(); i += 3)
        if (normals[i] != normals[i + 1] || normals[i] != normals[i + 2])
            return false;
    return true;
}

bool weldable(const osg::Geometry& geometry)
{
    const auto* vertices = dynamic_cast<const osg::Vec3Array*>(geometry.getVertexArray());
    const auto* normals = dynamic_cast<const osg::Vec3Array*>(geometry.getNormalArray());
    if (!vertices || !normals || geometry.getNumPrimitiveSets() != 1 ||
        normals->getBinding() != osg::Array::BIND_PER_VERTEX ||
        normals->size() != vertices->size() || vertices->size() % 3 != 0 ||
        vertices->size() / 3 < FlatMeshWelder::minimumTriangles || geometry.getColorArray() ||
        geometry.getSecondaryColorArray() || geometry.getFogCoordArray() ||
        geometry.getNumTexCoordArrays() > 0 || geometry.getNumVertexAttribArrays() > 0 ||
        geometry.getStateSet())
        return false;
    const auto* triangles = dynamic_cast<const osg::DrawArrays*>(geometry.getPrimitiveSet(0));
    return triangles && triangles->getMode() == GL_TRIANGLES && triangles->getFirst() == 0 &&
           std::size_t(triangles->getCount()) == vertices->size() &&
           triangles->getNumInstances() == 0 && flatNormals(*normals);
}

// Corners with the same position become one vertex: open addressing over their bits, in a
// table sized for a sixth of the corners (what a closed mesh shares), doubled when it fills.
class VertexTable
{
public:
    explicit VertexTable(std::size_t corners)
    {
        std::size_t slots = 1024;
        while (slots < corners / 3)
            slots <<= 1;
        m_table.assign(slots, UINT32_MAX);
    }

    // The index of the vertex at the position, added when new.
    std::uint32_t indexOf(const osg::Vec3& position, osg::Vec3Array& vertices)
    {
        const Key key = keyOf(position);
        std::size_t slot = hashOf(key) & (m_table.size() - 1);
        for (;; slot = (slot + 1) & (m_table.size() - 1)) {
            const std::uint32_t known = m_table[slot];
            if (known == UINT32_MAX)
                break;
            if (std::memcmp(vertices[known].ptr(), key.bits, sizeof key.bits) == 0)
                return known;
        }
        const auto index = static_cast<std::uint32_t>(vertices.size());
        vertices.push_back(position);
        m_table[slot] = index;
        if (vertices.size() * 2 > m_table.size())
            grow(vertices);
        return index;
    }

private:
    void grow(const osg::Vec3Array& vertices)
    {
        m_table.assign(m_table.size() * 2, UINT32_MAX);
        for (std::uint32_t index = 0; index < vertices.size(); ++index) {
            std::size_t slot = hashOf(keyOf(vertices[index])) & (m_table.size() - 1);
            while (m_table[slot] != UINT32_MAX)
                slot = (slot + 1) & (m_table.size() - 1);
            m_table[slot] = index;
        }
    }

    std::vector<std::uint32_t> m_table;
};

void weldGeometry(osg::Geometry& geometry)
{
    const auto& corners = static_cast<const osg::Vec3Array&>(*geometry.getVertexArray());
    VertexTable table(corners.size());
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->reserve(corners.size() / 5);
    osg::ref_ptr<osg::DrawElementsUInt> indices =
        new osg::DrawElementsUInt(GL_TRIANGLES, static_cast<unsigned int>(corners.size()));
    for (std::size_t i = 0; i < corners.size(); ++i)
        (*indices)[i] = table.indexOf(corners[i], *vertices);
    vertices->trim();
    geometry.setNormalArray(nullptr);
    geometry.setVertexArray(vertices);
    geometry.setPrimitiveSet(0, indices);
    geometry.setUserValue(FlatShading::key, true);
}

class WeldVisitor : public osg::NodeVisitor
{
public:
    WeldVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) { setNodeMaskOverride(~0u); }

    void apply(osg::Geometry& geometry) override
    {
        // A geometry shared by several parents is visited once per path.
        if (weldable(geometry)) {
            weldGeometry(geometry);
            ++welded;
        }
    }

    unsigned int welded = 0;
};

} // namespace

unsigned int FlatMeshWelder::weld(osg::Node& scene)
{
    WeldVisitor visitor;
    scene.accept(visitor);
    return visitor.welded;
}
