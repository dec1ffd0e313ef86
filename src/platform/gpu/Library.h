#pragma once

// A shader library: one GLSL ES 3.20 source text holding several entry
// functions, compiled when the library is made so that errors show at once.
// GLSL has one `main` per stage, so a pipeline compiles the source again for
// each stage with these lines put in front of it:
//
//   #version 320 es
//   #define ZANTO_VERTEX_STAGE 1      (or ZANTO_FRAGMENT_STAGE 1)
//   #define ZANTO_ENTRY <function>    (left out by the library's own check)
//   #define ZANTO_PROGRAM_<fragment function> 1   (both stages of a program,
//                                      so a vertex function knows its partner)
//   #define ZANTO_SPECIALISED 1       (only with function constants, followed
//   #define <name> <value>             by one line for each constant)
//   #line 1
//
// and the source's `main` calls ZANTO_ENTRY. Vertex entries are
// `void name()`; fragment entries are `vec4 name()` returning the pixel.
// The source itself has no #version line. Immutable once made; any thread.

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zanto::gpu {

class Device;

enum class ShaderStage { Vertex, Fragment };

// Integer constants a pipeline's functions are specialised with (both
// stages): the compiler folds the branches they decide. Names are macro names.
using FunctionConstants = std::vector<std::pair<std::string, int>>;

class Library {
public:
    Library(std::shared_ptr<Device> device, std::string source);

    const std::shared_ptr<Device>& device() const { return device_; }
    const std::string& source() const { return source_; }
    // True when the source defines a function of that exact name.
    bool hasFunction(const std::string& name) const;
    // The full text compiled for one stage; `entry` empty for the check.
    std::string stageSource(ShaderStage stage, const std::string& entry, const FunctionConstants& constants = {},
                            const std::string& program = {}) const;

private:
    std::shared_ptr<Device> device_;
    std::string source_;
};

} // namespace zanto::gpu
