#version 120
// Maps the attribute value through the colour map over [minimum, minimum + 1 / inverse span].
// A pixel without a surface stays transparent; one whose geometry lacks the attribute takes
// the map's first colour.

uniform sampler2D zelPositions;
uniform sampler2D zelAttributes;
uniform sampler2D zelColorMap;
uniform float zelMinimum;
uniform float zelInverseSpan;
// Number of bands, 0 for a continuous map.
uniform int zelBands;
uniform float zelColorMapSize;

varying vec2 texCoord;

void main()
{
    if (texture2D(zelPositions, texCoord).w == 1.0) {
        gl_FragColor = vec4(0.0);
        return;
    }
    vec2 value = texture2D(zelAttributes, texCoord).xy;
    float t = 0.0;
    // A NaN value compares false both ways and keeps the first colour.
    if (value.y > 0.5 && value.x == value.x)
        t = clamp((value.x - zelMinimum) * zelInverseSpan, 0.0, 1.0);
    if (zelBands > 0) {
        float bands = float(zelBands);
        t = zelBands > 1 ? min(floor(t * bands), bands - 1.0) / (bands - 1.0) : 0.0;
    }
    // The centre of the first texel at 0, of the last at 1.
    float u = (t * (zelColorMapSize - 1.0) + 0.5) / zelColorMapSize;
    gl_FragColor = vec4(texture2D(zelColorMap, vec2(u, 0.5)).rgb, 1.0);
}
