// Telestration marker shaders (GLSL ES 3.20).
//
// One source holds the six entry functions the marker renderer looks up by
// name: markerVertex, markerFragment, groundFragment, groundOverlayFragment,
// cutoutFragment and textFragment. GLSL allows one `main` a stage, so every
// program is built by compiling this whole file once a stage with a prelude
// put in front of it by the GPU layer:
//
//   #version 320 es
//   #define ZANTO_VERTEX_STAGE 1   or   #define ZANTO_FRAGMENT_STAGE 1
//   #define ZANTO_ENTRY <entry function>
//   #define ZANTO_PROGRAM_<fragment function> 1   (in both stages of a program)
//   #line 1
//
// `main` at the end of the file calls ZANTO_ENTRY: vertex entries are
// `void f()`, fragment entries `vec4 f()` returning the pixel. Without
// ZANTO_ENTRY (the library's compile check) `main` does nothing. Keep the
// #version line out of this file.
//
// Specialisation: the renderer compiles the marker's fragment functions with
// ZANTO_SPECIALISED and the FEATURE_* constants below worked out from the
// parameter blocks of the draw, so that the compiler drops every feature the
// marker does not use (software rasterisers run both sides of a branch). A
// constant of -1 (the default, as in the library's own compile check) leaves
// the decision to the block's value at run time.
//
// Coordinates: gl_FragCoord.xy is in target pixels with the origin at the top
// left (row 0 of the texture memory is the picture's top row), the same space
// as the packed positions. Every fragment function returns premultiplied
// colour; the marker passes run without blending, so what is returned is the
// pixel.

precision highp float;
precision highp int;

#ifndef ZANTO_SPECIALISED
#define FEATURE_RING_STYLE -1      // 0...7, or 8 when the rings are invisible
#define FEATURE_MULTIPLE -1        // rings at every point
#define FEATURE_POINTS -1          // points in use, 0...12
#define FEATURE_LINE_MODE -1       // 0 none, 1 chain, 2 hull outline
#define FEATURE_HULL -1            // hull points, 0...12
#define FEATURE_FILL -1            // hull or shape fill
#define FEATURE_SPACE -1           // space shape 0...5
#define FEATURE_ARROW -1           // arrow mode 0...5
#define FEATURE_TRAIL -1           // a trail of two or more slots
#define FEATURE_KEY -1             // keyed to the turf
#define FEATURE_PREVIEW -1         // key preview
#define FEATURE_WAVES -1           // moving waves
#endif
// The parts of the marker a draw shades (1 space shape, 2 hull, 4 lines,
// 8 trail, 16 rings, 32 arrows), for a draw over pixels where the others
// draw nothing; -1, all of them.
#ifndef FEATURE_PARTS
#define FEATURE_PARTS -1
#endif

#define PI 3.14159265359
#define TAU 6.28318530718

// ---------------------------------------------------------------------------
// Parameter blocks, read by the fragment functions and by the vertex
// function, which bounds the marker, exactly as packed by the renderer (four-float vectors).

// Fragment bytes 0 of the marker pass.
layout(std140, binding = 0) uniform MarkerUniforms {
    vec4 color1;
    vec4 color2;
    vec4 geometry;      // position px, size px, perspective
    vec4 shape;         // thickness px, segments, gap, ring angle
    vec4 look;          // glow, opacity, scale, wobble
    vec4 points01;
    vec4 points23;
    vec4 hull01;
    vec4 hull23;
    vec4 tactics;       // point count, line mode, line width px, line opacity
    vec4 fill;          // fill opacity, hull count, multiple rings, ground shadow
    vec4 tacticalColor;
    vec4 points45;
    vec4 points67;
    vec4 points89;
    vec4 pointsAB;
    vec4 hull45;
    vec4 hull67;
    vec4 hull89;
    vec4 hullAB;
    vec4 arrowEnds;     // start px, end px
    vec4 arrowShape;    // width px, head share, depth px, perspective
    vec4 arrowStyle;    // mode, phase, spacing px, opacity
    vec4 arrowColor;
    vec4 arrowPath;     // arc height px, draw share, trail length, ring style
    vec4 arcOptions;    // dash px (0 solid), dash gap px, arc motion, arc phase
} M;

// Fragment bytes 1 of the marker pass.
layout(std140, binding = 1) uniform GroundUniforms {
    vec4 space;         // mode, width px, height px, feather px
    vec4 key;           // turf colour
    vec4 mask;          // ground only, tolerance, softness, preview
    vec4 viewport;      // target width, height
    vec4 ringSizes03;
    vec4 ringSizes47;
    vec4 ringSizes8B;
    vec4 vision;        // angle (radians), corridor px, perspective, lane ends
    vec4 wave;          // phase, spacing, strength, width
} G;

// Fragment bytes 2 of the marker pass: the ring trail.
layout(std140, binding = 2) uniform TrailUniforms {
    vec4 trail[131];    // header (width px, opacity, tail width, glow),
                        // colour with alpha, 128 slots (x px, y px, -, used
                        // when above 0.5), tail (style, tail alpha, head
                        // alpha, number of used slots)
} T;

// Cutout pass: fragment bytes 0 and 1.
layout(std140, binding = 0) uniform CutoutUniforms {
    vec4 points;        // source x, y, target x, y (normalised, y up)
    vec4 look;          // scale, opacity
} C;
layout(std140, binding = 1) uniform CutoutTarget {
    vec2 size;          // target width, height in pixels
} CT;

// Label pass: fragment bytes 0, the label's frame on the target in pixels.
layout(std140, binding = 0) uniform LabelFrame {
    vec4 frame;         // x, y of the top-left corner, width, height
} LF;

// Fragment texture 0: the source frame, the cutout source or the label.
// Sampling state (linear, clamp to edge) belongs to the texture.
#ifdef ZANTO_FRAGMENT_STAGE
layout(binding = 0) uniform highp sampler2D picture;

out vec4 zantoColor;
#endif

// ---------------------------------------------------------------------------
// Small helpers.

float saturate(float v) { return clamp(v, 0.0, 1.0); }

// Lays colour `rgb` with coverage `a` over the premultiplied `acc`.
void over(inout vec4 acc, vec3 rgb, float a)
{
    a = saturate(a);
    acc = vec4(clamp(rgb, 0.0, 1.0) * a, a) + acc * (1.0 - a);
}


float luminance(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

// Glow beyond an edge `d` pixels away: an exponential that reaches exactly
// zero at four widths, so glows never leave a faint veil far from a mark.
float falloff(float d, float width)
{
    d = max(d, 0.0);
    return exp(-d / width) * (1.0 - smoothstep(2.5 * width, 4.0 * width, d));
}

// How flat a circle on the turf looks: the packed perspective 0.05...1 turns
// into the ratio of the ellipse's height to its width.
float groundRatio(float perspective)
{
    return mix(0.62, 0.14, saturate(perspective));
}

// From screen offset to turf offset (the ellipse becomes a circle).
vec2 toGround(vec2 d, float ratio) { return vec2(d.x, d.y / ratio); }

float segmentDistance(vec2 p, vec2 a, vec2 b, out float t)
{
    vec2 ab = b - a;
    t = saturate(dot(p - a, ab) / max(dot(ab, ab), 1e-6));
    return length(p - a - ab * t);
}

vec2 pairPoint(vec4 pair, int i) { return (i & 1) == 0 ? pair.xy : pair.zw; }

vec2 playerPoint(int i)
{
    int k = i >> 1;
    vec4 pair = k == 0 ? M.points01 : k == 1 ? M.points23 : k == 2 ? M.points45
              : k == 3 ? M.points67 : k == 4 ? M.points89 : M.pointsAB;
    return pairPoint(pair, i);
}

vec2 hullPoint(int i)
{
    int k = i >> 1;
    vec4 pair = k == 0 ? M.hull01 : k == 1 ? M.hull23 : k == 2 ? M.hull45
              : k == 3 ? M.hull67 : k == 4 ? M.hull89 : M.hullAB;
    return pairPoint(pair, i);
}

float ringSize(int i)
{
    vec4 group = i < 4 ? G.ringSizes03 : i < 8 ? G.ringSizes47 : G.ringSizes8B;
    int lane = i & 3;
    return lane == 0 ? group.x : lane == 1 ? group.y : lane == 2 ? group.z : group.w;
}

int pointCount() { return FEATURE_POINTS >= 0 ? FEATURE_POINTS : clamp(int(M.tactics.x + 0.5), 0, 12); }
int ringStyle() { return FEATURE_RING_STYLE >= 0 ? FEATURE_RING_STYLE : int(M.arrowPath.w + 0.5); }
bool ringsVisible() { return FEATURE_RING_STYLE >= 0 ? FEATURE_RING_STYLE != 8 : M.look.y > 0.0; }
bool multipleRings() { return FEATURE_MULTIPLE >= 0 ? FEATURE_MULTIPLE == 1 : M.fill.z > 0.5; }
int lineMode() { return FEATURE_LINE_MODE >= 0 ? FEATURE_LINE_MODE : int(M.tactics.y + 0.5); }
int hullCount() { return FEATURE_HULL >= 0 ? FEATURE_HULL : clamp(int(M.fill.y + 0.5), 0, 12); }
bool filled() { return FEATURE_FILL >= 0 ? FEATURE_FILL == 1 : M.fill.x > 0.0; }
int spaceMode() { return FEATURE_SPACE >= 0 ? FEATURE_SPACE : int(G.space.x + 0.5); }
int arrowMode() { return FEATURE_ARROW >= 0 ? FEATURE_ARROW : int(M.arrowStyle.x + 0.5); }
bool keyed() { return FEATURE_KEY >= 0 ? FEATURE_KEY == 1 : G.mask.x > 0.5; }
bool keyPreview() { return FEATURE_PREVIEW >= 0 ? FEATURE_PREVIEW == 1 : G.mask.w > 0.5; }
bool wavesOn() { return FEATURE_WAVES >= 0 ? FEATURE_WAVES == 1 : G.wave.z > 0.0; }
float ringRadius() { return max(M.geometry.z * 0.6 + M.look.w * M.look.z, 1.0); }
float arcLineWidth() { return max(M.arrowShape.x * 0.07, 2.0); }
float ringThickness() { return max(M.shape.x * 0.75, 1.5); }
// A trail slot holds a point of the run only when it is marked used; hosts
// may leave unused slots between used ones, and those hold no point.
bool trailSlotUsed(int i) { return T.trail[i + 2].w > 0.5; }
// How far from its centre a ring of radius r draws anything on the turf:
// pulses run out to 1.7 r, ticks to 1.3 r, glow fades out within four
// widths of 0.8 thickness beyond the band's edge.
float ringReach(float r) { return r * 1.75 + ringThickness() * 4.0 + 10.0; }
// The looping clock of the marker, 0...1: one turn of the ring angle, so a
// marker whose speed is 0 stands still.
float loopPhase() { return fract(M.shape.w / TAU); }

// Signed distance to a polygon given by hull points or player points
// (negative inside), any winding.
float polygonDistance(vec2 p, bool hull, int count)
{
    vec2 first = hull ? hullPoint(0) : playerPoint(0);
    float d = dot(p - first, p - first);
    float s = 1.0;
    vec2 previous = hull ? hullPoint(count - 1) : playerPoint(count - 1);
    for (int i = 0; i < count; ++i) {
        vec2 current = hull ? hullPoint(i) : playerPoint(i);
        vec2 e = previous - current;
        vec2 w = p - current;
        vec2 b = w - e * saturate(dot(w, e) / max(dot(e, e), 1e-6));
        d = min(d, dot(b, b));
        bvec3 c = bvec3(p.y >= current.y, p.y < previous.y, e.x * w.y > e.y * w.x);
        if (all(c) || all(not(c)))
            s = -s;
        previous = current;
    }
    return s * sqrt(d);
}

// Distance to the quadratic curve a-b-c and the curve parameter of the
// nearest point (closed form of the cubic's real roots).
float bezierDistance(vec2 pos, vec2 A, vec2 B, vec2 Cc, out float tNear)
{
    vec2 a = B - A;
    vec2 b = A - 2.0 * B + Cc;
    vec2 c = a * 2.0;
    vec2 d = A - pos;
    float kk = 1.0 / max(dot(b, b), 1e-6);
    float kx = kk * dot(a, b);
    float ky = kk * (2.0 * dot(a, a) + dot(d, b)) / 3.0;
    float kz = kk * dot(d, a);
    float p = ky - kx * kx;
    float p3 = p * p * p;
    float q = kx * (2.0 * kx * kx - 3.0 * ky) + kz;
    float h = q * q + 4.0 * p3;
    float res;
    if (h >= 0.0) {
        h = sqrt(h);
        vec2 x = (vec2(h, -h) - q) / 2.0;
        vec2 uv = sign(x) * pow(abs(x), vec2(1.0 / 3.0));
        float t = saturate(uv.x + uv.y - kx);
        vec2 q2 = d + (c + b * t) * t;
        res = dot(q2, q2);
        tNear = t;
    } else {
        float z = sqrt(-p);
        float v = acos(clamp(q / (p * z * 2.0), -1.0, 1.0)) / 3.0;
        float m = cos(v);
        float n = sin(v) * 1.732050808;
        vec3 t = clamp(vec3(m + m, -n - m, n - m) * z - kx, 0.0, 1.0);
        vec2 q1 = d + (c + b * t.x) * t.x;
        vec2 q2 = d + (c + b * t.y) * t.y;
        float d1 = dot(q1, q1);
        float d2 = dot(q2, q2);
        res = min(d1, d2);
        tNear = d1 < d2 ? t.x : t.y;
    }
    return sqrt(res);
}

// ---------------------------------------------------------------------------
// The vertex function: one triangle over the part of the target the marker
// can touch. Unspecialised, and for every program but the marker and overlay
// passes (the ground pass shows the whole frame, the label and cutout passes
// place themselves), it covers the whole target. Pixels left out stay
// transparent black, as a discarded pixel would; software rasterisers then
// shade a small part of the picture instead of all of it.

#ifdef ZANTO_VERTEX_STAGE

void include(inout vec4 box, vec2 p) { box = vec4(min(box.xy, p), max(box.zw, p)); }

void includeAround(inout vec4 box, vec2 p, vec2 reach)
{
    include(box, p - reach);
    include(box, p + reach);
}

// Pixels x0, y0, x1, y1 that hold everything the marker draws.
vec4 markerBounds()
{
    vec2 size = max(G.viewport.xy, vec2(1.0));
    vec4 whole = vec4(0.0, 0.0, size);
    if (ringStyle() == 6 || keyPreview())
        return whole;   // spotlight darkness and the key preview cover the picture
    vec4 box = vec4(1e9, 1e9, -1e9, -1e9);
    float reachExtra = 0.0;
    include(box, M.geometry.xy);
    int count = pointCount();
    for (int i = 0; i < count; ++i)
        include(box, playerPoint(i));
    int corners = hullCount();
    for (int i = 0; i < corners; ++i)
        include(box, hullPoint(i));
    vec2 a = M.arrowEnds.xy;
    vec2 b = M.arrowEnds.zw;
    include(box, a);
    include(box, b);
    if (arrowMode() == 4) {
        // The flight rises at most its height above the lower of its ends.
        include(box, a - vec2(0.0, M.arrowPath.x));
        include(box, b - vec2(0.0, M.arrowPath.x));
    }
    if (arrowMode() == 5)
        includeAround(box, (a + b) * 0.5, vec2(length(b - a) * 0.3));
    int space = spaceMode();
    if (space == 1 || space == 2)
        includeAround(box, M.geometry.xy, G.space.yz * 0.5 + G.space.w);
    if (space == 4) {
        // The cone's far arc, sampled on the turf and brought back to the
        // screen; the samples miss at most 2% of its length between them.
        float ratio = mix(1.0, 0.3, saturate(G.vision.z));
        vec2 axis = toGround(b - a, ratio);
        float len = max(length(axis), 8.0);
        float halfAngle = clamp(G.vision.x, 0.17, 2.8) * 0.5;
        float base = atan(axis.y, axis.x);
        for (int i = 0; i <= 8; ++i) {
            float angle = base + halfAngle * (float(i) / 4.0 - 1.0);
            vec2 far = vec2(cos(angle), sin(angle)) * len * 1.02;
            include(box, a + vec2(far.x, far.y * ratio));
        }
        reachExtra = len * 0.02 + 24.0;
    }
    if (FEATURE_TRAIL != 0) {
        int used = clamp(int(T.trail[130].w + 0.5), 0, 128);
        int seen = 0;
        for (int i = 0; i < 128 && seen < used; ++i) {
            if (!trailSlotUsed(i))
                continue;
            include(box, T.trail[i + 2].xy);
            ++seen;
        }
    }
    // The widest reach of the marker's features beyond their points: rings
    // with their pulse and glow, lines, arrows and arcs with their heads,
    // lanes, trails, soft edges.
    float reach = 24.0 + max(M.tactics.z * 1.5, 0.0);
    if (ringsVisible()) {
        float largest = 1.0;
        if (multipleRings())
            for (int i = 0; i < count; ++i)
                largest = max(largest, ringSize(i));
        reach = max(reach, ringReach(ringRadius() * largest) + 4.0);
    }
    if (arrowMode() == 4)
        reach = max(reach, arcLineWidth() * 8.0 + 44.0);
    else if (arrowMode() > 0)
        // Seen flat, the turf's lengths shrink up to `ratio`-fold on the
        // screen, so what lies a ground distance beyond an end may lie that
        // much farther away in pixels.
        reach = max(reach, (M.arrowShape.x * 1.3 + max(M.arrowShape.z, 0.0) * 0.3 + 24.0) /
                               mix(1.0, 0.3, saturate(M.arrowShape.w)));
    if (space == 5)
        reach = max(reach, G.vision.y * 1.5 + 24.0);
    if (FEATURE_TRAIL != 0)
        reach = max(reach, T.trail[0].x * 4.0 + 16.0);
    reach += max(G.space.w, 0.0) + reachExtra + 8.0;
    box = vec4(box.xy - reach, box.zw + reach);
    box = vec4(max(box.xy, vec2(0.0)), min(box.zw, size));
    // Anything not finite, or nothing left: the whole target, to be safe.
    bool usable = all(lessThan(box.xy, box.zw)) && all(lessThan(abs(box), vec4(1e8)));
    return usable ? vec4(floor(box.xy), ceil(box.zw)) : whole;
}

void markerVertex()
{
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
#if defined(ZANTO_SPECIALISED) && (defined(ZANTO_PROGRAM_markerFragment) || defined(ZANTO_PROGRAM_groundOverlayFragment))
    // The triangle (x0, y0), (2 x1 - x0, y0), (x0, 2 y1 - y0) holds the box.
    vec4 box = markerBounds();
    vec2 pixel = box.xy + corner * (box.zw - box.xy);
    gl_Position = vec4(pixel / max(G.viewport.xy, vec2(1.0)) * 2.0 - 1.0, 0.0, 1.0);
#else
    // (-1, -1), (3, -1), (-1, 3): the whole target.
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
#endif
}

#endif

#ifdef ZANTO_FRAGMENT_STAGE

// Coverage of a signed distance (negative inside), antialiased over the
// distance's own screen-space rate of change.
float cover(float d, float w)
{
    return saturate(0.5 - d / max(w, 1e-4));
}

// ---------------------------------------------------------------------------
// Rings.

// Segments of a ring: signed distance along the ring to the nearest segment
// (negative on a segment), for turf offset g and ring radius r.
float segmentMask(vec2 g, float r, float angle)
{
    float n = max(M.shape.y, 2.0);
    float gap = saturate(M.shape.z);
    float f = fract((atan(g.y, g.x) + angle) / TAU * n);
    return (abs(f - 0.5) - (1.0 - gap) * 0.5) * TAU * r / n;
}

void drawRing(inout vec4 acc, vec2 p, vec2 c, float r, float alpha, int style)
{
    float ratio = groundRatio(M.geometry.w);
    float thick = ringThickness();
    float reach = ringReach(r);
    vec2 dp = p - c;
    if (abs(dp.x) > reach || abs(dp.y) > reach * ratio + 2.0)
        return;
    vec2 g = toGround(dp, ratio);
    float d = length(g);
    float aa = fwidth(d);
    vec3 main = M.color1.rgb;
    alpha *= M.color1.a;
    float glow = max(M.look.x, 0.0);

    // Soft shadow and a faint disc on the turf inside the ring.
    float shadow = M.fill.w;
    if (shadow > 0.0)
        over(acc, vec3(0.0), shadow * 0.45 * alpha * (1.0 - smoothstep(r * 0.2, r * 1.15, d)));
    if (style == 1 || style == 7)
        over(acc, main, 0.16 * alpha * (1.0 - smoothstep(r * 0.3, r, d)));

    float band = abs(d - r) - thick * 0.5;
    // Glow around the band.
    if (glow > 0.0)
        over(acc, main, glow * 0.5 * alpha * falloff(band, thick * 0.8 + 2.0));

    if (style == 2) {
        over(acc, main, alpha * cover(band, aa));
        over(acc, M.color2.rgb, 0.7 * alpha * M.color2.a * cover(abs(d - r) - thick * 0.12, aa));
        return;
    }
    if (style == 4) {
        // Two thin rings and a wave running outward.
        over(acc, main, alpha * cover(abs(d - r) - thick * 0.22, aa));
        over(acc, main, alpha * cover(abs(d - r * 0.72) - thick * 0.18, aa));
        float wave = loopPhase();
        over(acc, main, alpha * (1.0 - wave) * cover(abs(d - r * (1.0 + 0.7 * wave)) - thick * 0.2, aa));
        return;
    }
    float seg = segmentMask(g, r, M.shape.w);
    float segAA = fwidth(seg);
    float segmentCover = cover(max(band, seg), max(aa, segAA));
    over(acc, main, alpha * segmentCover);
    // A thin solid inner ring in the second colour keeps the ring readable
    // through the gaps.
    float inner = abs(d - (r - thick * 0.95)) - max(thick * 0.12, 0.7);
    over(acc, M.color2.rgb, 0.85 * alpha * M.color2.a * cover(inner, aa));
    if (style == 1 || style == 7) {
        float wave = loopPhase();
        float pulse = abs(d - r * (1.0 + 0.55 * wave)) - thick * 0.15;
        over(acc, main, 0.55 * alpha * (1.0 - wave) * cover(pulse, aa));
    }
    if (style == 5) {
        // Four ticks pointing in, like a sight.
        vec2 a = abs(g);
        float tick = max(min(a.x, a.y) - thick * 0.2, abs(max(a.x, a.y) - r * 1.3) - thick * 0.5);
        over(acc, M.color2.rgb, alpha * cover(tick, fwidth(tick)));
    }
}

// Small dots at the points, for marks whose ring style draws no rings.
void drawDot(inout vec4 acc, vec2 p, vec2 c, float alpha)
{
    float ratio = groundRatio(M.geometry.w);
    float r = max(M.shape.x * 0.45, 3.0);
    vec2 dp = p - c;
    if (abs(dp.x) > r + 4.0 || abs(dp.y) > r + 4.0)
        return;
    float d = length(toGround(dp, ratio)) - r;
    float aa = fwidth(d);
    over(acc, vec3(1.0), alpha * cover(d - 1.5, aa));
    over(acc, M.tacticalColor.rgb, alpha * cover(d, aa));
}

// The point whose ring edge (radius r times its ring size) lies nearest to
// p on the turf. Rings are drawn for that point alone: a pixel belongs to one
// ring, and one ring costs a fraction of all of them.
int nearestRing(vec2 p, float r, int count)
{
    float ratio = groundRatio(M.geometry.w);
    int nearest = 0;
    float best = 1e9;
    for (int i = 0; i < count; ++i) {
        float d = abs(length(toGround(p - playerPoint(i), ratio)) - r * ringSize(i));
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    return nearest;
}

// The spotlight: darkness around the players, a beam of light from above
// and a bright rim on the turf.
void drawSpotlight(inout vec4 acc, vec2 p, bool multiple, int count, float alpha)
{
    float ratio = groundRatio(M.geometry.w);
    float r = ringRadius() * 1.25;
    int lights = multiple ? max(count, 1) : 1;
    float lit = 0.0;
    float beam = 0.0;
    float body = 0.0;
    for (int i = 0; i < lights; ++i) {
        vec2 c = multiple && count > 0 ? playerPoint(i) : M.geometry.xy;
        float ri = multiple && count > 0 ? r * ringSize(i) : r;
        float d = length(toGround(p - c, ratio));
        lit = max(lit, 1.0 - smoothstep(ri * 0.95, ri * 1.6, d));
        // The player standing in the light rises above the lit turf: the
        // darkness leaves out a soft upright oval over his feet.
        float upright = length((p - c + vec2(0.0, 0.9 * ri)) / vec2(0.6 * ri, 1.3 * ri));
        body = max(body, 1.0 - smoothstep(0.45, 1.0, upright));
        // The beam widens from a narrow source above the top of the picture
        // down to the ring.
        float depth = saturate((p.y + ri) / max(c.y + ri, 1.0));
        float halfWidth = mix(ri * 0.35, ri, depth);
        float across = abs(p.x - c.x) / halfWidth;
        float below = smoothstep(c.y + ri * ratio * 0.2, c.y - ri * ratio * 0.4, p.y);
        beam = max(beam, pow(saturate(1.0 - across), 0.8) * (0.35 + 0.65 * depth) * below);
    }
    // Light stays faint where the player stands in it, so that the player
    // keeps his colours and is what the eye finds.
    over(acc, vec3(0.0), 0.55 * alpha * (1.0 - max(lit, body)));
    over(acc, mix(M.color1.rgb, vec3(1.0), 0.6), 0.16 * alpha * beam * (1.0 - 0.7 * body));
    over(acc, mix(M.color1.rgb, vec3(1.0), 0.3), 0.12 * alpha * lit);
    if (multiple && count > 0) {
        int i = nearestRing(p, r, count);
        drawRing(acc, p, playerPoint(i), r * ringSize(i), alpha, 2);
    } else {
        drawRing(acc, p, M.geometry.xy, r, alpha, 2);
    }
}

void drawRings(inout vec4 acc, vec2 p)
{
    if (!ringsVisible())
        return;
    int style = ringStyle();
    float alpha = saturate(M.look.y);
    bool multiple = multipleRings();
    int count = pointCount();
    if (style == 6) {
        drawSpotlight(acc, p, multiple, count, alpha);
        return;
    }
    if (style == 3) {
        if (multiple && count > 0)
            drawDot(acc, p, playerPoint(nearestRing(p, 0.0, count)), alpha);
        return;
    }
    float r = ringRadius();
    if (!multiple) {
        drawRing(acc, p, M.geometry.xy, r, alpha, style);
        return;
    }
    if (count > 0) {
        int i = nearestRing(p, r, count);
        drawRing(acc, p, playerPoint(i), r * ringSize(i), alpha, style);
    }
}

// ---------------------------------------------------------------------------
// Lines between the players, the hull and its fill.

void drawLines(inout vec4 acc, vec2 p)
{
    int count = pointCount();
    if (lineMode() != 1 || count < 2)
        return;
    float alpha = saturate(M.tactics.w) * M.tacticalColor.a;
    float ratio = groundRatio(M.geometry.w);
    float r = ringRadius();
    bool rings = multipleRings() && ringStyle() != 3;
    float width = max(M.tactics.z * 1.2, 1.6);
    // Only the nearest line is shaded: lines meet only at the rings.
    float best = 1e9;
    vec2 a = playerPoint(0);
    float ra = rings ? r * ringSize(0) : 0.0;
    for (int i = 1; i < count; ++i) {
        vec2 b = playerPoint(i);
        float rb = rings ? r * ringSize(i) : 0.0;
        // Lines start and end at the rings' edges on the turf.
        float groundLength = max(length(toGround(b - a, ratio)), 1.0);
        float t0 = saturate(ra / groundLength);
        float t1 = 1.0 - saturate(rb / groundLength);
        float t;
        float d = segmentDistance(p, mix(a, b, t0), mix(a, b, t1), t);
        best = t1 > t0 ? min(best, d) : best;
        a = b;
        ra = rb;
    }
    float d = best - width * 0.5;
    if (d > 16.0)
        return;
    over(acc, M.tacticalColor.rgb, alpha * 0.35 * falloff(d, 3.0));
    over(acc, M.tacticalColor.rgb, alpha * cover(d, fwidth(d)));
}

void drawHull(inout vec4 acc, vec2 p, bool withFill)
{
    int corners = hullCount();
    bool outline = lineMode() == 2;
    bool fills = withFill && filled();
    if (corners < 2 || !(fills || outline))
        return;
    float fillAlpha = fills ? saturate(M.fill.x) * M.tacticalColor.a : 0.0;
    float lineAlpha = outline ? saturate(M.tactics.w) * M.tacticalColor.a : 0.0;
    float width = max(M.tactics.z * 1.2, 1.6);
    float d;
    bool area = corners > 2;
    if (!area) {
        float t;
        d = segmentDistance(p, hullPoint(0), hullPoint(1), t);
    } else {
        d = polygonDistance(p, true, corners);
    }
    float aa = fwidth(d);
    if (area && fills) {
        // Slow diagonal stripes give the area texture without hiding play.
        float stripe = 0.82 + 0.18 * step(0.5, fract((p.x + p.y) / (18.0 * max(M.look.z, 0.3)) - loopPhase()));
        over(acc, M.tacticalColor.rgb, fillAlpha * stripe * cover(d, aa));
    }
    if (outline) {
        float edge = abs(d) - width * 0.5;
        over(acc, M.tacticalColor.rgb, lineAlpha * 0.3 * falloff(edge, 3.0));
        over(acc, M.tacticalColor.rgb, lineAlpha * cover(edge, aa));
    }
}

// ---------------------------------------------------------------------------
// Space shapes, passing lanes and vision cones on the turf.

// Bright bands running across a shape; u is a distance in pixels.
float waves(float u, float size)
{
    if (!wavesOn())
        return 0.0;
    float strength = G.wave.z;
    float spacing = max(G.wave.y * size, 4.0);
    float f = fract(u / spacing - G.wave.x);
    return strength * (1.0 - smoothstep(0.0, max(G.wave.w, 0.02), abs(f - 0.5) * 2.0 - (1.0 - G.wave.w)));
}

// Fill and border of a shape of signed distance d; `inner` 0...1 shades the
// fill (1 at the rim).
void shadeShape(inout vec4 acc, float d, float inner, float u, float size)
{
    float fillAlpha = saturate(M.fill.x) * M.tacticalColor.a;
    float lineAlpha = saturate(M.tactics.w) * M.tacticalColor.a;
    float feather = max(G.space.w, 0.5);
    float aa = fwidth(d);
    float inside = saturate(0.5 - d / max(feather + aa, 1e-3));
    vec3 colour = M.tacticalColor.rgb;
    over(acc, colour, fillAlpha * (0.65 + 0.35 * inner) * inside);
    over(acc, mix(colour, vec3(1.0), 0.5), waves(u, size) * inside * max(fillAlpha * 2.0, 0.2));
    float width = max(M.tactics.z * 1.5, 2.0);
    float edge = abs(d) - width * 0.5;
    over(acc, colour, lineAlpha * 0.3 * falloff(edge, 3.0));
    over(acc, colour, lineAlpha * cover(edge, aa));
}

void drawSpaceCircle(inout vec4 acc, vec2 p)
{
    vec2 radii = max(G.space.yz * 0.5, vec2(1.0));
    vec2 q = (p - M.geometry.xy) / radii;
    float k = length(q);
    float d = (k - 1.0) * min(radii.x, radii.y);
    if (d > 16.0)
        return;
    shadeShape(acc, d, smoothstep(0.2, 1.0, k), k * min(radii.x, radii.y), min(radii.x, radii.y));
    // A dashed ring just inside the rim turns slowly with the marker.
    float angle = atan(q.y, q.x) + M.shape.w * 0.25;
    float dash = abs(fract(angle / TAU * 36.0) - 0.5) - 0.22;
    float ringD = max(abs(d + 7.0 * max(M.look.z, 0.5)) - 1.2, dash * TAU * min(radii.x, radii.y) / 36.0);
    over(acc, vec3(1.0), 0.55 * saturate(M.tactics.w) * cover(ringD, fwidth(ringD)));
}

void drawSpaceRectangle(inout vec4 acc, vec2 p)
{
    // A rectangle lying on the turf: its far side is narrower.
    vec2 halfSize = max(G.space.yz * 0.5, vec2(1.0));
    vec2 c = M.geometry.xy;
    float narrow = 1.0 - 0.45 * saturate(M.geometry.w);
    vec2 q = p - c;
    float halfWidth = halfSize.x * mix(narrow, 1.0, saturate((q.y + halfSize.y) / (2.0 * halfSize.y)));
    float dx = abs(q.x) - halfWidth;
    float dy = abs(q.y) - halfSize.y;
    float d = length(max(vec2(dx, dy), 0.0)) + min(max(dx, dy), 0.0);
    if (d > 16.0)
        return;
    shadeShape(acc, d, smoothstep(-min(halfSize.x, halfSize.y), 0.0, d), q.y + halfSize.y, halfSize.y * 2.0);
    // Corner brackets.
    float arm = min(halfSize.x, halfSize.y) * 0.35;
    vec2 corner = vec2(abs(q.x) - halfWidth, abs(q.y) - halfSize.y);
    float bracket = max(abs(d) - max(M.tactics.z * 2.0, 3.0), max(-corner.x, -corner.y) - arm);
    over(acc, vec3(1.0), 0.75 * saturate(M.tactics.w) * cover(bracket, fwidth(bracket)));
}

void drawSpacePolygon(inout vec4 acc, vec2 p)
{
    int count = pointCount();
    if (count < 2)
        return;
    if (count == 2) {
        float t;
        float d = segmentDistance(p, playerPoint(0), playerPoint(1), t) - max(M.tactics.z, 1.0);
        shadeShape(acc, d, 1.0, t, 1.0);
        return;
    }
    float d = polygonDistance(p, false, count);
    if (d > 16.0)
        return;
    shadeShape(acc, d, smoothstep(-60.0 * M.look.z, 0.0, d), -d, 60.0 * max(M.look.z, 0.3));
}

// End of a lane, signed distance: `beyond` is how far past the lane's end
// the point lies. Styles: 0 round, 1 flat, 2 pointed.
float laneEnd(float beyond, float across, float halfWidth, int style)
{
    if (style == 1)
        return beyond;
    if (style == 2)
        return beyond + abs(across) * 0.9 - halfWidth * 0.9;
    return beyond > 0.0 ? length(vec2(beyond, across)) - halfWidth : beyond - halfWidth;
}

void drawPassingLane(inout vec4 acc, vec2 p)
{
    vec2 a = M.arrowEnds.xy;
    vec2 b = M.arrowEnds.zw;
    float ratio = groundRatio(M.geometry.w);
    vec2 ga = toGround(a, ratio);
    vec2 gb = toGround(b, ratio);
    vec2 gp = toGround(p, ratio);
    vec2 axis = gb - ga;
    float len = max(length(axis), 1.0);
    vec2 dir = axis / len;
    vec2 rel = gp - ga;
    float along = dot(rel, dir);
    float across = dot(rel, vec2(-dir.y, dir.x));
    float halfWidth = max(G.vision.y * 0.5, 1.0);
    if (abs(across) > halfWidth + 20.0 || along < -halfWidth - 20.0 || along > len + halfWidth + 20.0)
        return;
    int ends = int(G.vision.w + 0.5);
    int startStyle = ends & 3;
    int endStyle = ends >> 2;
    float side = abs(across) - halfWidth;
    float d = max(side, max(laneEnd(-along, across, halfWidth, startStyle),
                            laneEnd(along - len, across, halfWidth, endStyle)));
    // Distances above are on the turf; bring them back to screen pixels for
    // the edge width and antialiasing.
    d *= mix(ratio, 1.0, abs(dir.y));
    shadeShape(acc, d, saturate(abs(across) / halfWidth), along, len);
    // Chevrons flowing from the passer to the receiver.
    float spacing = max(M.arrowStyle.z, 10.0);
    float chevron = fract((along + abs(across) * 0.6) / spacing - loopPhase());
    float mark = (1.0 - smoothstep(0.0, 0.08, abs(chevron - 0.5) - 0.1)) * saturate(0.5 - d);
    mark *= smoothstep(0.0, spacing * 0.5, along) * smoothstep(0.0, spacing * 0.5, len - along);
    over(acc, mix(M.tacticalColor.rgb, vec3(1.0), 0.6), 0.45 * saturate(M.arrowStyle.w) * mark);
}

void drawVisionCone(inout vec4 acc, vec2 p)
{
    vec2 apex = M.arrowEnds.xy;
    vec2 target = M.arrowEnds.zw;
    float ratio = mix(1.0, 0.3, saturate(G.vision.z));
    vec2 axis = toGround(target - apex, ratio);
    float len = max(length(axis), 8.0);
    vec2 dir = axis / len;
    vec2 q = toGround(p - apex, ratio);
    float r = length(q);
    if (r > len + 24.0)
        return;
    float halfAngle = clamp(G.vision.x, 0.17, 2.8) * 0.5;
    float angle = acos(clamp(dot(q, dir) / max(r, 1e-4), -1.0, 1.0));
    // Signed distance to the wedge: the two rays and the far arc.
    float ray = sin(min(angle - halfAngle, PI * 0.5)) * r;
    if (angle - halfAngle > PI * 0.5)
        ray = r;
    float d = max(ray, r - len);
    d *= mix(ratio, 1.0, 0.5);
    float inner = 1.0 - saturate(r / len);
    shadeShape(acc, d, 1.0 - inner * 0.7, r, len);
    // A light sweep across the cone, back and forth with the marker's clock.
    float sweep = sin(M.shape.w) * halfAngle * 0.8;
    float side = atan(dir.x * q.y - dir.y * q.x, dot(dir, q));
    float beam = (1.0 - smoothstep(0.0, 0.12, abs(side - sweep))) * saturate(0.5 - d);
    over(acc, mix(M.tacticalColor.rgb, vec3(1.0), 0.5), 0.35 * saturate(M.tactics.w) * beam * (0.4 + 0.6 * inner));
    drawDot(acc, p, apex, saturate(M.tactics.w));
}

void drawSpace(inout vec4 acc, vec2 p)
{
    int mode = spaceMode();
    if (mode == 1)
        drawSpaceCircle(acc, p);
    else if (mode == 2)
        drawSpaceRectangle(acc, p);
    else if (mode == 3)
        drawSpacePolygon(acc, p);
    else if (mode == 4)
        drawVisionCone(acc, p);
    else if (mode == 5)
        drawPassingLane(acc, p);
}

// ---------------------------------------------------------------------------
// The ring trail: the player's run painted on the turf behind the ring.

void drawTrail(inout vec4 acc, vec2 p)
{
    if (FEATURE_TRAIL == 0)
        return;
    int used = clamp(int(T.trail[130].w + 0.5), 0, 128);
    if (used < 2)
        return;
    float ratio = groundRatio(M.geometry.w);
    // One walk over the used slots, in slot order: the run's whole length and
    // the nearest point of it on the turf, with how far along the run it lies.
    vec2 gp = toGround(p, ratio);
    float best = 1e9;
    float bestU = 0.0;
    float walked = 0.0;
    vec2 previous = vec2(0.0);
    int seen = 0;
    for (int i = 0; i < 128 && seen < used; ++i) {
        if (!trailSlotUsed(i))
            continue;
        vec2 current = toGround(T.trail[i + 2].xy, ratio);
        if (seen > 0) {
            float t;
            float d = segmentDistance(gp, previous, current, t);
            float segment = length(current - previous);
            if (d < best) {
                best = d;
                bestU = walked + t * segment;
            }
            walked += segment;
        }
        previous = current;
        ++seen;
    }
    float total = walked;
    if (total <= 0.0)
        return;
    float shown = saturate(M.arrowPath.z);
    float start = total * (1.0 - shown);
    float width = max(T.trail[0].x, 0.5);
    if (bestU < start || best > width * 3.0 + 12.0)
        return;
    float tailWidth = saturate(T.trail[0].z);
    float glowShare = saturate(T.trail[0].w);
    float opacity = saturate(T.trail[0].y) * saturate(T.trail[1].a) * saturate(M.look.y);
    vec3 colour = T.trail[1].rgb;
    int style = int(T.trail[130].x + 0.5);
    float tailAlpha = T.trail[130].y;
    float headAlpha = T.trail[130].z;
    if (tailAlpha == 0.0 && headAlpha == 0.0) {
        tailAlpha = 0.4;
        headAlpha = 1.0;
    }
    float u = (bestU - start) / max(total - start, 1.0);
    float halfWidth = width * 0.5 * mix(tailWidth, 1.0, u);
    float d = (best - halfWidth) * ratio;
    float aa = max(fwidth(d), 0.5);
    float alpha = opacity * mix(tailAlpha, headAlpha, u);
    // Style 2 always glows; the header's glow share adds a glow to any style.
    float glow = style == 2 ? max(0.45, glowShare) : glowShare;
    if (glow > 0.0)
        over(acc, colour, alpha * glow * falloff(d, width * 0.35 + 2.0));
    float body = cover(d, aa);
    if (style == 1)
        body *= step(0.45, fract(bestU / (width * 2.5)));
    over(acc, colour, alpha * body);
    // Pulses running toward the player.
    float pulse = fract(bestU / (width * 5.0) - loopPhase() * 2.0);
    over(acc, vec3(1.0), 0.35 * alpha * body * smoothstep(0.75, 1.0, pulse));
}

// ---------------------------------------------------------------------------
// Arrows on the turf and the lofted arc.

vec3 haloColour(vec3 c) { return luminance(c) < 0.45 ? vec3(1.0) : vec3(0.0); }

// Head of an arrow at `tip` pointing along `dir`; signed distance.
float arrowHead(vec2 p, vec2 tip, vec2 dir, float len, float halfWidth)
{
    vec2 rel = p - tip;
    float along = -dot(rel, dir);
    float across = abs(dot(rel, vec2(-dir.y, dir.x)));
    float edge = (across - halfWidth * (along / len)) * len / length(vec2(len, halfWidth));
    return max(max(edge, -along), along - len);
}

void drawLoftedArc(inout vec4 acc, vec2 p)
{
    vec2 s = M.arrowEnds.xy;
    vec2 e = M.arrowEnds.zw;
    float height = M.arrowPath.x;
    float share = saturate(M.arrowPath.y);
    float alpha = saturate(M.arrowStyle.w) * M.arrowColor.a;
    if (alpha <= 0.0 || share <= 0.0)
        return;
    vec2 control = (s + e) * 0.5 + vec2(0.0, -2.0 * height);
    float lw = arcLineWidth();
    vec2 lo = min(min(s, e), control) - vec2(lw * 8.0 + 40.0);
    vec2 hi = max(max(s, e), control) + vec2(lw * 8.0 + 40.0);
    if (any(lessThan(p, lo)) || any(greaterThan(p, hi)))
        return;
    vec3 colour = M.arrowColor.rgb;
    float shadow = M.fill.w;
    float ratio = groundRatio(M.geometry.w);

    // The ball's shadow line on the turf, straight from kick to landing.
    float tg;
    float ds = segmentDistance(p, s, mix(s, e, share), tg);
    if (shadow > 0.0)
        over(acc, vec3(0.0), shadow * 0.5 * alpha * exp(-ds * ds / (lw * lw * 1.5)));
    // Kick point and landing spot on the turf.
    float kick = length(toGround(p - s, ratio)) - lw * 2.2;
    over(acc, colour, 0.7 * alpha * cover(abs(kick) - lw * 0.35, fwidth(kick)));
    float landing = length(toGround(p - e, ratio)) - lw * 5.0;
    float landingSeg = abs(fract(atan(p.y - e.y, (p.x - e.x) * ratio) / TAU * 16.0 + loopPhase()) - 0.5) - 0.25;
    float landingD = max(abs(landing) - lw * 0.45, landingSeg * lw * 5.0);
    over(acc, colour, alpha * smoothstep(0.9, 1.0, share) * cover(landingD, fwidth(landingD)));

    float t;
    float d = bezierDistance(p, s, control, e, t);
    // Only the first `share` of the flight is drawn.
    float cut = (t - share) * length(e - s + vec2(0.0, 4.0 * abs(height)));
    float visible = cover(cut, 1.0);
    float dash = M.arcOptions.x;
    if (dash > 0.0) {
        float pattern = dash + max(M.arcOptions.y, 1.0);
        float arcLength = t * (length(control - s) + length(e - control));
        visible *= cover(mod(arcLength, pattern) - dash, 1.0);
    }
    float aa = max(fwidth(d), 0.5);
    over(acc, haloColour(colour), 0.55 * alpha * visible * cover(d - lw * 0.5 - 1.5, aa));
    over(acc, colour, alpha * visible * cover(d - lw * 0.5, aa));
    // A highlight travelling along the drawn flight: the ball. An arc drawn
    // progressively has its flight shown by the drawing itself, and its ball
    // then runs with the marker's clock; any other arc sends the ball along
    // its whole flight once every animation period (the arc phase).
    bool progressive = abs(M.arcOptions.z - 1.0) < 0.5;
    float run = (progressive ? loopPhase() : saturate(M.arcOptions.w)) * share;
    over(acc, mix(colour, vec3(1.0), 0.7), 0.6 * alpha * visible * exp(-pow((t - run) / 0.035, 2.0))
         * cover(d - lw * 0.35, aa));

    // The head at the tip of what is drawn.
    vec2 tip = mix(mix(s, control, share), mix(control, e, share), share);
    vec2 tangent = mix(control - s, e - control, share);
    vec2 dir = normalize(tangent + vec2(1e-4));
    float headLen = max(lw * 5.0 * (M.arrowShape.y / 0.3), 10.0);
    float head = arrowHead(p, tip + dir * headLen * 0.35, dir, headLen, headLen * 0.55);
    over(acc, haloColour(colour), 0.55 * alpha * cover(head - 1.5, fwidth(head)));
    over(acc, colour, alpha * cover(head, fwidth(head)));
}

// Arrows painted on the turf: 1 solid, 2 chevrons, 3 dashed, 5 curved.
void drawGroundArrow(inout vec4 acc, vec2 p, int mode)
{
    vec2 s = M.arrowEnds.xy;
    vec2 e = M.arrowEnds.zw;
    float alpha = saturate(M.arrowStyle.w) * M.arrowColor.a;
    if (alpha <= 0.0)
        return;
    float ratio = mix(1.0, 0.3, saturate(M.arrowShape.w));
    vec2 gs = toGround(s, ratio);
    vec2 ge = toGround(e, ratio);
    vec2 gp = toGround(p, ratio);
    float halfWidth = max(M.arrowShape.x * 0.5, 1.0);
    float total = max(length(ge - gs), 1.0);
    float headLen = min(total * M.arrowShape.y * 1.2, total * 0.6);
    float along;
    float across;
    vec2 dir;
    if (mode == 5) {
        vec2 bend = vec2(-(ge - gs).y, (ge - gs).x) * 0.25;
        vec2 control = (gs + ge) * 0.5 + bend;
        float t;
        across = bezierDistance(gp, gs, control, ge, t);
        along = t * total;
        dir = normalize(ge - control);
    } else {
        dir = (ge - gs) / total;
        along = dot(gp - gs, dir);
        across = abs(dot(gp - gs, vec2(-dir.y, dir.x)));
    }
    // The shadow spreads `spread` beyond the arrow's edge and fades to
    // nothing there; the quick exit leaves it room at any perspective.
    float spread = max(M.arrowShape.z, 0.0) * 0.3;
    if (across > halfWidth * 2.5 + 20.0 + (spread + 2.0) / ratio)
        return;
    float bodyEnd = total - headLen;
    float body = max(max(across - halfWidth * 0.55, -along), along - bodyEnd);
    float head = arrowHead(gp, ge, dir, headLen, halfWidth * 1.2);
    float d = min(body, head) * mix(ratio, 1.0, abs(dir.y));
    float aa = max(fwidth(d), 0.5);
    float pattern = 1.0;
    float spacing = max(M.arrowStyle.z, 10.0);
    if (mode == 2)
        pattern = 0.35 + 0.65 * step(0.5, fract((along - across) / spacing - M.arrowStyle.y));
    if (mode == 3)
        pattern = step(0.4, fract(along / spacing - M.arrowStyle.y)) + step(bodyEnd, along);
    if (spread > 0.0)
        over(acc, vec3(0.0), 0.35 * alpha * (1.0 - smoothstep(-aa, max(spread, 2.0), d)));
    over(acc, haloColour(M.arrowColor.rgb), 0.5 * alpha * cover(d - 1.5, aa));
    over(acc, M.arrowColor.rgb, alpha * saturate(pattern) * cover(d, aa));
}

void drawArrows(inout vec4 acc, vec2 p)
{
    int mode = arrowMode();
    if (mode == 4)
        drawLoftedArc(acc, p);
    else if (mode > 0)
        drawGroundArrow(acc, p, mode);
}

// ---------------------------------------------------------------------------
// The whole marker at one pixel, premultiplied, without the turf key.

vec4 markerColour(vec2 p)
{
    vec4 acc = vec4(0.0);
    if (ringStyle() == 6) {
        drawSpotlight(acc, p, multipleRings(), pointCount(), saturate(M.look.y));
        drawLines(acc, p);
        drawArrows(acc, p);
        return acc;
    }
    if ((FEATURE_PARTS & 1) != 0)
        drawSpace(acc, p);
    // The fill belongs to the space shape when there is one, else to the
    // players' hull; a polygon shape draws its own outline.
    if ((FEATURE_PARTS & 2) != 0 && spaceMode() != 3)
        drawHull(acc, p, spaceMode() == 0);
    if ((FEATURE_PARTS & 4) != 0)
        drawLines(acc, p);
    if ((FEATURE_PARTS & 8) != 0)
        drawTrail(acc, p);
    if ((FEATURE_PARTS & 16) != 0)
        drawRings(acc, p);
    if ((FEATURE_PARTS & 32) != 0)
        drawArrows(acc, p);
    return acc;
}

// How much a source pixel looks like the turf colour, 0...1. Compared in
// chroma with a lighter weight on brightness, so that shade and sunlight on
// the grass still key while lines, skin and shirts do not.
float turfMatch(vec3 rgb)
{
    vec3 k = G.key.rgb;
    float y = luminance(rgb);
    float ky = luminance(k);
    vec2 chroma = vec2((rgb.b - y) * 0.564, (rgb.r - y) * 0.713);
    vec2 keyChroma = vec2((k.b - ky) * 0.564, (k.r - ky) * 0.713);
    float distance = length(chroma - keyChroma) * 2.2 + abs(y - ky) * 0.8;
    float tolerance = max(G.mask.y, 0.001);
    float softness = max(G.mask.z, 0.001);
    return 1.0 - smoothstep(tolerance, tolerance + softness, distance);
}

// The source pixel under a target pixel; exact when the sizes agree.
vec4 sourcePixel(vec2 p)
{
    ivec2 size = textureSize(picture, 0);
    vec2 scale = vec2(size) / max(G.viewport.xy, vec2(1.0));
    ivec2 texel = clamp(ivec2(floor(p * scale)), ivec2(0), size - 1);
    return texelFetch(picture, texel, 0);
}

// The marker keyed to the turf of the source frame.
vec4 keyedMarker(vec2 p, vec4 source)
{
    vec4 mark = markerColour(p);
    if (!keyed())
        return mark;
    vec3 rgb = source.a > 0.0 ? source.rgb / source.a : vec3(0.0);
    float turf = turfMatch(rgb) * step(0.001, source.a);
    mark *= turf;
    if (keyPreview()) {
        // Key preview: the turf the marker may use tinted in its colour, and
        // what the key keeps in front (lines, players) in magenta, under the
        // keyed marker.
        vec4 preview = vec4(0.0);
        over(preview, M.tacticalColor.rgb, 0.45 * turf);
        over(preview, vec3(1.0, 0.1, 0.6), 0.45 * (1.0 - turf));
        mark = mark + preview * (1.0 - mark.a);
    }
    return mark;
}

// ---------------------------------------------------------------------------
// Entry functions.

// Marker pass without a source frame.
vec4 markerFragment()
{
    return markerColour(gl_FragCoord.xy);
}

// Marker pass over a source frame: the frame with the marker laid on its turf.
vec4 groundFragment()
{
    vec2 p = gl_FragCoord.xy;
    vec4 source = sourcePixel(p);
    vec4 mark = keyedMarker(p, source);
    return mark + source * (1.0 - mark.a);
}

// Marker pass over a source frame, the marker alone (keyed to the turf).
vec4 groundOverlayFragment()
{
    vec2 p = gl_FragCoord.xy;
    return keyedMarker(p, sourcePixel(p));
}

// Cutout pass: the source frame with the player standing at the source point
// cut out, scaled and stood on the target point, with a shadow at its feet.
vec4 cutoutFragment()
{
    vec2 size = max(CT.size, vec2(1.0));
    vec2 p = gl_FragCoord.xy;
    ivec2 sourceSize = textureSize(picture, 0);
    vec2 toSource = vec2(sourceSize) / size;
    vec4 base = texelFetch(picture, clamp(ivec2(floor(p * toSource)), ivec2(0), sourceSize - 1), 0);
    float scale = max(C.look.x, 0.05);
    float opacity = saturate(C.look.y);
    // The points and the horizon count up from the bottom edge (a point lower
    // in the picture, nearer the camera, lies further below the horizon and
    // so is drawn larger); pixels count down from the top.
    vec2 from = vec2(C.points.x, 1.0 - C.points.y) * size;
    vec2 to = vec2(C.points.z, 1.0 - C.points.w) * size;
    // The figure: a standing player about a fifth of the picture high, feet
    // on the point.
    float figure = size.y * 0.2;
    vec2 q = (p - to) / scale + from;
    vec2 centre = from + vec2(0.0, -figure * 0.5);
    vec2 radii = vec2(figure * 0.3, figure * 0.56);
    float k = length((q - centre) / radii);
    float inside = 1.0 - smoothstep(0.85, 1.0, k);
    vec4 cut = texture(picture, q / size);
    float shadowK = length((p - to) / (vec2(figure * 0.32, figure * 0.08) * scale));
    vec4 result = base;
    over(result, vec3(0.0), 0.35 * opacity * (1.0 - smoothstep(0.4, 1.0, shadowK)));
    float a = inside * opacity * step(0.0, q.x) * step(0.0, q.y) * step(q.x, size.x) * step(q.y, size.y);
    if (a <= 0.0)
        return result;
    // The ground around the figure: colours taken on the patch's rim, grass
    // and the pitch lines that cross it. Pixels of the patch that match one
    // of them are left behind, so the player comes without the turf he
    // stood on.
    // Neighbouring rim colours are compared as a pair, so that the soft edge
    // of a line, a blend of line and grass, stays behind too.
    float grass = 1e3;
    vec3 previous = texture(picture, (centre + vec2(radii.x * 1.05, 0.0)) / size).rgb;
    for (int i = 1; i <= 24; ++i) {
        float angle = float(i) * TAU / 24.0;
        vec2 rim = centre + vec2(cos(angle), sin(angle)) * radii * 1.05;
        vec3 around = texture(picture, rim / size).rgb;
        vec3 span = around - previous;
        float t = saturate(dot(cut.rgb - previous, span) / max(dot(span, span), 1e-6));
        grass = min(grass, length(cut.rgb - previous - span * t));
        previous = around;
    }
    a *= smoothstep(0.06, 0.16, grass);
    return cut * a + result * (1.0 - cut.a * a);
}

// Label pass: the label bitmap placed at its frame; blending lays it over.
vec4 textFragment()
{
    vec2 local = (gl_FragCoord.xy - LF.frame.xy) / max(LF.frame.zw, vec2(1.0));
    if (any(lessThan(local, vec2(0.0))) || any(greaterThan(local, vec2(1.0))))
        discard;
    return texture(picture, local);
}

#endif

#ifdef ZANTO_ENTRY
#ifdef ZANTO_VERTEX_STAGE
void main() { ZANTO_ENTRY(); }
#else
void main() { zantoColor = ZANTO_ENTRY(); }
#endif
#else
void main() {}
#endif
