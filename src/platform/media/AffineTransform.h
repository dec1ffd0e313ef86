#pragma once

namespace zanto {

struct MediaPoint {
    double x = 0;
    double y = 0;
    bool operator==(const MediaPoint&) const = default;
};

struct MediaRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const MediaRect&) const = default;
};

// A 2D affine transform in pixel coordinates with the origin at the top left
// and y growing downward (the layout of a frame in memory):
//   x' = a·x + c·y + tx,   y' = b·x + d·y + ty.
// A track's preferred transform (its display matrix) and a segment's placement
// on the output canvas are both of this kind.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static AffineTransform scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }

    // This transform followed by `next` (apply this first).
    AffineTransform then(const AffineTransform& next) const;
    MediaPoint map(MediaPoint point) const;
    // The bounding box of the mapped rectangle.
    MediaRect mapRect(const MediaRect& rect) const;
    // True for a pure scale (positive) plus translation: no turn, no flip.
    bool isAxisAlignedScale() const { return b == 0 && c == 0 && a > 0 && d > 0; }
    // The whole quarter turns (0..3, clockwise on screen) this transform makes,
    // or -1 when it is not a quarter-turn rotation.
    int quarterTurns() const;

    bool operator==(const AffineTransform&) const = default;
};

} // namespace zanto
