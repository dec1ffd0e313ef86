#include "OrganizerTestSupport.h"

#include "organizer/OrganizerTimeline.h"
#include "support/PlaylistSamples.h"

#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace zanto {
namespace {

using Hit = OrganizerTimeline::Hit;
using test::makeOrganizer;
using test::TempDir;

QRgb rgb(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y).rgb();
}

QColor grey(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}

OrganizerItem lasting(double seconds, const std::string& name = "Item")
{
    OrganizerItem item;
    item.name = name;
    item.start = 10;
    item.end = 10 + seconds;
    item.sourceIDs = {"S1"};
    item.sourceID = "S1";
    return item;
}

// Row 0: blocks [223, 333), [336, 576), [579, 1099); row 1: [223, 333); row 2 empty.
OrganizerDocument threeRows()
{
    OrganizerDocument document;
    document.sources = {test::sampleSource("S1")};
    document.rows[0].items = {lasting(3, "A"), lasting(20, "B"), lasting(60, "C")};
    document.rows.push_back(OrganizerRow{.name = "二", .items = {lasting(0.04)}});
    document.rows.push_back(OrganizerRow{.name = "三", .items = {}});
    return document;
}

class OrganizerTimelineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A timeline outside any scroll area: its visible size counts as 800 x 180.
        feed();
    }

    // Hands the view the three rows, row 0 on show with `selection`.
    void feed(std::set<int> selection = {}, const std::function<void(OrganizerDocument&)>& edit = {})
    {
        OrganizerDocument document = threeRows();
        if (edit) edit(document);
        view.setState({document.rows, 0, std::move(selection)});
    }

    QImage picture()
    {
        view.refresh();
        return view.grab().toImage();
    }

    test::UsesApplication application;
    TempDir folder;
    std::unique_ptr<Organizer> organizer;
    OrganizerTimeline view;
};

struct WidthCase {
    double seconds;
    double scale;
    double width;
};

class OrganizerTimelineWidth : public OrganizerTimelineTest, public ::testing::WithParamInterface<WidthCase> { };

TEST_P(OrganizerTimelineWidth, BlockWidthIsBoundedLength)
{
    view.scale = GetParam().scale;
    EXPECT_DOUBLE_EQ(view.itemWidth(lasting(GetParam().seconds)), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerTimelineWidth,
                         ::testing::Values(WidthCase{0.04, 12, 110}, WidthCase{60, 12, 520}, WidthCase{600, 12, 520},
                                           WidthCase{20, 12, 240}, WidthCase{20, 24, 480}, WidthCase{20, 1, 110}));

TEST_F(OrganizerTimelineTest, BlocksLieBackToBackFromTheLabelColumn)
{
    const std::vector<QRectF> row0 = view.rects(0);
    ASSERT_EQ(row0.size(), 3u);
    EXPECT_EQ(row0[0], QRectF(223, 3, 110, 21));
    EXPECT_EQ(row0[1], QRectF(336, 3, 240, 21));
    EXPECT_EQ(row0[2], QRectF(579, 3, 520, 21));
    EXPECT_EQ(view.rects(1), std::vector<QRectF>{QRectF(223, 30, 110, 21)});
    EXPECT_TRUE(view.rects(2).empty());
    EXPECT_TRUE(view.rects(3).empty());
    EXPECT_TRUE(view.rects(-1).empty());
}

struct HitCase {
    const char* name;
    QPointF point;
    std::optional<Hit> hit;
};

class OrganizerTimelineHit : public OrganizerTimelineTest, public ::testing::WithParamInterface<HitCase> { };

TEST_P(OrganizerTimelineHit, FindsWhatLiesUnderThePoint)
{
    EXPECT_EQ(view.hit(GetParam().point), GetParam().hit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerTimelineHit,
    ::testing::Values(
        HitCase{"LabelColumn", {100, 10}, Hit{0, std::nullopt}}, HitCase{"TopLeftCorner", {223, 3}, Hit{0, 0}},
        HitCase{"RightEdge", {333, 10}, Hit{0, std::nullopt}}, HitCase{"Gap", {334.5, 10}, Hit{0, std::nullopt}},
        HitCase{"SecondBlock", {336, 23.9}, Hit{0, 1}}, HitCase{"AboveBlock", {300, 2.9}, Hit{0, std::nullopt}},
        HitCase{"BottomEdge", {300, 24}, Hit{0, std::nullopt}},
        HitCase{"AfterLastBlock", {1100, 10}, Hit{0, std::nullopt}}, HitCase{"SecondRow", {300, 40}, Hit{1, 0}},
        HitCase{"EmptyRow", {300, 60}, Hit{2, std::nullopt}}, HitCase{"BelowLastLane", {300, 81}, std::nullopt},
        HitCase{"LessThanALaneAboveTheView", {300, -1}, Hit{0, std::nullopt}},
        HitCase{"ALaneAboveTheView", {300, -27}, std::nullopt}, HitCase{"FarBelow", {300, 1e12}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerTimelineTest, BeforeItsFirstStateNothingIsThere)
{
    OrganizerTimeline orphan;
    EXPECT_FALSE(orphan.hit({300, 10}).has_value());
    EXPECT_TRUE(orphan.rects(0).empty());
    const QSize before = orphan.size();
    orphan.refresh();
    EXPECT_EQ(orphan.size(), before);
}

struct SizeCase {
    const char* name;
    std::function<void(OrganizerDocument&)> edit;
    QSize size;
};

class OrganizerTimelineSize : public OrganizerTimelineTest, public ::testing::WithParamInterface<SizeCase> { };

TEST_P(OrganizerTimelineSize, CoversTheWidestRowAndEveryLane)
{
    feed({}, GetParam().edit);
    EXPECT_EQ(view.size(), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerTimelineSize,
    ::testing::Values(SizeCase{"Visible", [](OrganizerDocument&) {}, QSize(1129, 180)},
                      SizeCase{"NoRows", [](OrganizerDocument& d) { d.rows.clear(); }, QSize(800, 180)},
                      SizeCase{"ManyRows", [](OrganizerDocument& d) { d.rows.resize(10); }, QSize(1129, 270)},
                      SizeCase{"LongRow", [](OrganizerDocument& d) { d.rows[1].items.assign(4, lasting(600)); },
                               QSize(223 + 4 * 523 - 3 + 30, 180)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerTimelineTest, LabelColumnStaysAtTheVisibleLeftEdge)
{
    organizer = makeOrganizer(folder.path());
    OrganizerDocument document = threeRows();
    document.rows[0].items.clear();
    for (int i = 0; i < 8; ++i) document.rows[0].items.push_back(lasting(60));
    ASSERT_TRUE(organizer->openDocument(document)) << organizer->statusText().toStdString();
    test::expectConsistent(*organizer);
    auto* scroll = test::control<QScrollArea>(*organizer, "timelineScroll");
    scroll->horizontalScrollBar()->setValue(600);
    test::settle();
    OrganizerTimeline* shown = test::control<OrganizerTimeline>(*organizer, "timeline");
    ASSERT_EQ(shown->visibleRect().left(), 600);
    EXPECT_EQ(shown->hit({610, 10}), (Hit{0, std::nullopt})) << "a block lies beneath the labels";
    EXPECT_EQ(shown->hit({830, 10}), (Hit{0, 1}));
    // The label column is drawn over the block at the visible left edge.
    const QImage image = shown->grab().toImage();
    EXPECT_EQ(rgb(image, 610, 2), grey(0.87).rgb());
}

TEST_F(OrganizerTimelineTest, CursorZonesOfABlock)
{
    const std::vector<std::pair<double, Qt::CursorShape>> cases{
        {223.5, Qt::SizeHorCursor},  {229.9, Qt::SizeHorCursor},  {230.5, Qt::ArrowCursor},
        {231.5, Qt::OpenHandCursor}, {324.9, Qt::OpenHandCursor}, {325.5, Qt::ArrowCursor},
        {326.1, Qt::SizeHorCursor},  {334, Qt::ArrowCursor},      {100, Qt::ArrowCursor}};
    for (const auto& [x, shape] : cases) EXPECT_EQ(view.cursorAt({x, 10}), shape) << x;
}

TEST_F(OrganizerTimelineTest, BlockLabels)
{
    OrganizerItem item = lasting(3, "Attack");
    EXPECT_EQ(OrganizerTimeline::blockLabel(2, item), "3 | Attack");
    item.labels = std::vector<std::string>{};
    item.note = "fast";
    EXPECT_EQ(OrganizerTimeline::blockLabel(2, item), "3 | Attack | fast");
    item.labels = std::vector<std::string>{"A", "B"};
    EXPECT_EQ(OrganizerTimeline::blockLabel(2, item), "3 | Attack | A · B | fast");
}

TEST_F(OrganizerTimelineTest, DrawsLanesLabelsAndTheSelectionOfTheCurrentRow)
{
    feed({0});
    const QImage image = picture();
    EXPECT_EQ(rgb(image, 1120, 2), grey(0.97).rgb()) << "even lane";
    EXPECT_EQ(rgb(image, 1120, 29), grey(0.93).rgb()) << "odd lane";
    EXPECT_EQ(rgb(image, 1120, 26), QColor(Qt::white).rgb()) << "line between lanes";
    EXPECT_EQ(rgb(image, 200, 2), grey(0.87).rgb()) << "label of the current row";
    EXPECT_EQ(rgb(image, 200, 29), grey(0.94).rgb()) << "label of another row";
    EXPECT_EQ(rgb(image, 320, 22), grey(1.0 / 3.0).rgb()) << "selected block";
    EXPECT_EQ(rgb(image, 224, 13), QColor(0, 122, 255).rgb()) << "selection bar";
    EXPECT_EQ(rgb(image, 330, 49), QColor(Qt::white).rgb()) << "same index in another row";
    EXPECT_EQ(rgb(image, 570, 22), QColor(Qt::white).rgb()) << "unselected block";
}

TEST_F(OrganizerTimelineTest, APlaylistWithoutRowsPaintsOnlyWhite)
{
    feed({0}, [](OrganizerDocument& d) { d.rows.clear(); });
    const QImage image = picture().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.size(), QSize(800, 180));
    QImage white(image.size(), image.format());
    white.fill(Qt::white);
    EXPECT_TRUE(image == white);
}

TEST_F(OrganizerTimelineTest, DropMarkAfterTheLastBlockAndInAnEmptyRow)
{
    view.drop = OrganizerTimeline::Drop{2, 0};
    QImage image = picture();
    EXPECT_EQ(rgb(image, 226, 60), QColor(0, 122, 255).rgb());
    EXPECT_NE(rgb(image, 224, 60), QColor(0, 122, 255).rgb());
    view.drop = OrganizerTimeline::Drop{1, 1};
    image = picture();
    EXPECT_EQ(rgb(image, 336, 40), QColor(0, 122, 255).rgb());
    view.drop = OrganizerTimeline::Drop{0, 1};
    image = picture();
    EXPECT_EQ(rgb(image, 335, 5), QColor(0, 122, 255).rgb());
}

TEST_F(OrganizerTimelineTest, APartOfTheViewPaintsAsInTheWhole)
{
    feed({1});
    const QImage whole = picture();
    for (const QRect part : {QRect(400, 0, 300, 81), QRect(0, 27, 1129, 27), QRect(560, 20, 40, 40)}) {
        const QImage piece = view.grab(part).toImage().convertToFormat(whole.format());
        const QImage expected = whole.copy(part);
        int differences = 0;
        for (int y = 0; y < part.height(); ++y) {
            for (int x = 0; x < part.width(); ++x) {
                if (piece.pixel(x, y) != expected.pixel(x, y) && differences++ < 3) {
                    ADD_FAILURE() << "at " << part.x() + x << "," << part.y() + y << std::hex << " "
                                  << piece.pixel(x, y) << " " << expected.pixel(x, y);
                }
            }
        }
        EXPECT_EQ(differences, 0);
    }
}

TEST_F(OrganizerTimelineTest, TrimPreviewChangesOnlyThePressedBlock)
{
    const QImage before = picture();
    view.gesture = OrganizerTimeline::Gesture{0, 1, {}, {}, 10, 30, 1};
    view.trimPreview = std::make_pair(1.5, 4.25);
    const QImage during = picture();
    const QRect pressed = view.rects(0)[1].toRect();
    EXPECT_NE(before.copy(pressed), during.copy(pressed));
    const QRect other = view.rects(0)[2].toRect();
    EXPECT_EQ(before.copy(other), during.copy(other));
}

} // namespace
} // namespace zanto
