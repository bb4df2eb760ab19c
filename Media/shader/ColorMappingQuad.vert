#version 120
// A full-screen quad given in clip coordinates.

varying vec2 texCoord;

void main()
{
    texCoord = gl_MultiTexCoord0.xy;
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
}
