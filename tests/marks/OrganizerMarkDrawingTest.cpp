#include "marks/OrganizerMarkDrawing.h"

#include "support/GuiTestEnvironment.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace zanto {
namespace {

OrganizerMark mark(const std::string& kind, double x, double y, double x2, double y2, const std::string& text = "")
{
    return OrganizerMark{kind, x, y, x2, y2, text, std::nullopt};
}

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive; empty when right < left
    bool empty() const { return right < left; }
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// Bounding box of the pixels whose alpha exceeds `threshold`.
Box coveredBox(const QImage& image, int threshold = 127)
{
    Box box{image.width(), image.height(), -1, -1};
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) <= threshold) continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box;
}

bool fullyTransparent(const QImage& image)
{
    return coveredBox(image, 0).empty();
}

QImage drawnInto(const std::vector<OrganizerMark>& marks, QSize size, std::optional<QRectF> rect = {})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawOrganizerMarks(marks, rect.value_or(QRectF(QPointF(0, 0), QSizeF(size))), painter);
    painter.end();
    return image;
}

TEST(OrganizerMarkImage, EmptyListGivesTransparentCanvas)
{
    const QImage image = organizerMarkImage({});
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1280, 720));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(image.bytesPerLine(), 5120);
    EXPECT_TRUE(fullyTransparent(image));
}

TEST(OrganizerMarkImage, StrokeHasTheMarkColourOpaque)
{
    const QImage image = organizerMarkImage({mark("arrow", 0.1, 0.5, 0.9, 0.5)});
    // The shaft is 4 pixels thick around row 360; its middle is solid.
    const QRgb pixel = image.pixel(640, 359);
    EXPECT_EQ(qAlpha(pixel), 255);
    EXPECT_NEAR(qRed(pixel), 212, 1);
    EXPECT_EQ(qGreen(pixel), 255);
    EXPECT_NEAR(qBlue(pixel), 66, 1);
}

TEST(OrganizerMarkImage, BottomLeftOriginRunsUpToTopRight)
{
    const QImage image = organizerMarkImage({mark("arrow", 0, 0, 1, 1)});
    EXPECT_GT(qAlpha(image.pixel(3, 717)), 127) << "start at the bottom-left corner";
    EXPECT_GT(qAlpha(image.pixel(1270, 5)), 127) << "end at the top-right corner";
    EXPECT_EQ(qAlpha(image.pixel(40, 40)), 0) << "the top-left corner stays empty";
    EXPECT_EQ(qAlpha(image.pixel(1240, 680)), 0) << "the bottom-right corner stays empty";
}

TEST(OrganizerMarkImage, CircleCornersMayComeInEitherOrder)
{
    const QImage forward = organizerMarkImage({mark("circle", 0.2, 0.2, 0.6, 0.4)});
    const QImage backward = organizerMarkImage({mark("circle", 0.6, 0.4, 0.2, 0.2)});
    EXPECT_EQ(forward, backward);
    const Box box = coveredBox(forward);
    // Inscribed in x 256...768 and (y up) 144...288, i.e. rows 432...576.
    EXPECT_NEAR(box.left, 256 - 2, 1);
    EXPECT_NEAR(box.right, 768 + 1, 1);
    EXPECT_NEAR(box.top, 432 - 2, 1);
    EXPECT_NEAR(box.bottom, 576 + 1, 1);
    EXPECT_EQ(qAlpha(forward.pixel(512, 504)), 0) << "an outline, not a filled disc";
}

struct ArrowKindCase {
    const char* kind;
    friend void PrintTo(const ArrowKindCase& c, std::ostream* os) { *os << '"' << c.kind << '"'; }
};
class ArrowKinds : public ::testing::TestWithParam<ArrowKindCase> { };

// Every kind other than circle and text is drawn as an arrow.
TEST_P(ArrowKinds, DrawnLikeAnArrow)
{
    const QImage arrow = organizerMarkImage({mark("arrow", 0.2, 0.3, 0.7, 0.8)});
    const QImage other = organizerMarkImage({mark(GetParam().kind, 0.2, 0.3, 0.7, 0.8)});
    EXPECT_EQ(arrow, other);
}
INSTANTIATE_TEST_SUITE_P(Kinds, ArrowKinds,
                         ::testing::Values(ArrowKindCase{"gxl"}, ArrowKindCase{""}, ArrowKindCase{"Arrow"},
                                           ArrowKindCase{"line"}),
                         [](const auto& info) { return "Kind" + std::to_string(info.index); });

struct ScaleCase {
    int width;         // of the square target
    int lineWidth;     // max(2, width / 320)
    double headLength; // max(10, width / 60)
    friend void PrintTo(const ScaleCase& c, std::ostream* os) { *os << c.width << " wide"; }
};
class DrawingScale : public ::testing::TestWithParam<ScaleCase> { };

TEST_P(DrawingScale, LineWidthFollowsTheRectangle)
{
    const ScaleCase c = GetParam();
    const QImage image = drawnInto({mark("arrow", 0.05, 0.5, 0.5, 0.5)}, QSize(c.width, c.width));
    // Summed coverage across the shaft is its thickness, antialiased edges included.
    double covered = 0;
    for (int y = 0; y < c.width; ++y) covered += qAlpha(image.pixel(c.width / 4, y)) / 255.0;
    EXPECT_NEAR(covered, c.lineWidth, 0.1);
}

// An arrow with equal ends is only its head: two barbs pointing left.
TEST_P(DrawingScale, HeadOfAZeroLengthArrowPointsLeft)
{
    const ScaleCase c = GetParam();
    const QImage image = drawnInto({mark("arrow", 0.5, 0.5, 0.5, 0.5)}, QSize(c.width, c.width));
    const Box box = coveredBox(image, 0);
    ASSERT_FALSE(box.empty());
    const double tip = c.width * 0.5;
    EXPECT_LE(box.right, tip + c.lineWidth) << "nothing right of the tip";
    EXPECT_NEAR(tip - box.left, c.headLength * std::cos(0.45), c.lineWidth + 1.0);
    EXPECT_NEAR(box.height(), 2 * c.headLength * std::sin(0.45), 2 * c.lineWidth + 1.0);
}
INSTANTIATE_TEST_SUITE_P(Widths, DrawingScale,
                         ::testing::Values(ScaleCase{100, 2, 10}, ScaleCase{480, 2, 10}, ScaleCase{960, 3, 16},
                                           ScaleCase{1280, 4, 1280 / 60.0}),
                         [](const auto& info) { return "Width" + std::to_string(info.param.width); });

TEST(DrawOrganizerMarks, MapsIntoAnOffsetRectangle)
{
    // (0, 0) is the rectangle's bottom-left corner: x 100, y 50 + 300.
    const QImage image = drawnInto({mark("circle", 0, 0, 0.1, 0.1)}, QSize(640, 480), QRectF(100, 50, 400, 300));
    const Box box = coveredBox(image, 0);
    EXPECT_NEAR(box.left, 100, 2);
    EXPECT_NEAR(box.right, 140, 2);
    EXPECT_NEAR(box.top, 320, 2);
    EXPECT_NEAR(box.bottom, 350, 2);
}

TEST(DrawOrganizerMarks, LeavesThePainterAsItWas)
{
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    const QPen pen(Qt::red, 7);
    painter.setPen(pen);
    drawOrganizerMarks({mark("text", 0.1, 0.1, 0, 0, "abc"), mark("arrow", 0, 0, 1, 1)}, QRectF(0, 0, 200, 200),
                       painter);
    EXPECT_EQ(painter.pen(), pen);
}

struct TextCase {
    const char* name;
    const char* text;
    bool drawsSomething;
    friend void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }
};
class TextMarks : public ::testing::TestWithParam<TextCase> { };

TEST_P(TextMarks, AnchorIsTheLowerLeftCornerOfTheBox)
{
    const TextCase c = GetParam();
    const QImage image = organizerMarkImage({mark("text", 0.25, 0.5, 0.9, 0.9, c.text)});
    const Box box = coveredBox(image, 0);
    if (!c.drawsSomething) {
        EXPECT_TRUE(box.empty());
        return;
    }
    ASSERT_FALSE(box.empty());
    EXPECT_NEAR(box.left, 320, 1);
    EXPECT_NEAR(box.bottom, 359, 1);
    EXPECT_GE(box.height(), 32) << "a 32-pixel font on the mark canvas";
    EXPECT_LE(box.height(), 32 * 2) << "one line only";
}
INSTANTIATE_TEST_SUITE_P(Texts, TextMarks,
                         ::testing::Values(TextCase{"Empty", "", false}, TextCase{"Latin", "Pass", true},
                                           TextCase{"Japanese", "ここへ走る", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Further lines stack upward: the box still ends at the anchor.
TEST(TextMarks, SecondLineStaysOnTheAnchor)
{
    const Box one = coveredBox(organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "Pass")}), 0);
    const Box two = coveredBox(organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "Go\nPass")}), 0);
    EXPECT_EQ(two.bottom, one.bottom);
    EXPECT_EQ(two.left, one.left);
    EXPECT_GE(two.height(), 2 * one.height() - 2);
}

struct LineBreakCase {
    const char* name;
    const char* text;
    friend void PrintTo(const LineBreakCase& c, std::ostream* os) { *os << c.name; }
};
class TextLineBreaks : public ::testing::TestWithParam<LineBreakCase> { };

// Text written on other systems breaks its lines in other ways; each starts
// a new line as a line feed does, never a stray glyph.
TEST_P(TextLineBreaks, BreakLikeALineFeed)
{
    const QImage lineFeed = organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "Go\nPass")});
    EXPECT_EQ(organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, GetParam().text)}), lineFeed);
}
INSTANTIATE_TEST_SUITE_P(Breaks, TextLineBreaks,
                         ::testing::Values(LineBreakCase{"CarriageReturnLineFeed", "Go\r\nPass"},
                                           LineBreakCase{"CarriageReturn", "Go\rPass"},
                                           LineBreakCase{"LineSeparator", "Go\u2028Pass"},
                                           LineBreakCase{"ParagraphSeparator", "Go\u2029Pass"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextMarks, YellowOnTranslucentBlack)
{
    const QImage image = organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "■")});
    const Box box = coveredBox(image, 0);
    int yellow = 0, background = 0;
    for (int y = box.top; y <= box.bottom; ++y) {
        for (int x = box.left; x <= box.right; ++x) {
            const QRgb p = image.pixel(x, y);
            yellow += p == qRgba(255, 255, 0, 255);
            background += qAlpha(p) == 179 && qRed(p) == 0 && qGreen(p) == 0;
        }
    }
    EXPECT_GT(yellow, 100);
    EXPECT_GT(background, 100);
}

// A "T" has its bar on top: drawn unmirrored, the upper rows of yellow are
// wider than the lower ones.
TEST(TextMarks, TextIsNotMirrored)
{
    const QImage image = organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "T")});
    Box glyph{image.width(), image.height(), -1, -1};
    std::vector<int> widths(image.height(), 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qRed(image.pixel(x, y)) < 200) continue;
            ++widths[y];
            glyph.top = std::min(glyph.top, y);
            glyph.bottom = std::max(glyph.bottom, y);
        }
    }
    ASSERT_FALSE(glyph.bottom < glyph.top);
    EXPECT_GT(widths[glyph.top + 1], 2 * widths[glyph.bottom - 1]);
}

// Missing glyphs would all draw the same box; real glyphs differ.
TEST(TextMarks, JapaneseGlyphsAreReal)
{
    const QImage sun = organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "日")});
    const QImage moon = organizerMarkImage({mark("text", 0.25, 0.5, 0, 0, "月")});
    EXPECT_NE(sun, moon);
}

TEST(OrganizerMarkImage, LaterMarksCoverEarlierOnes)
{
    const OrganizerMark arrow = mark("arrow", 0.1, 0.5, 0.9, 0.5);
    const OrganizerMark label = mark("text", 0.4, 0.45, 0, 0, "■■■■");
    const QRgb underText = organizerMarkImage({arrow, label}).pixel(560, 359);
    const QRgb overText = organizerMarkImage({label, arrow}).pixel(560, 359);
    EXPECT_NE(underText, qRgba(212, 255, 66, 255)) << "the text's box hides the shaft";
    EXPECT_EQ(overText, qRgba(212, 255, 66, 255));
}

} // namespace
} // namespace zanto
