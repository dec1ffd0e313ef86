#pragma once

// GL shader compilation for the files of this folder. Call inside a
// DeviceSession. Failures throw GpuError with the compiler's or the linker's
// log, which names the source lines.

#include "platform/gpu/Library.h"

#include <string>

namespace zanto::gpu {

unsigned compileShader(ShaderStage stage, const std::string& text);
void deleteShader(unsigned shader);
// Links two compiled shaders into a program (the shaders are released).
unsigned linkProgram(unsigned vertexShader, unsigned fragmentShader, const std::string& what);

} // namespace zanto::gpu
