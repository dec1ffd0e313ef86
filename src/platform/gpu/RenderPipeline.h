#pragma once

// A render pipeline: a vertex and a fragment function of one library linked
// into a program, for one colour attachment format, with or without blending.
// Made by Device::makeRenderPipeline; immutable; any thread.

#include "platform/gpu/PixelFormat.h"

#include <memory>
#include <string>

namespace zanto::gpu {

class Device;
class Library;

enum class Blending {
    None,                       // the fragment's output replaces the pixel
    PremultipliedSourceOver,    // add; one, one minus source alpha (colour and alpha)
};

struct RenderPipelineDescriptor {
    std::shared_ptr<const Library> library;
    std::string vertexFunction;
    std::string fragmentFunction;
    PixelFormat colorFormat = PixelFormat::BGRA8Unorm;
    Blending blending = Blending::None;
};

class RenderPipeline {
public:
    RenderPipeline(std::shared_ptr<Device> device, const RenderPipelineDescriptor& descriptor, unsigned program);
    ~RenderPipeline();
    RenderPipeline(const RenderPipeline&) = delete;
    RenderPipeline& operator=(const RenderPipeline&) = delete;

    PixelFormat colorFormat() const { return colorFormat_; }
    Blending blending() const { return blending_; }
    const std::string& fragmentFunction() const { return fragmentFunction_; }
    const std::shared_ptr<Device>& device() const { return device_; }

    // The GL program, for the other files of the GPU layer only.
    unsigned glProgram() const { return program_; }

private:
    std::shared_ptr<Device> device_;
    PixelFormat colorFormat_;
    Blending blending_;
    std::string fragmentFunction_;
    unsigned program_ = 0;
};

} // namespace zanto::gpu
