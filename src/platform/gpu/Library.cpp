#include "platform/gpu/Library.h"

#include "platform/gpu/Device.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/ShaderCompiler.h"

#include <regex>

namespace zanto::gpu {

Library::Library(std::shared_ptr<Device> device, std::string source)
    : device_(std::move(device)), source_(std::move(source))
{ }

bool Library::hasFunction(const std::string& name) const
{
    if (name.empty() || !std::regex_match(name, std::regex("[A-Za-z_][A-Za-z0-9_]*"))) return false;
    const std::regex definition("\\b(void|vec4)\\s+" + name + "\\s*\\(\\s*(void)?\\s*\\)\\s*\\{");
    return std::regex_search(source_, definition);
}

std::string Library::stageSource(ShaderStage stage, const std::string& entry, const FunctionConstants& constants,
                                 const std::string& program) const
{
    std::string text = "#version 320 es\n";
    text += stage == ShaderStage::Vertex ? "#define ZANTO_VERTEX_STAGE 1\n" : "#define ZANTO_FRAGMENT_STAGE 1\n";
    if (!entry.empty()) text += "#define ZANTO_ENTRY " + entry + "\n";
    if (!program.empty()) text += "#define ZANTO_PROGRAM_" + program + " 1\n";
    if (!constants.empty()) text += "#define ZANTO_SPECIALISED 1\n";
    for (const auto& [name, value] : constants) text += "#define " + name + " " + std::to_string(value) + "\n";
    text += "#line 1\n";
    text += source_;
    return text;
}

std::shared_ptr<Library> Device::makeLibrary(const std::string& source)
{
    auto library = std::make_shared<Library>(shared_from_this(), source);
    DeviceSession session(*impl_);
    // Both stages are compiled once with no entry selected: every function is
    // checked now, so a broken source fails here with the compiler's log.
    for (auto stage : {ShaderStage::Vertex, ShaderStage::Fragment}) {
        unsigned shader = compileShader(stage, library->stageSource(stage, {}));
        deleteShader(shader);
    }
    return library;
}

} // namespace zanto::gpu
