// The value-array entry points: checks before any work, the shader resource,
// the per-device renderer cache and drawing from flat arrays of numbers.

#include "SyntheticPitch.h"
#include "support/TempDir.h"

#include "marks/GXLMarkerRenderer.h"
#include "marks/MarkerRenderer.h"
#include "platform/gpu/RenderPipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <thread>

using namespace zanto;
using namespace zanto::test;

namespace {

// A ring array of any accepted length: the 20 ring entries, then zeros,
// except the fields zero would switch off.
std::vector<double> ringArray(std::size_t length = 20)
{
    std::vector<double> values = {1, 0.5, 0, 1, 1, 1, 1, 1, 150, 30, 18, 10, 20, 1, 1, 25, 100, 0.5, 0.5, 0};
    values.resize(length, 0.0);
    return values;
}

std::shared_ptr<gpu::Texture> target(const std::shared_ptr<gpu::Device>& device)
{
    ensureGuiApplication();
    return canvasTexture(device);
}

std::string rendererMessage(const std::function<void()>& work)
{
    try {
        work();
    } catch (const MarkerRendererError& error) {
        return error.what();
    }
    return "no error";
}

// Points the resource lookup at an empty folder for the test's duration.
class NoResources {
public:
    NoResources() { setenv("ZANTO_RESOURCES", folder.path().c_str(), 1); }
    ~NoResources() { unsetenv("ZANTO_RESOURCES"); }

private:
    TempDir folder;
};

} // namespace

struct BadArray {
    const char* what;
    std::vector<double> values;
    double seconds;
};

void PrintTo(const BadArray& array, std::ostream* out)
{
    *out << array.what;
}

class RefusedArray : public ::testing::TestWithParam<BadArray> { };

TEST_P(RefusedArray, IsAnInvalidStateBeforeAnyWork)
{
    auto device = gpu::Device::create(); // a device no renderer was made for
    auto texture = target(device);
    const auto before = GXLMarkerRenderer::cachedRendererCount();
    NoResources none; // the check comes before the resource lookup
    EXPECT_EQ(
        rendererMessage([&] { GXLMarkerRenderer::renderTexture(texture, GetParam().values, "", GetParam().seconds); }),
        "Invalid parameter state")
        << GetParam().what;
    EXPECT_EQ(GXLMarkerRenderer::cachedRendererCount(), before) << "no renderer was made";
}

std::vector<BadArray> badArrays()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto with = [](std::size_t index, double value) {
        auto values = ringArray();
        values[index] = value;
        return values;
    };
    return {{"length 21", ringArray(21), 0},   {"length 100", ringArray(100), 0},
            {"length 657", ringArray(657), 0}, {"empty", {}, 0},
            {"NaN entry", with(3, nan), 0},    {"infinite entry", with(8, -inf), 0},
            {"1e8", with(8, 1e8), 0},          {"-1e8", with(0, -1e8), 0},
            {"NaN seconds", ringArray(), nan}, {"infinite seconds", ringArray(), inf}};
}

INSTANTIATE_TEST_SUITE_P(Arrays, RefusedArray, ::testing::ValuesIn(badArrays()));

TEST(ValueArrays, AcceptsEveryListedLengthAndTheLargestEntry)
{
    auto device = gpu::Device::systemDefault();
    auto texture = target(device);
    for (std::size_t length : {20, 23, 40, 56, 73, 76, 77, 78, 79, 84, 96, 108, 628, 631, 641, 656}) {
        auto values = ringArray(length);
        if (length >= 40) values[32] = 4; // point count
        EXPECT_NO_THROW(GXLMarkerRenderer::renderTexture(texture, values, "", 1.0)) << length;
    }
    auto values = ringArray();
    values[9] = 99999999;
    EXPECT_NO_THROW(GXLMarkerRenderer::renderTexture(texture, values, "", 0));
}

TEST(ValueArrays, MissingShaderResourceIsReported)
{
    auto texture = target(gpu::Device::systemDefault());
    NoResources none;
    EXPECT_EQ(rendererMessage([&] { GXLMarkerRenderer::renderTexture(texture, ringArray(), "", 0); }),
              "Missing shader resource");
    const std::vector<double> cutout = {0.5, 0.3, 0.5, 0.3, 1, 80, 100, 100};
    EXPECT_EQ(rendererMessage([&] { GXLMarkerRenderer::renderCutoutTexture(texture, texture, cutout); }),
              "Invalid cutout state");
}

TEST(ValueArrays, OneRendererPerDevice)
{
    auto first = gpu::Device::create();
    auto second = gpu::Device::create();
    const auto before = GXLMarkerRenderer::cachedRendererCount();
    GXLMarkerRenderer::renderTexture(target(first), ringArray(), "", 0);
    GXLMarkerRenderer::renderTexture(target(first), ringArray(), "", 0.5);
    EXPECT_EQ(GXLMarkerRenderer::cachedRendererCount(), before + 1);
    const auto shader = MarkerRenderer::shaderResource().value_or("");
    EXPECT_EQ(GXLMarkerRenderer::cachedRenderer(first, shader), GXLMarkerRenderer::cachedRenderer(first, "/nowhere"))
        << "a cached device's renderer comes back whatever the path";
    GXLMarkerRenderer::renderTexture(target(second), ringArray(), "", 0);
    EXPECT_EQ(GXLMarkerRenderer::cachedRendererCount(), before + 2);
}

// A host sending ever new feature combinations (ring style, rings, line
// mode, points, fill, arrow, space) does not grow the compiled programs
// without bound.
TEST(ValueArrays, VariedArraysKeepABoundedNumberOfPrograms)
{
    auto device = gpu::Device::create();
    auto texture = target(device);
    std::mt19937 random(7);
    auto pick = [&](int highest) { return double(std::uniform_int_distribution<int>(0, highest)(random)); };
    const std::size_t calls = gpu::RenderPipeline::maxVariants + 12;
    for (std::size_t call = 0; call < calls; ++call) {
        auto values = ringArray(108);
        values[76] = pick(7), values[77] = pick(1), values[31] = pick(2), values[32] = pick(12);
        values[35] = pick(1) / 2, values[56] = pick(5), values[84] = pick(5);
        values[61] = 0.02, values[62] = 0.05, values[67] = 1;
        ASSERT_NO_THROW(GXLMarkerRenderer::renderTexture(texture, values, "", call * 0.1));
    }
    const auto renderer = GXLMarkerRenderer::cachedRenderer(device, "");
    EXPECT_LE(renderer->programCount(),
              gpu::RenderPipeline::maxVariants + renderer->pipelineCount() + renderer->textPipelineCount());
}

// Cutouts through the entry point share the device's renderer and make one
// cutout pipeline for each pixel format, whatever the number of calls; a
// target that is its own source is drawn like one read from a copy.
TEST(ValueArrays, CutoutsShareTheRendererAndOnePipelineAFormat)
{
    auto device = gpu::Device::create();
    const auto before = GXLMarkerRenderer::cachedRendererCount();
    const QImage pitch = syntheticPitch();
    auto source = pitchTexture(device, pitch);
    const std::vector<double> cutout = {0.45, 0.28, 0.25, 0.15, 1, 80, 100, 100};
    struct Call {
        gpu::PixelFormat format;
        std::size_t pipelines;
    };
    for (const Call call : {Call{gpu::PixelFormat::BGRA8Unorm, 1}, Call{gpu::PixelFormat::BGRA8Unorm, 1},
                            Call{gpu::PixelFormat::RGBA8Unorm, 2}, Call{gpu::PixelFormat::RGBA8Unorm, 2}}) {
        auto texture = device->makeTexture(
            {call.format, canvasWidth, canvasHeight, gpu::TextureUsage::RenderTarget | gpu::TextureUsage::ShaderRead});
        GXLMarkerRenderer::renderCutoutTexture(texture, source, cutout);
        EXPECT_EQ(GXLMarkerRenderer::cachedRendererCount(), before + 1);
        EXPECT_EQ(GXLMarkerRenderer::cachedRenderer(device, "")->pipelineCount(), call.pipelines);
    }
    auto drawn = canvasTexture(device);
    EXPECT_EQ(rendererMessage([&] { GXLMarkerRenderer::renderCutoutTexture(drawn, nullptr, cutout); }),
              "Invalid cutout state");
    EXPECT_EQ(drawn->bytes(), std::vector<std::uint8_t>(drawn->bytes().size(), 0)) << "the target is untouched";
    GXLMarkerRenderer::renderCutoutTexture(drawn, source, cutout);
    GXLMarkerRenderer::renderCutoutTexture(source, source, cutout);
    EXPECT_EQ(source->bytes(), drawn->bytes());
}

TEST(ValueArrays, FirstCallsFromTwoThreadsMakeOneRenderer)
{
    auto device = gpu::Device::create();
    const auto shader = MarkerRenderer::shaderResource().value_or("");
    std::shared_ptr<MarkerRenderer> a, b;
    std::thread other([&] { a = GXLMarkerRenderer::cachedRenderer(device, shader); });
    b = GXLMarkerRenderer::cachedRenderer(device, shader);
    other.join();
    EXPECT_EQ(a, b);
}

TEST(ValueArrays, FailedCreationCachesNothing)
{
    auto device = gpu::Device::create();
    const auto before = GXLMarkerRenderer::cachedRendererCount();
    EXPECT_THROW(GXLMarkerRenderer::cachedRenderer(device, "/nowhere/shader.glsl"), std::system_error);
    EXPECT_EQ(GXLMarkerRenderer::cachedRendererCount(), before);
    EXPECT_NE(GXLMarkerRenderer::cachedRenderer(device, MarkerRenderer::shaderResource().value_or("")), nullptr);
}

TEST(ValueArrays, RingStyleSevenTurnsTheLabelOn)
{
    auto device = gpu::Device::systemDefault();
    auto texture = target(device);
    auto values = ringArray(77);
    values[32] = 4;
    auto draw = [&](const std::string& label) {
        GXLMarkerRenderer::renderTexture(texture, values, label, 0);
        return texture->bytes();
    };
    values[76] = 1;
    const auto styleOne = draw("Kai");
    EXPECT_EQ(styleOne, draw("")) << "labels are off by default";
    values[76] = 7;
    const auto unlabelled = draw("  ");
    EXPECT_NE(draw("Kai"), unlabelled) << "style 7 draws the label";
}

TEST(ValueArrays, GroundPathKeysTheMarkerToTheTurf)
{
    auto device = gpu::Device::systemDefault();
    const QImage pitch = syntheticPitch();
    auto source = pitchTexture(device, pitch);
    auto texture = target(device);
    auto values = ringArray(96);
    values[32] = 4;
    values[17] = 0.62;
    values[18] = 0.60;                             // the ring round the blue player's feet
    values[89] = 1;                                // turf only
    const double key[] = {0.3, 0.38, 0.12, 18, 8}; // turf colour, tolerance, softness
    std::copy(std::begin(key), std::end(key), values.begin() + 90);
    GXLMarkerRenderer::renderGroundTexture(texture, source, values, "", 0);
    const QImage frame = canvasImage(*texture);
    long changedOffTurf = 0, changedOnTurf = 0;
    for (int y = 300; y < 560; ++y)
        for (int x = 650; x < 940; ++x) {
            const bool turf = pitch.pixelColor(x, y).green() > pitch.pixelColor(x, y).red() + 20
                              && pitch.pixelColor(x, y).green() < 120;
            const bool changed = frame.pixel(x, y) != pitch.pixel(x, y);
            (turf ? changedOnTurf : changedOffTurf) += changed;
        }
    EXPECT_GT(changedOnTurf, 300);
    EXPECT_EQ(changedOffTurf, 0) << "the player and the lines stay in front of the ring";
}

struct CutoutArray {
    const char* what;
    std::vector<double> values;
};

void PrintTo(const CutoutArray& array, std::ostream* out)
{
    *out << array.what;
}

class RefusedCutout : public ::testing::TestWithParam<CutoutArray> { };

TEST_P(RefusedCutout, IsAnInvalidCutoutState)
{
    auto texture = target(gpu::Device::systemDefault());
    const auto before = texture->bytes();
    EXPECT_EQ(rendererMessage([&] { GXLMarkerRenderer::renderCutoutTexture(texture, texture, GetParam().values); }),
              "Invalid cutout state")
        << GetParam().what;
    EXPECT_EQ(texture->bytes(), before) << "the target is untouched";
}

INSTANTIATE_TEST_SUITE_P(Arrays, RefusedCutout,
                         ::testing::Values(CutoutArray{"seven", {0.5, 0.3, 0.5, 0.3, 1, 80, 100}},
                                           CutoutArray{"nine", {0.5, 0.3, 0.5, 0.3, 1, 80, 100, 100, 1}},
                                           CutoutArray{"NaN", {0.5, 0.3, std::nan(""), 0.3, 1, 80, 100, 100}},
                                           CutoutArray{"infinite", {0.5, 0.3, 0.5, 0.3, 1, 80, 100, -HUGE_VAL}}));
