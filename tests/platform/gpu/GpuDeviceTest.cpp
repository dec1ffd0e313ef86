// The GPU layer on the headless driver: textures, run-time shader libraries,
// pipelines with and without blending, blits, errors and threads.

#include "platform/gpu/CommandQueue.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Library.h"
#include "platform/gpu/RenderPipeline.h"
#include "platform/gpu/Texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

using namespace zanto::gpu;

namespace {

// Fills the target with the colour in block 0, or samples texture 0 when
// block 0's alpha is negative; block 1 shifts the sample position.
const char* testSource = R"(
precision highp float;
#ifdef ZANTO_VERTEX_STAGE
void fullVertex() {
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
#endif
#ifdef ZANTO_FRAGMENT_STAGE
layout(std140, binding = 0) uniform Fill { vec4 color; } fill;
layout(binding = 0) uniform highp sampler2D picture;
out vec4 zantoColor;
vec4 fillFragment() { return fill.color; }
vec4 copyFragment() { return texelFetch(picture, ivec2(gl_FragCoord.xy), 0); }
#ifndef ZANTO_SPECIALISED
#define FEATURE_RED -1
#endif
vec4 constantFragment() { return FEATURE_RED >= 0 ? vec4(float(FEATURE_RED) / 255.0, 0.0, 0.0, 1.0) : fill.color; }
vec4 halfFragment() {
    if (gl_FragCoord.x < 2.0) discard;
    return fill.color;
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
)";

struct Rig {
    std::shared_ptr<Device> device = Device::systemDefault();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    std::shared_ptr<Library> library = device->makeLibrary(testSource);

    std::shared_ptr<RenderPipeline> pipeline(const std::string& fragment, PixelFormat format,
                                             Blending blending = Blending::None)
    {
        return device->makeRenderPipeline({library, "fullVertex", fragment, format, blending});
    }

    std::shared_ptr<Texture> texture(PixelFormat format, int width, int height)
    {
        return device->makeTexture({format, width, height, TextureUsage::RenderTarget | TextureUsage::ShaderRead});
    }

    // One pass of `fragment` into the target; returns the command buffer.
    std::shared_ptr<CommandBuffer> draw(const std::shared_ptr<Texture>& target, const std::string& fragment,
                                        std::array<float, 4> color, LoadAction load = LoadAction::Clear,
                                        Blending blending = Blending::None, std::shared_ptr<Texture> source = nullptr)
    {
        auto buffer = queue->makeCommandBuffer();
        auto encoder = buffer->makeRenderCommandEncoder({target, load, {0, 0, 0, 0}});
        EXPECT_NE(encoder, nullptr);
        encoder->setPipeline(pipeline(fragment, target->pixelFormat(), blending));
        encoder->setFragmentBytes(color.data(), sizeof color, 0);
        encoder->setFragmentTexture(source, 0);
        encoder->drawPrimitives(0, 3);
        encoder->endEncoding();
        buffer->commit();
        buffer->waitUntilCompleted();
        return buffer;
    }
};

std::vector<std::uint8_t> gradient(int width, int height)
{
    std::vector<std::uint8_t> bytes(std::size_t(width * height * 4));
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t((i * 7 + i / 13) & 0xFF);
    return bytes;
}

} // namespace

TEST(GpuDevice, SystemDefaultIsSharedAndNewDevicesAreDistinct)
{
    auto first = Device::systemDefault();
    auto second = Device::systemDefault();
    auto other = Device::create();
    EXPECT_EQ(first, second);
    EXPECT_NE(first->registryID(), other->registryID());
    EXPECT_FALSE(first->name().empty());
    EXPECT_GE(first->maxTextureSize(), 2048);
}

class TextureRoundTrip : public ::testing::TestWithParam<PixelFormat> { };

TEST_P(TextureRoundTrip, UploadAndReadBackKeepBytesAndRowOrder)
{
    Rig rig;
    auto texture = rig.texture(GetParam(), 5, 3);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->bytes(), std::vector<std::uint8_t>(5 * 3 * 4, 0)) << "fresh textures are transparent black";
    const auto bytes = gradient(5, 3);
    // Rows 28 bytes apart: the padding must be skipped both ways.
    std::vector<std::uint8_t> padded(28 * 3, 0xEE);
    for (int y = 0; y < 3; ++y) std::copy_n(bytes.begin() + y * 20, 20, padded.begin() + y * 28);
    texture->replace(padded.data(), 28);
    EXPECT_EQ(texture->bytes(), bytes);
    std::vector<std::uint8_t> back(28 * 3, 0x11);
    texture->getBytes(back.data(), 28);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(back[std::size_t(y * 28 + 20)], 0x11) << "padding untouched";
}

INSTANTIATE_TEST_SUITE_P(Formats, TextureRoundTrip,
                         ::testing::Values(PixelFormat::RGBA8Unorm, PixelFormat::BGRA8Unorm));

TEST(GpuTexture, RefusesImpossibleSizesAndRegions)
{
    Rig rig;
    const int tooLarge = rig.device->maxTextureSize() + 1;
    for (auto [width, height] : {std::pair{0, 4}, std::pair{4, -1}, std::pair{tooLarge, 4}})
        EXPECT_EQ(rig.texture(PixelFormat::BGRA8Unorm, width, height), nullptr) << width << "x" << height;
    auto texture = rig.texture(PixelFormat::BGRA8Unorm, 4, 4);
    std::vector<std::uint8_t> bytes(64);
    EXPECT_THROW(texture->replaceRegion(2, 2, 3, 1, bytes.data(), 12), GpuError);
    EXPECT_THROW(texture->replace(bytes.data(), 8), GpuError);
}

// Where the driver cannot store BGRA, BGRA textures are stored as RGBA and
// their bytes swapped on the way in and out: callers and shaders see the
// same bytes and channels as with BGRA storage.
TEST(GpuTexture, BgraStoredEitherWayKeepsBytesAndChannels)
{
    std::vector<std::vector<std::uint8_t>> results;
    for (bool native : {true, false}) {
        Rig rig{Device::create()};
        // BGRA storage only where the driver offers it; RGBA storage anywhere.
        if (native && !rig.device->impl().nativeBgra) continue;
        rig.device->impl().nativeBgra = native;
        auto source = rig.texture(PixelFormat::BGRA8Unorm, 5, 3);
        const auto bytes = gradient(5, 3);
        source->replace(bytes.data(), 20);
        EXPECT_EQ(source->bytes(), bytes) << native;
        auto copy = rig.texture(PixelFormat::BGRA8Unorm, 5, 3);
        rig.draw(copy, "copyFragment", {0, 0, 0, 0}, LoadAction::Clear, Blending::None, source);
        EXPECT_EQ(copy->bytes(), bytes) << native;
        auto red = rig.texture(PixelFormat::BGRA8Unorm, 2, 2);
        rig.draw(red, "fillFragment", {1, 0, 0, 1});
        results.push_back(red->bytes());
    }
    EXPECT_EQ(results.front(), results.back());
    EXPECT_EQ(results.back()[2], 255);
}

class ChannelOrder : public ::testing::TestWithParam<PixelFormat> { };

TEST_P(ChannelOrder, RenderedRedLandsInTheFormatsRedByte)
{
    Rig rig;
    auto target = rig.texture(GetParam(), 4, 2);
    auto buffer = rig.draw(target, "fillFragment", {1, 0, 0, 1});
    ASSERT_EQ(buffer->status(), CommandBuffer::Status::Completed) << buffer->error().value_or("");
    const auto bytes = target->bytes();
    const bool bgra = GetParam() == PixelFormat::BGRA8Unorm;
    EXPECT_EQ(bytes[bgra ? 2 : 0], 255);
    EXPECT_EQ(bytes[bgra ? 0 : 2], 0);
    EXPECT_EQ(bytes[3], 255);
}

INSTANTIATE_TEST_SUITE_P(Formats, ChannelOrder, ::testing::Values(PixelFormat::RGBA8Unorm, PixelFormat::BGRA8Unorm));

TEST(GpuPipeline, ShaderSeesTopRowFirst)
{
    Rig rig;
    auto source = rig.texture(PixelFormat::RGBA8Unorm, 3, 4);
    const auto bytes = gradient(3, 4);
    source->replace(bytes.data(), 12);
    auto target = rig.texture(PixelFormat::RGBA8Unorm, 3, 4);
    auto buffer = rig.draw(target, "copyFragment", {0, 0, 0, 0}, LoadAction::Clear, Blending::None, source);
    ASSERT_EQ(buffer->status(), CommandBuffer::Status::Completed) << buffer->error().value_or("");
    EXPECT_EQ(target->bytes(), bytes);
}

TEST(GpuPipeline, DiscardKeepsClearColourAndBlendingIsPremultipliedSourceOver)
{
    Rig rig;
    auto target = rig.texture(PixelFormat::RGBA8Unorm, 4, 1);
    rig.draw(target, "halfFragment", {0, 0, 1, 1});
    auto bytes = target->bytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(bytes[8 + 2], 255);
    // Half-transparent premultiplied red over opaque blue.
    rig.draw(target, "fillFragment", {0.5f, 0, 0, 0.5f}, LoadAction::Load, Blending::PremultipliedSourceOver);
    bytes = target->bytes();
    EXPECT_NEAR(bytes[8 + 0], 128, 1);
    EXPECT_NEAR(bytes[8 + 2], 128, 1);
    EXPECT_EQ(bytes[8 + 3], 255);
    EXPECT_NEAR(bytes[0], 128, 1) << "over transparent black the source stays as it is";
    EXPECT_NEAR(bytes[3], 128, 1);
}

// A pass limited to a region clears and draws only there, a draw's own
// region is cut to the pass's, and a region reads back top row first.
TEST(GpuPipeline, ScissorsLimitClearAndDrawsAndRegionsReadBack)
{
    Rig rig;
    auto target = rig.texture(PixelFormat::RGBA8Unorm, 8, 6);
    rig.draw(target, "fillFragment", {0, 0, 1, 1}); // all blue
    auto buffer = rig.queue->makeCommandBuffer();
    auto encoder = buffer->makeRenderCommandEncoder({target, LoadAction::Clear, {0, 0, 0, 0}, PixelRegion{2, 1, 4, 4}});
    encoder->setPipeline(rig.pipeline("fillFragment", PixelFormat::RGBA8Unorm));
    const std::array<float, 4> red{1, 0, 0, 1};
    encoder->setFragmentBytes(red.data(), sizeof red, 0);
    encoder->setScissorRect(PixelRegion{0, 0, 4, 3}); // meets the pass's region in x 2-3, y 1-2
    encoder->drawPrimitives(0, 3);
    encoder->endEncoding();
    buffer->commit();
    ASSERT_EQ(buffer->status(), CommandBuffer::Status::Completed) << buffer->error().value_or("");
    const auto bytes = target->bytes();
    auto pixel = [&](int x, int y) {
        return bytes[std::size_t((y * 8 + x) * 4)] * 1000 + bytes[std::size_t((y * 8 + x) * 4 + 2)];
    };
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool cleared = x >= 2 && x < 6 && y >= 1 && y < 5, drawn = x >= 2 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(pixel(x, y), drawn ? 255000 : cleared ? 0 : 255) << x << "," << y;
        }
    std::vector<std::uint8_t> region(3 * 2 * 4);
    target->getBytes(PixelRegion{3, 2, 3, 2}, region.data(), 12);
    EXPECT_EQ(region[0], 255) << "(3, 2) is drawn red";
    EXPECT_EQ(region[12 + 0], 0) << "(3, 3) is cleared";
    EXPECT_THROW(target->getBytes(PixelRegion{6, 0, 3, 1}, region.data(), 12), GpuError);
}

TEST(GpuPipeline, BlitCopiesWholeSource)
{
    Rig rig;
    auto source = rig.texture(PixelFormat::BGRA8Unorm, 6, 5);
    const auto bytes = gradient(6, 5);
    source->replace(bytes.data(), 24);
    auto copy = rig.device->makeTexture({PixelFormat::BGRA8Unorm, 6, 5, TextureUsage::ShaderRead});
    auto buffer = rig.queue->makeCommandBuffer();
    auto blit = buffer->makeBlitCommandEncoder();
    blit->copy(source, copy);
    blit->endEncoding();
    buffer->commit();
    ASSERT_EQ(buffer->status(), CommandBuffer::Status::Completed) << buffer->error().value_or("");
    EXPECT_EQ(copy->bytes(), bytes);
}

TEST(GpuPipeline, ConstantsSpecialiseTheFragmentFunctionPerDraw)
{
    Rig rig;
    auto target = rig.texture(PixelFormat::RGBA8Unorm, 2, 1);
    auto pipeline = rig.pipeline("constantFragment", PixelFormat::RGBA8Unorm);
    const std::array<float, 4> blue = {0, 0, 1, 1};
    struct Case {
        FunctionConstants constants;
        std::uint8_t red, blue;
    };
    const Case cases[] = {
        {{}, 0, 255}, {{{"FEATURE_RED", 200}}, 200, 0}, {{{"FEATURE_RED", 7}}, 7, 0}, {{{"FEATURE_RED", 200}}, 200, 0}};
    for (const auto& c : cases) {
        auto buffer = rig.queue->makeCommandBuffer();
        auto encoder = buffer->makeRenderCommandEncoder({target});
        encoder->setPipeline(pipeline);
        encoder->setFragmentBytes(blue.data(), sizeof blue, 0);
        encoder->setFragmentConstants(c.constants);
        encoder->drawPrimitives(0, 3);
        encoder->endEncoding();
        buffer->commit();
        ASSERT_EQ(buffer->status(), CommandBuffer::Status::Completed) << buffer->error().value_or("");
        const auto bytes = target->bytes();
        EXPECT_EQ(bytes[0], c.red);
        EXPECT_EQ(bytes[2], c.blue);
    }
    EXPECT_EQ(pipeline->variantCount(), 2u) << "each set of constants compiles once";

    // Constants that break the source fail the command buffer with the log.
    auto buffer = rig.queue->makeCommandBuffer();
    auto encoder = buffer->makeRenderCommandEncoder({target});
    encoder->setPipeline(pipeline);
    encoder->setFragmentConstants({{"FEATURE_RED", 1}, {"fill", 3}});
    encoder->drawPrimitives(0, 3);
    encoder->endEncoding();
    buffer->commit();
    EXPECT_EQ(buffer->status(), CommandBuffer::Status::Error);
    EXPECT_NE(buffer->error().value_or("").find("compilation failed"), std::string::npos)
        << buffer->error().value_or("");
}

TEST(GpuLibrary, CompileErrorCarriesTheCompilerLogWithItsLine)
{
    Rig rig;
    std::string broken = testSource;
    const auto at = broken.find("vec4 fillFragment");
    broken.insert(at, "vec4 broken() { return undefinedThing; }\n");
    const auto line = 1 + std::count(broken.begin(), broken.begin() + std::ptrdiff_t(at), '\n');
    try {
        rig.device->makeLibrary(broken);
        FAIL() << "a broken source compiled";
    } catch (const GpuError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("undefinedThing"), std::string::npos) << message;
        EXPECT_NE(message.find(":" + std::to_string(line) + "("), std::string::npos)
            << "line " << line << " of the source file: " << message;
    }
}

TEST(GpuLibrary, FunctionsAreFoundByExactName)
{
    Rig rig;
    EXPECT_TRUE(rig.library->hasFunction("fillFragment"));
    EXPECT_TRUE(rig.library->hasFunction("fullVertex"));
    for (const char* missing : {"fill", "fillFragment2", "", "fill.*"})
        EXPECT_FALSE(rig.library->hasFunction(missing)) << missing;
    EXPECT_THROW(rig.pipeline("nowhereFragment", PixelFormat::BGRA8Unorm), GpuError);
}

TEST(GpuCommandBuffer, MisuseFailsTheBufferBeforeAnyPass)
{
    Rig rig;
    auto target = rig.texture(PixelFormat::RGBA8Unorm, 2, 2);
    auto readOnly = rig.device->makeTexture({PixelFormat::RGBA8Unorm, 2, 2, TextureUsage::ShaderRead});
    auto buffer = rig.queue->makeCommandBuffer();
    EXPECT_EQ(buffer->makeRenderCommandEncoder({readOnly}), nullptr) << "not a render target";
    auto foreign = Device::create()->makeTexture({PixelFormat::RGBA8Unorm, 2, 2, TextureUsage::RenderTarget});
    EXPECT_EQ(buffer->makeRenderCommandEncoder({foreign}), nullptr) << "target of another device";

    // A pipeline made for another format than the target's.
    auto encoder = buffer->makeRenderCommandEncoder({target, LoadAction::Clear, {1, 1, 1, 1}});
    encoder->setPipeline(rig.pipeline("fillFragment", PixelFormat::BGRA8Unorm));
    encoder->drawPrimitives(0, 3);
    encoder->endEncoding();
    buffer->commit();
    EXPECT_EQ(buffer->status(), CommandBuffer::Status::Error);
    EXPECT_EQ(target->bytes(), std::vector<std::uint8_t>(16, 0)) << "nothing ran, not even the clear";
}

TEST(GpuThreads, ParallelRendersGiveTheirOwnPictures)
{
    Rig rig;
    constexpr int threadCount = 4;
    std::vector<std::vector<std::uint8_t>> results(threadCount);
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&rig, &results, i] {
            for (int round = 0; round < 10; ++round) {
                auto target = rig.texture(PixelFormat::RGBA8Unorm, 16, 16);
                rig.draw(target, "fillFragment", {float(i) / threadCount, 0, 0, 1});
                results[std::size_t(i)] = target->bytes();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < threadCount; ++i) {
        const auto expected = std::uint8_t(std::lround(255.0 * i / threadCount));
        for (std::size_t p = 0; p < results[std::size_t(i)].size(); p += 4)
            ASSERT_NEAR(results[std::size_t(i)][p], expected, 1) << "thread " << i;
    }
}
