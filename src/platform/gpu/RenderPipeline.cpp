#include "platform/gpu/RenderPipeline.h"

#include "platform/gpu/Device.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Library.h"
#include "platform/gpu/ShaderCompiler.h"

#include <algorithm>

namespace zanto::gpu {

RenderPipeline::RenderPipeline(std::shared_ptr<Device> device, const RenderPipelineDescriptor& descriptor)
    : device_(std::move(device)), library_(descriptor.library), vertexFunction_(descriptor.vertexFunction),
      colorFormat_(descriptor.colorFormat), blending_(descriptor.blending),
      fragmentFunction_(descriptor.fragmentFunction)
{ }

RenderPipeline::~RenderPipeline()
{
    if (program_) device_->impl().releaseProgram(program_);
    for (const auto& variant : variants_) device_->impl().releaseProgram(variant.second.program);
}

namespace {

unsigned buildProgram(const Library& library, const std::string& vertexFunction, const std::string& fragmentFunction,
                      const FunctionConstants& constants)
{
    unsigned vertex = compileShader(
        ShaderStage::Vertex, library.stageSource(ShaderStage::Vertex, vertexFunction, constants, fragmentFunction));
    unsigned fragment = 0;
    try {
        fragment = compileShader(ShaderStage::Fragment, library.stageSource(ShaderStage::Fragment, fragmentFunction,
                                                                            constants, fragmentFunction));
    } catch (...) {
        deleteShader(vertex);
        throw;
    }
    return linkProgram(vertex, fragment, vertexFunction + "/" + fragmentFunction);
}

} // namespace

unsigned RenderPipeline::glProgram(const FunctionConstants& constants)
{
    if (constants.empty()) {
        // Linked on first use like the variants: a host that always
        // specialises never holds the whole shader's program, some 10 MB of
        // driver memory for a large one.
        if (!program_) program_ = buildProgram(*library_, vertexFunction_, fragmentFunction_, {});
        return program_;
    }
    if (auto found = variants_.find(constants); found != variants_.end()) {
        found->second.lastUse = ++uses_;
        return found->second.program;
    }
    unsigned program = buildProgram(*library_, vertexFunction_, fragmentFunction_, constants);
    if (variants_.size() >= maxVariants) {
        // The dropped program is deleted when the next session begins, after
        // every draw that used it was issued; GL keeps it for draws in flight.
        auto oldest = std::min_element(variants_.begin(), variants_.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        device_->impl().releaseProgram(oldest->second.program);
        variants_.erase(oldest);
    }
    variants_.emplace(constants, Variant{program, ++uses_});
    return program;
}

std::shared_ptr<RenderPipeline> Device::makeRenderPipeline(const RenderPipelineDescriptor& descriptor)
{
    const auto& library = descriptor.library;
    if (!library) throw GpuError("Render pipeline without a shader library");
    if (library->device().get() != this) throw GpuError("Render pipeline with a shader library of another device");
    for (const auto* name : {&descriptor.vertexFunction, &descriptor.fragmentFunction})
        if (!library->hasFunction(*name)) throw GpuError("Function '" + *name + "' not found in the shader library");
    return std::make_shared<RenderPipeline>(shared_from_this(), descriptor);
}

} // namespace zanto::gpu
