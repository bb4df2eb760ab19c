#include "FlatShading.h"

#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <osg/Program>
#include <osg/UserDataContainer>

const char* const FlatShading::key = "zelvista.flatShading";

namespace {

const char* const vertexSource = R"(#version 120
varying vec3 eyePosition;
void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = eye.xyz / eye.w;
    gl_FrontColor = gl_Color;
    gl_BackColor = gl_Color;
    gl_Position = ftransform();
}
)";

// The colour is the material's ambient and diffuse colour, as OpenSceneGraph's default colour
// material makes it.
const char* const fragmentSource = R"(#version 120
varying vec3 eyePosition;
void main()
{
    vec3 normal = normalize(cross(dFdx(eyePosition), dFdy(eyePosition)));
    vec4 light = gl_LightSource[0].position;
    vec3 toLight = normalize(light.xyz - eyePosition * light.w);
    float diffuse = max(dot(normal, toLight), 0.0);
    float specular = 0.0;
    if (diffuse > 0.0)
        specular = pow(max(dot(normal, normalize(toLight - normalize(eyePosition))), 0.0),
                       max(gl_FrontMaterial.shininess, 1.0));
    vec4 base = gl_Color;
    vec3 colour = base.rgb * (gl_LightModel.ambient.rgb + gl_LightSource[0].ambient.rgb) +
                  base.rgb * gl_LightSource[0].diffuse.rgb * diffuse +
                  gl_FrontMaterial.specular.rgb * gl_LightSource[0].specular.rgb * specular;
    gl_FragColor = vec4(colour, base.a);
}
)";

osg::Program* flatShadingProgram()
{
    static const osg::ref_ptr<osg::Program> program = [] {
        osg::ref_ptr<osg::Program> made = new osg::Program;
        made->setName("FlatShading");
        made->addShader(new osg::Shader(osg::Shader::VERTEX, vertexSource));
        made->addShader(new osg::Shader(osg::Shader::FRAGMENT, fragmentSource));
        return made;
    }();
    return program.get();
}

class FlatShadingVisitor : public osg::NodeVisitor
{
public:
    FlatShadingVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) { setNodeMaskOverride(~0u); }

    void apply(osg::Geometry& geometry) override
    {
        bool flat = false;
        if (!geometry.getUserValue(FlatShading::key, flat) || !flat)
            return;
        // The marker has done its work: a saved scene keeps the shading, not the request.
        if (osg::UserDataContainer* values = geometry.getUserDataContainer())
            values->removeUserObject(values->getUserObjectIndex(FlatShading::key));
        if (geometry.getNormalArray())
            return;
        geometry.getOrCreateStateSet()->setAttributeAndModes(flatShadingProgram());
        ++shaded;
    }

    unsigned int shaded = 0;
};

} // namespace

unsigned int FlatShading::apply(osg::Node& scene)
{
    FlatShadingVisitor visitor;
    scene.accept(visitor);
    return visitor.shaded;
}
