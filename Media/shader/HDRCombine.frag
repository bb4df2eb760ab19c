#version 130
// Puts the picture together: ambient occlusion darkens, the bloom is added (or blended in), then
// exposure and gamma map the high dynamic range to the screen's. The scene's depth is written
// too, in the projection of the target, so that what is drawn later still hides behind it.

uniform sampler2D sceneColor;
uniform sampler2D sceneDepth;
uniform sampler2D occlusion;
uniform sampler2D bloom;
uniform mat4 inverseProjection; // of the scene pass
uniform vec2 occlusionTexel;
uniform float exposure;
uniform float gamma;
uniform float effectAmount;
uniform bool ambientOcclusion;
uniform bool useBloom;
uniform bool combineBlend;
uniform bool absColor;

in vec2 uv;

// The average of the 4x4 occlusion pixels around this point, in four bilinear reads.
float smoothOcclusion()
{
    float sum = 0.0;
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 2; ++y)
            sum += texture(occlusion, uv + (vec2(x, y) * 2.0 - 1.5) * occlusionTexel).r;
    return sum * 0.25;
}

float targetDepth(float depth)
{
    if (depth >= 1.0)
        return 1.0;
    vec4 view = inverseProjection * vec4(vec3(uv, depth) * 2.0 - 1.0, 1.0);
    vec4 clip = gl_ProjectionMatrix * (view / view.w);
    return clamp(clip.z / clip.w * 0.5 + 0.5, 0.0, 1.0);
}

void main()
{
    vec4 scene = textureLod(sceneColor, uv, 0.0);
    vec3 color = max(scene.rgb, vec3(0.0));
    float alpha = scene.a;
    if (ambientOcclusion)
        color *= smoothOcclusion();
    if (useBloom) {
        vec3 glow = max(texture(bloom, uv).rgb, vec3(0.0));
        if (combineBlend) {
            color = mix(color, glow, effectAmount / (1.0 + effectAmount));
        } else {
            color += effectAmount * glow;
            alpha = clamp(alpha + effectAmount * dot(glow, vec3(1.0 / 3.0)), 0.0, 1.0);
        }
    }
    if (absColor)
        color = clamp(color, 0.0, 1.0);
    else
        color = pow(1.0 - exp(-exposure * color), vec3(1.0 / max(gamma, 0.01)));

    float depth = texture(sceneDepth, uv).r;
    if (alpha <= 0.0 && depth >= 1.0)
        discard;
    gl_FragColor = vec4(color, alpha);
    gl_FragDepth = targetDepth(depth);
}
