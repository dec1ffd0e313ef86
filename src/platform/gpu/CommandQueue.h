#pragma once

// Command submission. A queue hands out command buffers; a command buffer
// records render and blit passes through encoders and runs them when it is
// committed. commit() executes the whole buffer on the GPU under the device's
// lock and returns once the GPU has finished, so waitUntilCompleted() only
// confirms it and the targets can be read at once. A command buffer belongs
// to the thread that fills it; queues may be shared between threads.

#include "platform/gpu/Library.h"
#include "platform/gpu/PixelFormat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zanto::gpu {

class Device;
class RenderPipeline;
class Texture;
class CommandBuffer;

enum class LoadAction { Clear, Load };

struct RenderPassDescriptor {
    std::shared_ptr<Texture> target; // colour attachment 0
    LoadAction loadAction = LoadAction::Clear;
    std::array<float, 4> clearColor = {0, 0, 0, 0}; // red, green, blue, alpha
    // When set, the clear and every draw touch only this part of the target;
    // the rest keeps what it held.
    std::optional<PixelRegion> scissor;
};

// Fragment inputs a draw may use.
inline constexpr int maxFragmentBuffers = 4;
inline constexpr int maxFragmentTextures = 2;
inline constexpr std::size_t maxFragmentBytes = 16384;

class CommandQueue {
public:
    explicit CommandQueue(std::shared_ptr<Device> device);
    const std::shared_ptr<Device>& device() const { return device_; }
    // Never null for a living device.
    std::shared_ptr<CommandBuffer> makeCommandBuffer();

private:
    std::shared_ptr<Device> device_;
};

// Records draws of one render pass. Fragment state (pipeline, bytes,
// textures) carries over from one draw to the next, as set.
class RenderCommandEncoder {
public:
    RenderCommandEncoder(CommandBuffer& buffer, std::size_t pass);
    void setPipeline(std::shared_ptr<RenderPipeline> pipeline);
    // Copies `length` bytes now; the shader reads them as uniform block `index`.
    void setFragmentBytes(const void* bytes, std::size_t length, int index);
    void setFragmentTexture(std::shared_ptr<Texture> texture, int index);
    // Specialises the pipeline's fragment function for the following draws
    // (see RenderPipeline); empty for the unspecialised function.
    void setFragmentConstants(FunctionConstants constants);
    // Limits the following draws to a part of the target (within the pass's
    // own scissor, if any); none for the whole.
    void setScissorRect(std::optional<PixelRegion> region) { scissor_ = region; }
    // Triangles from gl_VertexID, no vertex buffer.
    void drawPrimitives(int vertexStart, int vertexCount);
    void endEncoding();

private:
    CommandBuffer& buffer_;
    std::size_t pass_;
    bool ended_ = false;
    std::shared_ptr<RenderPipeline> pipeline_;
    std::array<std::vector<std::uint8_t>, maxFragmentBuffers> bytes_;
    std::array<bool, maxFragmentBuffers> bytesSet_ = {};
    std::array<std::shared_ptr<Texture>, maxFragmentTextures> textures_;
    FunctionConstants constants_;
    std::optional<PixelRegion> scissor_;
};

class BlitCommandEncoder {
public:
    BlitCommandEncoder(CommandBuffer& buffer, std::size_t pass);
    // Copies the whole of `source` to the top left of `destination`, which
    // must be at least as large and of the same pixel format.
    void copy(std::shared_ptr<Texture> source, std::shared_ptr<Texture> destination);
    void endEncoding();

private:
    CommandBuffer& buffer_;
    std::size_t pass_;
    bool ended_ = false;
};

class CommandBuffer {
public:
    enum class Status { NotCommitted, Completed, Error };

    explicit CommandBuffer(std::shared_ptr<Device> device);
    ~CommandBuffer();

    // Null when the target is missing, of another device or not made for
    // rendering; the buffer is then unchanged.
    std::unique_ptr<RenderCommandEncoder> makeRenderCommandEncoder(const RenderPassDescriptor& descriptor);
    std::unique_ptr<BlitCommandEncoder> makeBlitCommandEncoder();

    // Runs the recorded passes and waits for the GPU. A second commit does
    // nothing. Misuse found while recording (a pipeline or texture of another
    // device, a pipeline whose format is not the target's) fails the whole
    // buffer before any pass runs.
    void commit();
    void waitUntilCompleted() const { }
    Status status() const { return status_; }
    // The failure's message when status() is Error.
    const std::optional<std::string>& error() const { return error_; }

    // Used by the encoders of this folder.
    struct Pass;
    Pass& pass(std::size_t index);
    void recordMisuse(const std::string& message);
    const std::shared_ptr<Device>& device() const { return device_; }

private:
    std::shared_ptr<Device> device_;
    std::vector<std::unique_ptr<Pass>> passes_;
    std::optional<std::string> misuse_;
    std::optional<std::string> error_;
    Status status_ = Status::NotCommitted;
};

} // namespace zanto::gpu
