#include "marks/CutoutParameters.h"
#include "marks/MarkerRendererError.h"
#include "support/MarkerTestTables.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zanto;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(CutoutParameters, Defaults)
{
    CutoutParameters p;
    EXPECT_EQ(p.scale(), 1);
    EXPECT_EQ(p.uniforms(), (CutoutUniforms{Float4{0.5f, 0.3f, 0.5f, 0.3f}, Float4{1, 1, 0, 0}}));
}

struct ScaleCase {
    const char* name;
    CutoutParameters parameters;
    float scale;
};

class CutoutScale : public testing::TestWithParam<ScaleCase> { };

TEST_P(CutoutScale, FromHorizonOrByHand)
{
    EXPECT_NEAR(GetParam().parameters.scale(), GetParam().scale, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutoutScale,
    testing::Values(ScaleCase{"towardHorizon", {.source = {0.5f, 0.3f}, .target = {0.5f, 0.6f}}, 0.4f},
                    // The divisor never falls below 0.02: (0.8 - 0.3) / 0.02 = 25, clamped to 3.
                    ScaleCase{"sourceOnHorizon", {.source = {0.5f, 0.8f}, .target = {0.5f, 0.3f}}, 3},
                    ScaleCase{"sourceOnHorizonNearTarget", {.source = {0.5f, 0.8f}, .target = {0.5f, 0.79f}}, 0.5f},
                    ScaleCase{"beyondHorizon", {.source = {0.5f, 0.3f}, .target = {0.5f, 0.9f}}, 0.2f},
                    ScaleCase{
                        "autoTimesManual", {.source = {0.5f, 0.3f}, .target = {0.5f, 0.6f}, .manualScale = 50}, 0.2f},
                    ScaleCase{"manual250", {.automatic = false, .manualScale = 250}, 2.5f},
                    ScaleCase{"manual1000", {.automatic = false, .manualScale = 1000}, 6},
                    ScaleCase{"manual1", {.automatic = false, .manualScale = 1}, 0.05f},
                    ScaleCase{"infiniteHorizon", {.horizon = std::numeric_limits<float>::infinity()}, 1}),
    test::ByName());

TEST(CutoutParameters, UniformsClampOnlyTheOpacity)
{
    CutoutParameters p{.source = {-1, 2}, .target = {3, -4}, .automatic = false, .manualScale = 250, .opacity = 150};
    EXPECT_EQ(p.uniforms(), (CutoutUniforms{Float4{-1, 2, 3, -4}, Float4{2.5f, 1, 0, 0}}));
    p.opacity = -10;
    EXPECT_EQ(p.uniforms()[1].y, 0);
}

TEST(CutoutParameters, NaNFieldsReachTheShaderAsZero)
{
    const float fnan = std::numeric_limits<float>::quiet_NaN();
    CutoutParameters p{.source = {fnan, 0.3f}, .manualScale = fnan};
    EXPECT_EQ(p.uniforms(), (CutoutUniforms{Float4{0, 0.3f, 0.5f, 0.3f}, Float4{1, 1, 0, 0}}));
}

TEST(CutoutParameters, FromEightValues)
{
    std::vector<double> v = {0.1, 0.2, 0.3, 0.4, 0.5, 80, 120, 60};
    CutoutParameters p = CutoutParameters::fromValues(v);
    EXPECT_EQ(p.source, (Float2{0.1f, 0.2f}));
    EXPECT_EQ(p.target, (Float2{0.3f, 0.4f}));
    EXPECT_TRUE(p.automatic);
    EXPECT_EQ(p.horizon, 0.8f);
    EXPECT_EQ(p.manualScale, 120);
    EXPECT_EQ(p.opacity, 60);
    v[4] = 0;
    EXPECT_FALSE(CutoutParameters::fromValues(v).automatic);
    v[4] = -0.001;
    EXPECT_TRUE(CutoutParameters::fromValues(v).automatic);
}

class CutoutRefused : public testing::TestWithParam<std::vector<double>> { };

TEST_P(CutoutRefused, InvalidCutoutState)
{
    test::expectRendererError([] { CutoutParameters::fromValues(GetParam()); }, "Invalid cutout state");
}

INSTANTIATE_TEST_SUITE_P(Arrays, CutoutRefused,
                         testing::Values(std::vector<double>(7, 0.5), std::vector<double>(9, 0.5),
                                         std::vector<double>{},
                                         std::vector<double>{0.5, nan, 0.5, 0.5, 1, 80, 100, 100},
                                         std::vector<double>{0.5, 0.5, 0.5, 0.5, 1, 80, 100, inf},
                                         std::vector<double>{0.5, 0.5, 0.5, 0.5, -inf, 80, 100, 100}));

TEST(MarkerRendererError, CarriesDomainCodeAndMessage)
{
    MarkerRendererError error = rendererFailure("Command buffer unavailable");
    EXPECT_EQ(error.domain(), "FC.GXL.PlayerMarker");
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.message(), "Command buffer unavailable");
    EXPECT_STREQ(error.what(), "Command buffer unavailable");
}

} // namespace
