#pragma once

// The one error type of the GPU layer. Its message is the platform's own text:
// the shader compiler's log with line numbers, the EGL or GL error name, or a
// short sentence naming what the layer refused. Thrown by creation calls and
// carried by a command buffer whose execution failed.

#include <stdexcept>
#include <string>

namespace zanto::gpu {

class GpuError : public std::runtime_error {
public:
    explicit GpuError(const std::string& message) : std::runtime_error(message) { }
};

} // namespace zanto::gpu
