#version 120
// Writes the G-buffer: positions (w 0 marks a surface), the attribute value with a flag that
// the geometry has the attribute, and the scene colour.

varying vec3 worldPosition;
varying float attributeValue;
varying float attributePresent;
varying vec3 baseColor;

void main()
{
    gl_FragData[0] = vec4(worldPosition, 0.0);
    gl_FragData[1] = vec4(attributeValue, attributePresent, 0.0, 0.0);
    gl_FragData[2] = vec4(baseColor, 1.0);
}
