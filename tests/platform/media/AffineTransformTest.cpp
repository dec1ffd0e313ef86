#include "platform/media/AffineTransform.h"

#include <algorithm>

#include <gtest/gtest.h>

using zanto::AffineTransform;
using zanto::MediaPoint;
using zanto::MediaRect;

namespace {

struct TurnCase {
    const char* name;
    AffineTransform transform; // a display matrix as a movie file stores it
    int quarterTurns;
    MediaRect upright; // the 1920 × 1080 picture mapped through it
};

void PrintTo(const TurnCase& c, std::ostream* out)
{
    *out << c.name;
}

class AffineTransformTurns : public testing::TestWithParam<TurnCase> { };

TEST_P(AffineTransformTurns, MapsThePictureRectangleAsTheMatrixTurnsIt)
{
    const TurnCase& c = GetParam();
    EXPECT_EQ(c.transform.quarterTurns(), c.quarterTurns);
    EXPECT_EQ(c.transform.mapRect({0, 0, 1920, 1080}), c.upright);
    // Undoing the turn with the opposite quarter turns gives the identity back.
    if (c.quarterTurns >= 0) {
        AffineTransform back = c.transform;
        for (int i = 0; i < (4 - c.quarterTurns) % 4; ++i) back = back.then(AffineTransform{0, 1, -1, 0, 0, 0});
        EXPECT_EQ(AffineTransform(back.a, back.b, back.c, back.d, 0, 0).quarterTurns(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, AffineTransformTurns,
                         testing::Values(TurnCase{"identity", {}, 0, {0, 0, 1920, 1080}},
                                         TurnCase{"phone_upright", {0, 1, -1, 0, 1080, 0}, 1, {0, 0, 1080, 1920}},
                                         TurnCase{"upside_down", {-1, 0, 0, -1, 1920, 1080}, 2, {0, 0, 1920, 1080}},
                                         TurnCase{"other_way", {0, -1, 1, 0, 0, 1920}, 3, {0, 0, 1080, 1920}},
                                         TurnCase{"no_translation", {0, 1, -1, 0, 0, 0}, 1, {-1080, 0, 1080, 1920}},
                                         TurnCase{"mirror", {-1, 0, 0, 1, 1920, 0}, -1, {0, 0, 1920, 1080}},
                                         TurnCase{"half_size", {0.5, 0, 0, 0.5, 0, 0}, -1, {0, 0, 960, 540}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AffineTransform, ThenAppliesTheFirstTransformFirst)
{
    AffineTransform scaleThenMove = AffineTransform::scaling(2, 3).then(AffineTransform::translation(10, 20));
    AffineTransform moveThenScale = AffineTransform::translation(10, 20).then(AffineTransform::scaling(2, 3));
    EXPECT_EQ(scaleThenMove.map({1, 1}), (MediaPoint{12, 23}));
    EXPECT_EQ(moveThenScale.map({1, 1}), (MediaPoint{22, 63}));
    EXPECT_TRUE(scaleThenMove.isAxisAlignedScale());
    EXPECT_FALSE(AffineTransform({0, 1, -1, 0, 0, 0}).isAxisAlignedScale());
    EXPECT_FALSE(AffineTransform::scaling(-1, 1).isAxisAlignedScale());
}

TEST(AffineTransform, PhoneClipFitsThe720pCanvasWithEvenBars)
{
    // A quarter-turned 1920 × 1080 clip scaled by 0.375 is 405 × 720, centred.
    AffineTransform preferred{0, 1, -1, 0, 1080, 0};
    MediaRect r = preferred.mapRect({0, 0, 1920, 1080});
    double s = std::min(1280 / r.width, 720 / r.height);
    AffineTransform placement =
        preferred.then(AffineTransform::translation(-r.x, -r.y))
            .then(AffineTransform::scaling(s, s))
            .then(AffineTransform::translation((1280 - r.width * s) / 2, (720 - r.height * s) / 2));
    EXPECT_DOUBLE_EQ(s, 0.375);
    EXPECT_EQ(placement.mapRect({0, 0, 1920, 1080}), (MediaRect{437.5, 0, 405, 720}));
}

} // namespace
