#pragma once

// The marker renderer's own error: domain "FC.GXL.PlayerMarker", code 1, with
// an English message as its description. Platform errors (shader compiler,
// file reading) are not wrapped in it; they pass through unchanged.

#include <stdexcept>
#include <string>

namespace zanto {

struct MarkerRendererError : std::runtime_error {
    explicit MarkerRendererError(const std::string& message);

    static constexpr const char* errorDomain = "FC.GXL.PlayerMarker";
    static constexpr int errorCode = 1;

    std::string domain() const { return errorDomain; }
    int code() const { return errorCode; }
    std::string message() const { return what(); }
};

// Makes the renderer error for a message; the caller throws it.
MarkerRendererError rendererFailure(const std::string& message);

} // namespace zanto
