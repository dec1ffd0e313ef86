#pragma once

// What a command buffer records, for the files of this folder only.

#include "platform/gpu/CommandQueue.h"

namespace zanto::gpu {

struct RecordedDraw {
    std::shared_ptr<RenderPipeline> pipeline;
    std::array<std::vector<std::uint8_t>, maxFragmentBuffers> bytes;
    std::array<bool, maxFragmentBuffers> bytesSet = {};
    std::array<std::shared_ptr<Texture>, maxFragmentTextures> textures;
    FunctionConstants constants;
    int vertexStart = 0;
    int vertexCount = 0;
    std::optional<PixelRegion> scissor;
};

struct RecordedCopy {
    std::shared_ptr<Texture> source;
    std::shared_ptr<Texture> destination;
};

struct CommandBuffer::Pass {
    bool render = true;              // else a blit pass
    RenderPassDescriptor descriptor; // render passes only
    std::vector<RecordedDraw> draws;
    std::vector<RecordedCopy> copies;
};

} // namespace zanto::gpu
