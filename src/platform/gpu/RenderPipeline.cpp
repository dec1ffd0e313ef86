#include "platform/gpu/RenderPipeline.h"

#include "platform/gpu/Device.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Library.h"
#include "platform/gpu/ShaderCompiler.h"

namespace zanto::gpu {

RenderPipeline::RenderPipeline(std::shared_ptr<Device> device, const RenderPipelineDescriptor& descriptor,
                               unsigned program)
    : device_(std::move(device)), colorFormat_(descriptor.colorFormat), blending_(descriptor.blending),
      fragmentFunction_(descriptor.fragmentFunction), program_(program)
{
}

RenderPipeline::~RenderPipeline()
{
    device_->impl().releaseProgram(program_);
}

std::shared_ptr<RenderPipeline> Device::makeRenderPipeline(const RenderPipelineDescriptor& descriptor)
{
    const auto& library = descriptor.library;
    if (!library)
        throw GpuError("Render pipeline without a shader library");
    if (library->device().get() != this)
        throw GpuError("Render pipeline with a shader library of another device");
    for (const auto* name : {&descriptor.vertexFunction, &descriptor.fragmentFunction})
        if (!library->hasFunction(*name))
            throw GpuError("Function '" + *name + "' not found in the shader library");
    const std::string what = descriptor.vertexFunction + "/" + descriptor.fragmentFunction;
    unsigned program = 0;
    {
        DeviceSession session(*impl_);
        unsigned vertex = compileShader(ShaderStage::Vertex,
                                        library->stageSource(ShaderStage::Vertex, descriptor.vertexFunction));
        unsigned fragment = 0;
        try {
            fragment = compileShader(ShaderStage::Fragment,
                                     library->stageSource(ShaderStage::Fragment, descriptor.fragmentFunction));
        } catch (...) {
            deleteShader(vertex);
            throw;
        }
        program = linkProgram(vertex, fragment, what);
    }
    return std::make_shared<RenderPipeline>(shared_from_this(), descriptor, program);
}

} // namespace zanto::gpu
