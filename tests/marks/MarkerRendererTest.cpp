// The marker renderer's mechanics on the real GPU: creation and its errors,
// the pipeline caches and their keys, the source copy, the label pass and the
// cutout pass.

#include "SyntheticPitch.h"
#include "support/TempDir.h"

#include "marks/LabelTexture.h"
#include "marks/MarkerRenderer.h"
#include "platform/gpu/CommandQueue.h"
#include "platform/gpu/GpuError.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>

#include <fstream>
#include <system_error>
#include <thread>

using namespace zanto;
using namespace zanto::test;
using gpu::PixelFormat;

namespace {

std::filesystem::path shaderPath()
{
    return MarkerRenderer::shaderResource().value_or("");
}

std::string shaderText()
{
    std::ifstream file(shaderPath());
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

struct Rig {
    Rig() { ensureGuiApplication(); }
    std::shared_ptr<gpu::Device> device = gpu::Device::systemDefault();
    std::filesystem::path shader = shaderPath();
    MarkerRenderer renderer{device, shader};

    std::shared_ptr<gpu::Texture> target(PixelFormat format = PixelFormat::BGRA8Unorm, int width = canvasWidth,
                                         int height = canvasHeight)
    {
        return device->makeTexture(
            {format, width, height, gpu::TextureUsage::RenderTarget | gpu::TextureUsage::ShaderRead});
    }

    std::vector<std::uint8_t> draw(const MarkerParameters& p, const std::string& label = {},
                                   std::shared_ptr<gpu::Texture> source = nullptr)
    {
        auto texture = target();
        renderer.render(texture, p, 0.5, source, label);
        return texture->bytes();
    }
};

MarkerParameters labelled()
{
    MarkerParameters p;
    p.labelEnabled = true;
    p.position = {0.5f, 0.5f};
    return p;
}

} // namespace

struct KeyCase {
    PixelFormat format;
    bool cutout, ground, overlay;
    std::uint64_t key;
};

void PrintTo(const KeyCase& c, std::ostream* out)
{
    *out << gpu::rawValue(c.format) << (c.cutout ? " cutout" : "") << (c.ground ? " ground" : "")
         << (c.overlay ? " overlay" : "");
}

class PipelineKey : public ::testing::TestWithParam<KeyCase> { };

TEST_P(PipelineKey, OffsetsByMode)
{
    const auto& c = GetParam();
    EXPECT_EQ(MarkerRenderer::pipelineKey(c.format, c.cutout, c.ground, c.overlay), c.key);
}

INSTANTIATE_TEST_SUITE_P(Modes, PipelineKey,
                         ::testing::Values(KeyCase{PixelFormat::BGRA8Unorm, false, false, false, 80},
                                           KeyCase{PixelFormat::BGRA8Unorm, false, false, true, 80},
                                           KeyCase{PixelFormat::BGRA8Unorm, false, true, false, 200080},
                                           KeyCase{PixelFormat::BGRA8Unorm, false, true, true, 300080},
                                           KeyCase{PixelFormat::RGBA8Unorm, true, true, true, 100070},
                                           KeyCase{PixelFormat::RGBA8Unorm, true, false, false, 100070}));

TEST(MarkerRenderer, PicksTheFragmentFunctionByModeAndCachesEachOnce)
{
    Rig rig;
    auto source = pitchTexture(rig.device, syntheticPitch());
    struct Case {
        std::shared_ptr<gpu::Texture> source;
        bool overlay;
        std::uint64_t key;
        const char* fragment;
    };
    const Case cases[] = {{nullptr, true, 80, "markerFragment"},
                          {nullptr, false, 80, "markerFragment"},
                          {source, false, 200080, "groundFragment"},
                          {source, true, 300080, "groundOverlayFragment"}};
    for (const auto& c : cases) {
        rig.renderer.render(rig.target(), MarkerParameters{}, 0, c.source, {}, c.overlay);
        EXPECT_EQ(rig.renderer.cachedFragmentFunction(c.key), c.fragment);
    }
    EXPECT_EQ(rig.renderer.pipelineCount(), 3u);
    rig.renderer.render(rig.target(), MarkerParameters{}, 1, nullptr);
    EXPECT_EQ(rig.renderer.pipelineCount(), 3u) << "same format, same mode: no new pipeline";
    rig.renderer.render(rig.target(PixelFormat::RGBA8Unorm, 64, 64), MarkerParameters{}, 1, nullptr);
    EXPECT_EQ(rig.renderer.pipelineCount(), 4u) << "another format compiles its own";
    EXPECT_EQ(rig.renderer.cachedFragmentFunction(70), "markerFragment");
}

TEST(MarkerRenderer, ThreadsNeedingOneNewPipelineMakeItOnce)
{
    Rig rig;
    MarkerRenderer fresh(rig.device, rig.shader);
    std::vector<std::vector<std::uint8_t>> pictures(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < pictures.size(); ++i)
        threads.emplace_back([&, i] {
            auto texture = rig.target();
            fresh.render(texture, MarkerParameters{}, 0.25, nullptr);
            pictures[i] = texture->bytes();
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(fresh.pipelineCount(), 1u);
    for (const auto& picture : pictures) EXPECT_EQ(picture, pictures.front());
}

TEST(MarkerRenderer, FailedPipelineIsNotCachedAndTriedAgain)
{
    Rig rig;
    TempDir folder;
    std::string source = shaderText();
    // Rename the ground function away: the library compiles, its pipeline cannot.
    const auto at = source.find("vec4 groundFragment()");
    ASSERT_NE(at, std::string::npos);
    source.replace(at, 21, "vec4 groundFragmentX()");
    writeFile(folder / "shader.glsl", source);
    MarkerRenderer renderer(rig.device, folder / "shader.glsl");
    auto frame = pitchTexture(rig.device, syntheticPitch());
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW(renderer.render(rig.target(), MarkerParameters{}, 0, frame), gpu::GpuError);
        EXPECT_EQ(renderer.pipelineCount(), 0u);
    }
    renderer.render(rig.target(), MarkerParameters{}, 0, nullptr);
    EXPECT_EQ(renderer.pipelineCount(), 1u) << "the renderer stays usable";
}

TEST(MarkerRenderer, CreationPassesPlatformErrorsThrough)
{
    auto device = gpu::Device::systemDefault();
    TempDir folder;
    EXPECT_THROW(MarkerRenderer(device, folder / "missing.glsl"), std::system_error);
    writeFile(folder / "latin1.glsl", std::string("// caf\xE9\n") + shaderText());
    EXPECT_THROW(MarkerRenderer(device, folder / "latin1.glsl"), std::system_error);
    writeFile(folder / "broken.glsl", shaderText() + "\nvec4 broken() { return nothingHere; }\n");
    try {
        MarkerRenderer renderer(device, folder / "broken.glsl");
        FAIL() << "a broken shader made a renderer";
    } catch (const gpu::GpuError& error) {
        EXPECT_NE(std::string(error.what()).find("nothingHere"), std::string::npos) << error.what();
    }
    EXPECT_THROW(MarkerRenderer(nullptr, shaderPath()), MarkerRendererError);
}

TEST(MarkerRenderer, FailureIsTheRendererError)
{
    const MarkerRendererError error = MarkerRenderer::failure("Command buffer unavailable");
    EXPECT_EQ(error.domain(), "FC.GXL.PlayerMarker");
    EXPECT_EQ(error.code(), 1);
    EXPECT_STREQ(error.what(), "Command buffer unavailable");
}

TEST(MarkerRenderer, RefusesTargetsAndSourcesItCannotUse)
{
    Rig rig;
    auto readOnly = rig.device->makeTexture({PixelFormat::BGRA8Unorm, 64, 64, gpu::TextureUsage::ShaderRead});
    struct Case {
        std::shared_ptr<gpu::Texture> target, source;
        const char* message;
    };
    auto foreign = gpu::Device::create();
    auto foreignSource = foreign->makeTexture({PixelFormat::BGRA8Unorm, 64, 64, gpu::TextureUsage::ShaderRead});
    const Case cases[] = {{readOnly, nullptr, "Render encoder unavailable"},
                          {nullptr, nullptr, "Render encoder unavailable"},
                          {rig.target(), foreignSource, "Source copy unavailable"}};
    for (const auto& c : cases) {
        try {
            rig.renderer.render(c.target, MarkerParameters{}, 0, c.source);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const MarkerRendererError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(MarkerRenderer, SourceThatIsTheTargetIsReadThroughItsCopy)
{
    Rig rig;
    const QImage pitch = syntheticPitch();
    MarkerParameters p;
    p.groundOnly = true;
    auto separateTarget = rig.target();
    rig.renderer.render(separateTarget, p, 0.3, pitchTexture(rig.device, pitch), {}, false);
    auto same = pitchTexture(rig.device, pitch);
    rig.renderer.render(same, p, 0.3, same, {}, false);
    EXPECT_EQ(same->bytes(), separateTarget->bytes());
}

TEST(MarkerRenderer, DiscardedPixelsStayTransparentBlack)
{
    Rig rig;
    MarkerParameters p;
    p.ringStyle = 3; // no rings and nothing else: an empty marker
    auto target = pitchTexture(rig.device, syntheticPitch());
    rig.renderer.render(target, p, 0, nullptr);
    EXPECT_EQ(target->bytes(), std::vector<std::uint8_t>(std::size_t(canvasWidth) * canvasHeight * 4, 0));
}

TEST(LabelPass, DrawsOnlyForEnabledNonBlankText)
{
    Rig rig;
    const auto plain = rig.draw(labelled());
    EXPECT_NE(rig.draw(labelled(), "Kai 10"), plain);
    MarkerParameters off = labelled();
    off.labelEnabled = false;
    for (const char* blank : {"", "   ", " \t\n\r "}) EXPECT_EQ(rig.draw(labelled(), blank), plain) << "blank label";
    EXPECT_EQ(rig.draw(off, "Kai 10"), rig.draw(off)) << "labels off";
    EXPECT_EQ(rig.renderer.textPipelineCount(), 1u);
}

TEST(LabelPass, OversizedLabelsDrawNothingInsteadOfExhaustingMemory)
{
    Rig rig;
    const auto plain = rig.draw(labelled());
    struct Case {
        float size, padding;
    };
    // Also boxes that a texture could hold but that dwarf the target: a font
    // of 2000 pixels, a margin of 1900 on a 1280-wide target.
    for (auto c :
         {Case{1e7f, 14}, Case{34, 1e9f}, Case{3000, 14}, Case{34, 2850},
          Case{std::numeric_limits<float>::infinity(), 14}, Case{34, std::numeric_limits<float>::quiet_NaN()}}) {
        MarkerParameters p = labelled();
        p.labelSize = c.size;
        p.labelPadding = c.padding;
        EXPECT_EQ(rig.draw(p, "Kai"), plain) << c.size << " / " << c.padding;
    }
}

TEST(LabelPass, BoxIsCompositedOverTheMarkerAtItsFrame)
{
    Rig rig;
    MarkerParameters p = labelled();
    p.labelOffset = {0, 0};
    p.labelBoxColor = {1, 0, 0, 1};
    p.labelBackgroundOpacity = 1;
    const auto label = makeLabelImage("Kai", p, canvasWidth, canvasHeight, 16384);
    ASSERT_TRUE(label);
    auto texture = rig.target();
    rig.renderer.render(texture, p, 0, nullptr, "Kai");
    const QImage image = canvasImage(*texture);
    // In the box's left margin, at mid height: the opaque red box.
    const Bgra inside = pixel(image, int(label->frame.x + 3), int(label->frame.y + label->frame.w / 2));
    EXPECT_EQ(inside.a, 255);
    EXPECT_GT(inside.r, 200);
    EXPECT_LT(inside.g, 40);
    // Beside the frame the marker is as it is without a label.
    auto plain = rig.target();
    rig.renderer.render(plain, p, 0, nullptr);
    const QImage marker = canvasImage(*plain);
    for (auto [x, y] :
         {std::pair{label->frame.x - 4, label->frame.y}, {label->frame.x + label->frame.z + 4, label->frame.y}})
        EXPECT_EQ(image.pixel(int(x), int(y)), marker.pixel(int(x), int(y)));
}

struct TextCase {
    std::string text;
    std::string shown;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << '"' << c.text << '"';
}

class LabelText : public ::testing::TestWithParam<TextCase> { };

TEST_P(LabelText, TrimmedAndCutToTwentyFourCharacters)
{
    EXPECT_EQ(labelText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, LabelText,
                         ::testing::Values(TextCase{"  Kai  ", "Kai"}, TextCase{"\n\tA B\n", "A B"},
                                           TextCase{" \n ", ""},
                                           TextCase{"abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrstuvwx"},
                                           // Characters as the user sees them: accents and Japanese count once.
                                           TextCase{"e\xCC\x81"
                                                    "bcdefghijklmnopqrstuvwxyz",
                                                    "e\xCC\x81"
                                                    "bcdefghijklmnopqrstuvwx"},
                                           TextCase{"\xE3\x82\xAB\xE3\x82\xA4 10", "\xE3\x82\xAB\xE3\x82\xA4 10"}));

TEST(LabelLayout, ScalesWithTheTargetWidthAndKeepsItsMinimums)
{
    ensureGuiApplication();
    MarkerParameters p = labelled();
    struct Case {
        float size;
        double font;
    };
    for (auto c : {Case{30, 20}, Case{9, 8}, Case{34, 34 * 1280.0 / 1920}}) {
        p.labelSize = c.size;
        const auto label = makeLabelImage("Kai", p, 1280, 720, 16384);
        ASSERT_TRUE(label);
        EXPECT_NEAR(label->fontSize, c.font, 1e-4);
    }
    p.labelSize = 1;
    p.labelPadding = 0;
    const auto tiny = makeLabelImage("i", p, 1280, 720, 16384);
    ASSERT_TRUE(tiny);
    EXPECT_GE(tiny->image.width(), 8);
    EXPECT_GE(tiny->image.height(), 8);
}

// A line break inside the text starts a second line: the box grows taller
// and narrower than for the same words on one line.
TEST(LabelLayout, LineBreaksInsideTheTextStartNewLines)
{
    ensureGuiApplication();
    const MarkerParameters p = labelled();
    const auto oneLine = makeLabelImage("Kai Tanaka", p, 1280, 720, 16384);
    const auto twoLines = makeLabelImage(" Kai\nTanaka\n", p, 1280, 720, 16384);
    ASSERT_TRUE(oneLine && twoLines);
    EXPECT_GT(twoLines->image.height(), oneLine->image.height() * 3 / 2);
    EXPECT_LT(twoLines->image.width(), oneLine->image.width());
}

TEST(LabelLayout, FrameIsCentredOnThePositionShiftedByTheOffset)
{
    ensureGuiApplication();
    MarkerParameters p = labelled();
    p.labelOffset = {0, 0};
    auto label = makeLabelImage("Kai", p, 1280, 720, 16384);
    ASSERT_TRUE(label);
    EXPECT_FLOAT_EQ(label->frame.x + label->frame.z / 2, 640);
    EXPECT_FLOAT_EQ(label->frame.y + label->frame.w / 2, 360);
    EXPECT_EQ(label->frame.z, float(label->image.width()));
    p.labelOffset = {0, -95};
    label = makeLabelImage("Kai", p, 1920, 1080, 16384);
    EXPECT_FLOAT_EQ(label->frame.y + label->frame.w / 2, 540 - 95);
    label = makeLabelImage("Kai", p, 1280, 720, 16384);
    EXPECT_NEAR(label->frame.y + label->frame.w / 2, 360 - 63.333, 1e-3);
    EXPECT_FALSE(makeLabelImage("Kai", p, 1280, 720, 16)) << "larger than the largest texture";
}

TEST(CutoutPass, OpacityZeroGivesTheSourceAndSelfSourceIsCopiedFirst)
{
    Rig rig;
    const QImage pitch = syntheticPitch();
    auto source = pitchTexture(rig.device, pitch);
    auto target = rig.target();
    CutoutParameters hidden;
    hidden.opacity = 0;
    rig.renderer.renderCutout(target, source, hidden);
    EXPECT_EQ(target->bytes(), source->bytes());

    // The red player's feet, stood nearer the camera: drawn larger.
    CutoutParameters moved{.source = {0.45f, 0.28f}, .target = {0.25f, 0.15f}};
    rig.renderer.renderCutout(target, source, moved);
    const auto expected = target->bytes();
    EXPECT_NE(expected, source->bytes()) << "the player appears at the target point";
    // The centre circle's line crosses the player's patch; it stays behind
    // with the grass, soft edges included: no light pixel appears around the
    // target point, where the picture has no line of its own (the player's
    // skin is no line: it is not grey).
    const QImage cut = canvasImage(*target);
    long light = 0;
    for (int y = 400; y < 625; ++y)
        for (int x = 240; x < 400; ++x) {
            const Bgra p = pixel(cut, x, y);
            light += std::min({p.r, p.g, p.b}) > 150 && std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) < 40;
        }
    EXPECT_EQ(light, 0) << "a piece of pitch line came with the player";
    QDir().mkpath(ZANTO_TEST_OUTPUT_DIR);
    EXPECT_TRUE(canvasImage(*target).save(QString(ZANTO_TEST_OUTPUT_DIR) + "/marker-cutout.png"));
    rig.renderer.renderCutout(source, source, moved);
    EXPECT_EQ(source->bytes(), expected);
    EXPECT_EQ(rig.renderer.cachedFragmentFunction(100080), "cutoutFragment");
}
