#pragma once

// A render pipeline: a vertex and a fragment function of one library linked
// into a program, for one colour attachment format, with or without blending.
// Made by Device::makeRenderPipeline; any thread. The program is linked on
// the first draw that uses it. A draw may ask for the functions specialised
// with constants: each set of constants is compiled on the first draw that
// uses it and kept with the pipeline (so a shader may hold every feature
// while each draw runs only its own). At most `maxVariants` are kept; a new
// one beyond that replaces the one drawn with least recently, so a host
// cycling through many sets keeps bounded memory.

#include "platform/gpu/Library.h"
#include "platform/gpu/PixelFormat.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace zanto::gpu {

class Device;
class Library;

enum class Blending {
    None,                    // the fragment's output replaces the pixel
    PremultipliedSourceOver, // add; one, one minus source alpha (colour and alpha)
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
    RenderPipeline(std::shared_ptr<Device> device, const RenderPipelineDescriptor& descriptor);
    ~RenderPipeline();
    RenderPipeline(const RenderPipeline&) = delete;
    RenderPipeline& operator=(const RenderPipeline&) = delete;

    PixelFormat colorFormat() const { return colorFormat_; }
    Blending blending() const { return blending_; }
    const std::string& fragmentFunction() const { return fragmentFunction_; }
    const std::shared_ptr<Device>& device() const { return device_; }

    // The GL program for a set of constants (the unspecialised one for none),
    // compiled on first use. For the other files of the GPU layer only: call
    // inside a DeviceSession of this pipeline's device, whose lock guards the
    // variants. Throws GpuError with the compiler's log.
    unsigned glProgram(const FunctionConstants& constants = {});
    // How many specialised variants are kept now.
    std::size_t variantCount() const { return variants_.size(); }
    // Enough for the usual settings of every marker tool on one pipeline.
    static constexpr std::size_t maxVariants = 48;

private:
    std::shared_ptr<Device> device_;
    std::shared_ptr<const Library> library_;
    std::string vertexFunction_;
    struct Variant {
        unsigned program = 0;
        std::uint64_t lastUse = 0;
    };
    std::map<FunctionConstants, Variant> variants_;
    std::uint64_t uses_ = 0;
    PixelFormat colorFormat_;
    Blending blending_;
    std::string fragmentFunction_;
    unsigned program_ = 0;
};

} // namespace zanto::gpu
