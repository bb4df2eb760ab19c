#version 120
// Draws the colour-mapped (or the scene) image where there are surfaces.

uniform sampler2D zelImage;
uniform sampler2D zelPositions;

varying vec2 texCoord;

void main()
{
    if (texture2D(zelPositions, texCoord).w == 1.0)
        discard;
    gl_FragColor = vec4(texture2D(zelImage, texCoord).rgb, 1.0);
}
