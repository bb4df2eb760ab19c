#version 120
// G-buffer pass of the colour-mapping stage: world position, one attribute component and the
// scene colour of every surface.

uniform mat4 zelViewToWorld;
// 0 Position, 1 Normal, 2 VertexColor, 3 to 10 TexCoord0 to TexCoord7; -1 none.
uniform int zelAttribute;
// Selects x, y, z or w.
uniform vec4 zelComponent;
// The arrays the drawable has, as bits in the order of zelAttribute (set per drawable).
attribute float zelDrawableArrays;

varying vec3 worldPosition;
varying float attributeValue;
varying float attributePresent;
varying vec3 baseColor;

bool hasArray(int index)
{
    return index >= 0 && mod(floor(zelDrawableArrays / exp2(float(index))), 2.0) > 0.5;
}

vec4 selectedAttribute(vec4 world)
{
    if (zelAttribute == 0)
        return world;
    if (zelAttribute == 1) {
        vec3 normal = mat3(zelViewToWorld) * (gl_NormalMatrix * gl_Normal);
        return vec4(length(normal) > 0.0 ? normalize(normal) : normal, 0.0);
    }
    if (zelAttribute == 2)
        return gl_Color;
    if (zelAttribute == 3)
        return gl_MultiTexCoord0;
    if (zelAttribute == 4)
        return gl_MultiTexCoord1;
    if (zelAttribute == 5)
        return gl_MultiTexCoord2;
    if (zelAttribute == 6)
        return gl_MultiTexCoord3;
    if (zelAttribute == 7)
        return gl_MultiTexCoord4;
    if (zelAttribute == 8)
        return gl_MultiTexCoord5;
    if (zelAttribute == 9)
        return gl_MultiTexCoord6;
    return gl_MultiTexCoord7;
}

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    vec4 world = zelViewToWorld * eye;
    world /= world.w;
    worldPosition = world.xyz;

    attributePresent = hasArray(zelAttribute) ? 1.0 : 0.0;
    attributeValue = attributePresent > 0.5 ? dot(selectedAttribute(world), zelComponent) : 0.0;
    // The colour the geometry gives itself: its colours, else its material.
    baseColor = hasArray(2) ? gl_Color.rgb : gl_FrontMaterial.diffuse.rgb;

    gl_Position = ftransform();
}
