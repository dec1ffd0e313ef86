#include "platform/gpu/CommandPass.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/RenderPipeline.h"
#include "platform/gpu/Texture.h"

#include <cstring>

namespace zanto::gpu {

CommandQueue::CommandQueue(std::shared_ptr<Device> device) : device_(std::move(device)) { }

std::shared_ptr<CommandBuffer> CommandQueue::makeCommandBuffer()
{
    return std::make_shared<CommandBuffer>(device_);
}

RenderCommandEncoder::RenderCommandEncoder(CommandBuffer& buffer, std::size_t pass) : buffer_(buffer), pass_(pass) { }

void RenderCommandEncoder::setPipeline(std::shared_ptr<RenderPipeline> pipeline)
{
    const auto& target = buffer_.pass(pass_).descriptor.target;
    if (!pipeline || pipeline->device() != buffer_.device())
        buffer_.recordMisuse("Render pipeline missing or of another device");
    else if (pipeline->colorFormat() != target->pixelFormat())
        buffer_.recordMisuse("Render pipeline format does not match the render target");
    pipeline_ = std::move(pipeline);
}

void RenderCommandEncoder::setFragmentBytes(const void* bytes, std::size_t length, int index)
{
    if (index < 0 || index >= maxFragmentBuffers || length > maxFragmentBytes || (!bytes && length > 0)) {
        buffer_.recordMisuse("Fragment bytes out of range");
        return;
    }
    auto& slot = bytes_[std::size_t(index)];
    slot.resize(length);
    if (length > 0) std::memcpy(slot.data(), bytes, length);
    bytesSet_[std::size_t(index)] = true;
}

void RenderCommandEncoder::setFragmentTexture(std::shared_ptr<Texture> texture, int index)
{
    if (index < 0 || index >= maxFragmentTextures) {
        buffer_.recordMisuse("Fragment texture index out of range");
        return;
    }
    if (texture && texture->device() != buffer_.device()) buffer_.recordMisuse("Fragment texture of another device");
    textures_[std::size_t(index)] = std::move(texture);
}

void RenderCommandEncoder::setFragmentConstants(FunctionConstants constants)
{
    constants_ = std::move(constants);
}

void RenderCommandEncoder::drawPrimitives(int vertexStart, int vertexCount)
{
    if (ended_ || !pipeline_ || vertexStart < 0 || vertexCount < 0) {
        buffer_.recordMisuse("Draw without a pipeline or after the end of encoding");
        return;
    }
    RecordedDraw draw{pipeline_, bytes_, bytesSet_, textures_, constants_, vertexStart, vertexCount, scissor_};
    buffer_.pass(pass_).draws.push_back(std::move(draw));
}

void RenderCommandEncoder::endEncoding()
{
    ended_ = true;
}

BlitCommandEncoder::BlitCommandEncoder(CommandBuffer& buffer, std::size_t pass) : buffer_(buffer), pass_(pass) { }

void BlitCommandEncoder::copy(std::shared_ptr<Texture> source, std::shared_ptr<Texture> destination)
{
    if (ended_ || !source || !destination) {
        buffer_.recordMisuse("Copy without a texture or after the end of encoding");
        return;
    }
    if (source->device() != buffer_.device() || destination->device() != buffer_.device())
        buffer_.recordMisuse("Copy with a texture of another device");
    else if (source->pixelFormat() != destination->pixelFormat() || destination->width() < source->width()
             || destination->height() < source->height())
        buffer_.recordMisuse("Copy between textures of different formats or too small a destination");
    buffer_.pass(pass_).copies.push_back({std::move(source), std::move(destination)});
}

void BlitCommandEncoder::endEncoding()
{
    ended_ = true;
}

CommandBuffer::CommandBuffer(std::shared_ptr<Device> device) : device_(std::move(device)) { }
CommandBuffer::~CommandBuffer() = default;

CommandBuffer::Pass& CommandBuffer::pass(std::size_t index)
{
    return *passes_[index];
}

void CommandBuffer::recordMisuse(const std::string& message)
{
    if (!misuse_) misuse_ = message;
}

std::unique_ptr<RenderCommandEncoder> CommandBuffer::makeRenderCommandEncoder(const RenderPassDescriptor& descriptor)
{
    const auto& target = descriptor.target;
    if (status_ != Status::NotCommitted || !target || target->device() != device_
        || !contains(target->usage(), TextureUsage::RenderTarget))
        return nullptr;
    auto pass = std::make_unique<Pass>();
    pass->descriptor = descriptor;
    passes_.push_back(std::move(pass));
    return std::make_unique<RenderCommandEncoder>(*this, passes_.size() - 1);
}

std::unique_ptr<BlitCommandEncoder> CommandBuffer::makeBlitCommandEncoder()
{
    if (status_ != Status::NotCommitted) return nullptr;
    auto pass = std::make_unique<Pass>();
    pass->render = false;
    passes_.push_back(std::move(pass));
    return std::make_unique<BlitCommandEncoder>(*this, passes_.size() - 1);
}

} // namespace zanto::gpu
