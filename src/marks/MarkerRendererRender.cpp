// The marker pass with its label pass, and the cutout pass.

#include "marks/LabelTexture.h"
#include "marks/MarkerBounds.h"
#include "marks/MarkerRenderer.h"
#include "marks/MarkerShaderConstants.h"

#include "platform/gpu/CommandQueue.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Texture.h"

#include <algorithm>

namespace zanto {
namespace {

// The GPU's own failure after the wait, unchanged.
void throwIfFailed(const gpu::CommandBuffer& buffer)
{
    if (buffer.status() == gpu::CommandBuffer::Status::Error)
        throw gpu::GpuError(buffer.error().value_or("GPU command execution failed"));
}

} // namespace

// A private copy of the source, filled by a blit at the start of `buffer`.
// Throws "Source copy unavailable" when the copy cannot be made.
std::shared_ptr<gpu::Texture> MarkerRenderer::privateCopySource(gpu::CommandBuffer& buffer,
                                                                const std::shared_ptr<gpu::Texture>& source) const
{
    std::shared_ptr<gpu::Texture> copy;
    if (source && source->device() == device_) {
        {
            // A frame's worth of fresh texture memory on every render costs
            // more than the copy itself: the last copy is used again.
            std::lock_guard guard(lock_);
            copy = std::move(spareCopy_);
        }
        if (!copy || copy->pixelFormat() != source->pixelFormat() || copy->width() != source->width()
            || copy->height() != source->height())
            copy = device_->makeTexture(
                {source->pixelFormat(), source->width(), source->height(), gpu::TextureUsage::ShaderRead});
    }
    auto blit = copy ? buffer.makeBlitCommandEncoder() : nullptr;
    if (!blit) throw failure("Source copy unavailable");
    blit->copy(source, copy);
    blit->endEncoding();
    return copy;
}

void MarkerRenderer::render(const std::shared_ptr<gpu::Texture>& target, const MarkerParameters& parameters,
                            double seconds, const std::shared_ptr<gpu::Texture>& source, const std::string& label,
                            bool overlayOnly)
{
    const int width = target ? target->width() : 0;
    const int height = target ? target->height() : 0;
    const MarkerUniforms uniforms = parameters.uniforms(width, height, seconds);
    const GroundUniforms ground = parameters.groundUniforms(width, height, seconds);

    auto buffer = queue_->makeCommandBuffer();
    if (!buffer) throw failure("Command buffer unavailable");

    // The shader reads a private copy, so a source that is also the target
    // (or that its owner changes meanwhile) is read as it was.
    const std::shared_ptr<gpu::Texture> frame = source ? privateCopySource(*buffer, source) : nullptr;

    auto encoder = buffer->makeRenderCommandEncoder({target, gpu::LoadAction::Clear, {0, 0, 0, 0}});
    if (!encoder) throw failure("Render encoder unavailable");
    encoder->setPipeline(pipeline(target->pixelFormat(), false, frame != nullptr, overlayOnly));
    const TrailUniforms trail = parameters.trailUniforms(width, height);
    encoder->setFragmentBytes(&uniforms, sizeof uniforms, 0);
    encoder->setFragmentBytes(&ground, sizeof ground, 1);
    encoder->setFragmentBytes(trail.data(), sizeof trail, 2);
    if (frame) encoder->setFragmentTexture(frame, 0);
    if (specialised_) encoder->setFragmentConstants(markerShaderConstants(uniforms, ground, trail));
    encoder->drawPrimitives(0, 3);
    encoder->endEncoding();

    if (auto text = makeLabelTexture(label, parameters, width, height, device_)) {
        // A label pass that gets no encoder is left out; the marker stands.
        if (auto labelEncoder = buffer->makeRenderCommandEncoder({target, gpu::LoadAction::Load})) {
            labelEncoder->setPipeline(textPipeline(target->pixelFormat()));
            labelEncoder->setFragmentBytes(&text->frame, sizeof text->frame, 0);
            labelEncoder->setFragmentTexture(text->texture, 0);
            labelEncoder->drawPrimitives(0, 3);
            labelEncoder->endEncoding();
        }
    }

    buffer->commit();
    buffer->waitUntilCompleted();
    keepSpareCopy(frame);
    throwIfFailed(*buffer);
}

void MarkerRenderer::renderStack(const std::shared_ptr<gpu::Texture>& target,
                                 const std::vector<MarkerParameters>& markers, double seconds,
                                 const std::shared_ptr<gpu::Texture>& source, const gpu::PixelRegion& area)
{
    const int width = target ? target->width() : 0;
    const int height = target ? target->height() : 0;
    auto buffer = queue_->makeCommandBuffer();
    if (!buffer) throw failure("Command buffer unavailable");
    const bool keyed = std::any_of(markers.begin(), markers.end(), [](const auto& m) { return m.groundOnly; });
    // Read where it lies: the source is never the target, and its owner
    // waits for the pass.
    const std::shared_ptr<gpu::Texture> frame = source && keyed ? source : nullptr;
    auto encoder = buffer->makeRenderCommandEncoder({target, gpu::LoadAction::Clear, {0, 0, 0, 0}, area});
    if (!encoder) throw failure("Render encoder unavailable");
    for (const MarkerParameters& parameters : markers) {
        const MarkerUniforms uniforms = parameters.uniforms(width, height, seconds);
        const GroundUniforms ground = parameters.groundUniforms(width, height, seconds);
        const TrailUniforms trail = parameters.trailUniforms(width, height);
        const bool onTurf = parameters.groundOnly && frame;
        encoder->setPipeline(stackPipeline(target->pixelFormat(), onTurf));
        encoder->setFragmentBytes(&uniforms, sizeof uniforms, 0);
        encoder->setFragmentBytes(&ground, sizeof ground, 1);
        encoder->setFragmentBytes(trail.data(), sizeof trail, 2);
        encoder->setFragmentTexture(onTurf ? frame : nullptr, 0);
        // Piece by piece, each with only the parts that draw there: a
        // software rasteriser shades every pixel it is given, and runs every
        // part the shader holds for each.
        const gpu::FunctionConstants features =
            specialised_ ? markerShaderConstants(uniforms, ground, trail) : gpu::FunctionConstants{};
        for (const MarkerPiece& piece : markerPieces(uniforms, ground, trail)) {
            gpu::FunctionConstants constants = features;
            if (specialised_) constants.emplace_back("FEATURE_PARTS", piece.parts);
            encoder->setFragmentConstants(std::move(constants));
            encoder->setScissorRect(piece.region);
            encoder->drawPrimitives(0, 3);
        }
    }
    encoder->endEncoding();
    buffer->commit();
    buffer->waitUntilCompleted();
    throwIfFailed(*buffer);
}

gpu::PixelRegion MarkerRenderer::drawnArea(const MarkerParameters& parameters, int width, int height, double seconds)
{
    return markerBounds(parameters.uniforms(width, height, seconds), parameters.groundUniforms(width, height, seconds),
                        parameters.trailUniforms(width, height));
}

// A source copy whose pass has finished, for the next render to copy into.
void MarkerRenderer::keepSpareCopy(std::shared_ptr<gpu::Texture> copy) const
{
    if (!copy) return;
    std::lock_guard guard(lock_);
    spareCopy_ = std::move(copy);
}

void MarkerRenderer::renderCutout(const std::shared_ptr<gpu::Texture>& target,
                                  const std::shared_ptr<gpu::Texture>& source, const CutoutParameters& parameters)
{
    auto buffer = queue_->makeCommandBuffer();
    if (!buffer) throw failure("Command buffer unavailable");
    // Sampling the texture being drawn is undefined on the GPU: a source that
    // is the target is read from a copy taken before the pass.
    const std::shared_ptr<gpu::Texture> input =
        source && source == target ? privateCopySource(*buffer, source) : source;
    // No clear colour is chosen: the platform default, transparent black.
    auto encoder = buffer->makeRenderCommandEncoder({target, gpu::LoadAction::Clear});
    if (!encoder) throw failure("Encoder unavailable");
    encoder->setPipeline(pipeline(target->pixelFormat(), true));
    const CutoutUniforms uniforms = parameters.uniforms();
    const float size[2] = {float(target->width()), float(target->height())};
    encoder->setFragmentBytes(uniforms.data(), sizeof uniforms, 0);
    encoder->setFragmentBytes(size, sizeof size, 1);
    encoder->setFragmentTexture(input, 0);
    encoder->drawPrimitives(0, 3);
    encoder->endEncoding();
    buffer->commit();
    buffer->waitUntilCompleted();
    if (input != source) keepSpareCopy(input);
    throwIfFailed(*buffer);
}

} // namespace zanto
