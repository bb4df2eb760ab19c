#version 130
// A full-screen triangle: its corners are given in clip coordinates, the matrices are ignored.

out vec2 uv;

void main()
{
    uv = gl_Vertex.xy * 0.5 + 0.5;
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
}
