#version 130
// Screen-space ambient occlusion from the depth buffer alone: the normal comes from neighbouring
// depths; samples in the hemisphere above the surface find the surfaces around it, and those that
// rise above its tangent plane occlude it. The kernel turns in a 4x4 pixel pattern that the
// combine pass averages away.

uniform sampler2D depthTexture;
uniform mat4 projection;
uniform mat4 inverseProjection;
uniform float radius; // in view-space units
uniform vec2 texelSize; // of the depth texture

in vec2 uv;

const int SampleCount = 16;
const vec3 kernel[SampleCount] = vec3[](
    vec3(-0.055, 0.005, 0.029), vec3(-0.020, 0.094, 0.019), vec3(-0.040, -0.068, 0.024),
    vec3(0.032, -0.029, 0.070), vec3(-0.023, -0.060, 0.104), vec3(-0.114, 0.033, 0.133),
    vec3(-0.190, -0.006, 0.050), vec3(-0.099, 0.104, 0.175), vec3(-0.038, 0.242, 0.148),
    vec3(-0.116, -0.062, 0.194), vec3(-0.030, -0.262, 0.098), vec3(0.217, -0.300, 0.146),
    vec3(0.332, -0.202, 0.229), vec3(-0.392, -0.325, 0.211), vec3(0.204, -0.543, 0.176),
    vec3(0.381, 0.031, 0.675));

vec3 viewPosition(vec2 coord)
{
    float depth = texture(depthTexture, coord).r;
    vec4 position = inverseProjection * vec4(vec3(coord, depth) * 2.0 - 1.0, 1.0);
    return position.xyz / position.w;
}

// Depths hold for pixel centres only: positions are reconstructed there.
vec2 pixelCenter(vec2 coord)
{
    return (floor(coord / texelSize) + 0.5) * texelSize;
}

// Of the two one-sided differences, the one that does not cross a depth edge.
vec3 flatterDifference(vec2 here, vec3 center, vec2 step)
{
    vec3 forward = viewPosition(here + step) - center;
    vec3 backward = center - viewPosition(here - step);
    return abs(forward.z) < abs(backward.z) ? forward : backward;
}

void main()
{
    // This pass may be smaller than the depth texture: it works at the depth pixel it lies on.
    vec2 here = pixelCenter(uv);
    if (texture(depthTexture, here).r >= 1.0) {
        gl_FragColor = vec4(1.0);
        return;
    }
    vec3 center = viewPosition(here);
    vec3 normal = normalize(cross(flatterDifference(here, center, vec2(texelSize.x, 0.0)),
                                  flatterDifference(here, center, vec2(0.0, texelSize.y))));

    ivec2 cell = ivec2(gl_FragCoord.xy) & 3;
    float angle = 6.2831853 * fract(float(cell.x * 4 + cell.y) * 0.618034);
    vec3 turn = vec3(cos(angle), sin(angle), 0.0);
    if (abs(dot(turn, normal)) > 0.99)
        turn = vec3(0.0, 0.0, 1.0);
    vec3 tangent = normalize(turn - normal * dot(turn, normal));
    vec3 bitangent = cross(normal, tangent);

    float occlusion = 0.0;
    for (int i = 0; i < SampleCount; ++i) {
        vec3 offset = kernel[i];
        vec3 probe = center + (tangent * offset.x + bitangent * offset.y + normal * offset.z) * radius;
        vec4 clip = projection * vec4(probe, 1.0);
        // How far the surface seen there rises above this point's tangent plane: a flat surface
        // does not occlude itself.
        vec3 toSurface = viewPosition(pixelCenter(clip.xy / clip.w * 0.5 + 0.5)) - center;
        float distance = length(toSurface);
        if (distance > 0.001 * radius) {
            float rising = dot(toSurface, normal) / distance;
            occlusion += max(rising - 0.1, 0.0) * (1.0 - smoothstep(radius, 2.0 * radius, distance));
        }
    }
    gl_FragColor = vec4(clamp(1.0 - 2.0 * occlusion / float(SampleCount), 0.0, 1.0));
}
