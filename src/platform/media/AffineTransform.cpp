#include "platform/media/AffineTransform.h"

#include <algorithm>
#include <cmath>

namespace zanto {

AffineTransform AffineTransform::then(const AffineTransform& n) const
{
    return AffineTransform{a * n.a + b * n.c, a * n.b + b * n.d,          c * n.a + d * n.c,
                           c * n.b + d * n.d, tx * n.a + ty * n.c + n.tx, tx * n.b + ty * n.d + n.ty};
}

MediaPoint AffineTransform::map(MediaPoint p) const
{
    return MediaPoint{a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

MediaRect AffineTransform::mapRect(const MediaRect& r) const
{
    MediaPoint corners[4] = {map({r.x, r.y}), map({r.x + r.width, r.y}), map({r.x, r.y + r.height}),
                             map({r.x + r.width, r.y + r.height})};
    double minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const MediaPoint& p : corners) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return MediaRect{minX, minY, maxX - minX, maxY - minY};
}

int AffineTransform::quarterTurns() const
{
    auto near = [](double value, double target) { return std::abs(value - target) < 1e-6; };
    // Unit vector (1, 0) maps to (a, b): right, down, left or up on screen.
    if (near(c, -b) && near(d, a)) {
        if (near(a, 1) && near(b, 0)) return 0;
        if (near(a, 0) && near(b, 1)) return 1;
        if (near(a, -1) && near(b, 0)) return 2;
        if (near(a, 0) && near(b, -1)) return 3;
    }
    return -1;
}

} // namespace zanto
