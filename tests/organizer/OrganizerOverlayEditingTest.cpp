#include "OrganizerTestSupport.h"

#include "organizer/OrganizerOverlay.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace zanto {
namespace {

constexpr int viewWidth = 960;
constexpr int viewHeight = 540;

OrganizerMark gxl(const std::string& tool, std::vector<GXLPoint> points, double size = 90)
{
    GXLSettings settings{tool, std::move(points)};
    settings.size = size;
    return OrganizerMark{"gxl", 0.11, 0.12, 0.13, 0.14, "", settings};
}

OrganizerMark arrow(double x, double y, double x2, double y2)
{
    return OrganizerMark{"arrow", x, y, x2, y2, "", std::nullopt};
}

// A five-pointed star drawn in one stroke: its centre is inside by the winding
// rule and outside by the even-odd rule.
OrganizerMark star()
{
    std::vector<GXLPoint> points;
    for (int k = 0; k < 5; ++k) {
        const double angle = M_PI / 2 + k * 4 * M_PI / 5;
        points.push_back({0.5 + 0.3 * std::cos(angle) * viewHeight / viewWidth, 0.5 + 0.3 * std::sin(angle)});
    }
    return gxl("Team Fill", points);
}

class OrganizerOverlayEditing : public ::testing::Test {
protected:
    OrganizerOverlayEditing()
    {
        overlay.resize(viewWidth, viewHeight);
        overlay.setEditing(true);
        overlay.onSelect = [this](const std::optional<GXLSettings>& settings) { selected.push_back(settings); };
        overlay.onChange = [this](const std::vector<OrganizerMark>& marks) { changes.push_back(marks); };
    }

    // Widget position of a point given in view points, y up.
    QPoint at(double x, double y) const { return QPointF(x, overlay.height() - y).toPoint(); }
    QPoint atNormalised(double x, double y) const { return at(x * overlay.width(), y * overlay.height()); }

    void press(QPoint p) { QTest::mousePress(&overlay, Qt::LeftButton, {}, p); }
    void move(QPoint p) { QTest::mouseMove(&overlay, p); }
    void release(QPoint p) { QTest::mouseRelease(&overlay, Qt::LeftButton, {}, p); }

    test::UsesApplication application;
    // Telestration pictures play no part in editing: an empty one at once.
    OrganizerOverlay overlay{nullptr, [](const auto&, const auto&, double) { return QImage(); }};
    std::vector<std::optional<GXLSettings>> selected;
    std::vector<std::vector<OrganizerMark>> changes;
};

struct HitCase {
    const char* name;
    std::vector<OrganizerMark> marks;
    QPointF press; // view points, y up
    std::optional<int> selected;
};

class OrganizerOverlayEditingHits : public OrganizerOverlayEditing, public ::testing::WithParamInterface<HitCase> { };

TEST_P(OrganizerOverlayEditingHits, SelectsTheTopmostMarkHit)
{
    const HitCase& c = GetParam();
    overlay.setMarks(c.marks);
    press(at(c.press.x(), c.press.y()));
    EXPECT_EQ(overlay.selectedMark(), c.selected);
    release(at(c.press.x(), c.press.y()));
    // A hit is an edit even without a move; a miss is none.
    EXPECT_EQ(changes.size(), c.selected ? 1u : 0u);
}

const OrganizerMark arc = gxl("Lofted Arc", {{0.2, 0.5}, {0.8, 0.5}});
const OrganizerMark big = gxl("Player Ring", {{0.25, 0.5}}, 400);
const OrganizerMark small = gxl("Player Ring", {{0.25, 0.5}}, 10);
const OrganizerMark triangle = gxl("Team Fill", {{0.2, 0.2}, {0.8, 0.2}, {0.5, 0.8}});
const OrganizerMark rings = gxl("Team Rings", {{0.2, 0.3}, {0.7, 0.3}, {0.7, 0.6}, {0.2, 0.6}});

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerOverlayEditingHits,
    ::testing::Values(HitCase{"ArcApex", {arc}, {480, 270 + 130}, 0},
                      HitCase{"ArcChordMiddle", {arc}, {480, 270}, std::nullopt},
                      HitCase{"BigRingWithin212", {big}, {240 + 211, 270}, 0},
                      HitCase{"BigRingBeyond212", {big}, {240 + 213, 270}, std::nullopt},
                      HitCase{"SmallRingWithin24", {small}, {240 + 23, 270}, 0},
                      HitCase{"SmallRingBeyond24", {small}, {240 + 25, 270}, std::nullopt},
                      HitCase{"InsideByWinding", {star()}, {480, 270}, 0},
                      HitCase{"ArrowShaftWithin18", {arrow(0.2, 0.5, 0.8, 0.5)}, {480, 270 + 17}, 0},
                      HitCase{"ArrowShaftBeyond18", {arrow(0.2, 0.5, 0.8, 0.5)}, {480, 270 + 19}, std::nullopt},
                      // 10 points outside the edge from the last point back to the first.
                      HitCase{"NoClosingSegment", {triangle}, {336 - 7.47, 270 + 6.64}, std::nullopt},
                      HitCase{"LaterMarkFirst", {triangle, triangle}, {480, 200}, 1},
                      HitCase{"EmptySpace", {triangle}, {900, 500}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerOverlayEditing, WholeShapeStopsAtTheEdge)
{
    overlay.setMarks({rings});
    press(atNormalised(0.45, 0.45));
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0], rings.gxl);
    EXPECT_FALSE(overlay.movingPoint());
    // Each move places the mark afresh from the press: no offsets add up.
    move(atNormalised(0.65, 0.45));
    move(atNormalised(0.55, 0.45));
    EXPECT_NEAR(overlay.marks()[0].gxl->points[0].x, 0.3, 1e-9);
    move(atNormalised(0.95, 0.45));
    release(atNormalised(0.95, 0.45));
    const OrganizerMark moved = overlay.marks()[0];
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0][0], moved);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(moved.gxl->points[i].x, rings.gxl->points[i].x + 0.3, 1e-9);
        EXPECT_NEAR(moved.gxl->points[i].y, rings.gxl->points[i].y, 1e-9);
    }
    EXPECT_EQ(std::tie(moved.x, moved.y, moved.x2, moved.y2), std::tie(rings.x, rings.y, rings.x2, rings.y2));
}

TEST_F(OrganizerOverlayEditing, OnePointFollowsThePointerClamped)
{
    overlay.setMarks({rings});
    press(atNormalised(0.7, 0.6) + QPoint(5, -5));
    EXPECT_EQ(overlay.movingPoint(), 2);
    move(QPoint(viewWidth + 200, -100));
    const std::vector<GXLPoint>& points = overlay.marks()[0].gxl->points;
    EXPECT_EQ(points[2], (GXLPoint{1, 1}));
    EXPECT_EQ(points[0], rings.gxl->points[0]);
}

TEST_F(OrganizerOverlayEditing, HandlesShowOnlyWhileEditing)
{
    const auto handlesAt = [this](const std::vector<GXLPoint>& points) {
        QImage image(overlay.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        overlay.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        int shown = 0;
        for (const GXLPoint& p : points) shown += image.pixelColor(atNormalised(p.x, p.y)) == QColor(0x00, 0x7A, 0xFF);
        return shown;
    };
    overlay.setMarks({arrow(0.2, 0.2, 0.8, 0.8), rings});
    press(atNormalised(0.2, 0.2));
    EXPECT_EQ(handlesAt({{0.2, 0.2}, {0.8, 0.8}}), 1);
    press(atNormalised(0.45, 0.45));
    EXPECT_EQ(handlesAt(rings.gxl->points), 4);
    overlay.setEditing(false);
    EXPECT_EQ(handlesAt(rings.gxl->points), 0);
    overlay.setEditing(true);
    overlay.setMarks({rings});
    EXPECT_FALSE(overlay.selectedMark());
    EXPECT_EQ(handlesAt(rings.gxl->points), 0);
}

TEST_F(OrganizerOverlayEditing, NoPressWhileBusy)
{
    const std::vector<OrganizerMark> marks{arrow(0.2, 0.5, 0.8, 0.5)};
    overlay.setMarks(marks);
    overlay.setBusy(true);
    press(atNormalised(0.5, 0.5));
    move(atNormalised(0.5, 0.7));
    release(atNormalised(0.5, 0.7));
    EXPECT_FALSE(overlay.selectedMark());
    EXPECT_TRUE(selected.empty());

    // Busy from the middle of a drag on: the drag is undone and not reported.
    overlay.setBusy(false);
    press(atNormalised(0.5, 0.5));
    move(atNormalised(0.5, 0.7));
    EXPECT_NE(overlay.marks(), marks);
    overlay.setBusy(true);
    release(atNormalised(0.5, 0.7));
    EXPECT_EQ(overlay.marks(), marks);
    EXPECT_TRUE(changes.empty());
}

TEST_F(OrganizerOverlayEditing, ZeroSizeViewStoresOnlyFiniteValues)
{
    overlay.setMarks({arrow(0.2, 0.5, 0.8, 0.5), gxl("Team Rings", {{0.2, 0.3}, {0.7, 0.3}})});
    overlay.resize(0, 0);
    for (const QPoint target : {QPoint(0, 0), QPoint(30, -40)}) {
        press(QPoint(0, 0));
        move(target);
        release(target);
    }
    for (const OrganizerMark& mark : overlay.marks()) {
        for (double value : {mark.x, mark.y, mark.x2, mark.y2}) EXPECT_TRUE(std::isfinite(value));
        if (mark.gxl) {
            for (const GXLPoint& p : mark.gxl->points) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        }
    }
}

} // namespace
} // namespace zanto
