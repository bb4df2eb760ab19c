#version 130
// One direction of a Gaussian blur. Wide blurs read a coarser mipmap level, so that taps
// further apart than a pixel do not miss what lies between them.

uniform sampler2D sourceTexture;
uniform vec2 texelStep; // one target pixel along the blur direction, in texture coordinates
uniform float sigma;    // in target pixels
uniform float lodBias;  // the mipmap level whose pixels are as large as the target's

in vec2 uv;

const int Taps = 8;

void main()
{
    if (sigma < 0.01) {
        gl_FragColor = textureLod(sourceTexture, uv, lodBias);
        return;
    }
    float spacing = 3.0 * sigma / float(Taps);
    float lod = lodBias + log2(max(spacing, 1.0));
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int i = -Taps; i <= Taps; ++i) {
        float x = float(i) * spacing;
        float weight = exp(-0.5 * (x / sigma) * (x / sigma));
        sum += weight * textureLod(sourceTexture, uv + texelStep * x, lod);
        total += weight;
    }
    gl_FragColor = sum / total;
}
