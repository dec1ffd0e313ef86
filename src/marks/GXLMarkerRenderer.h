#pragma once

// Entry points for hosts that hold a GPU texture and describe a whole marker
// (or a cutout) as one flat array of numbers. Nothing inside the system calls
// them; the C library in marks/capi exposes them to outside hosts.
//
// Each operation checks the array first (before any file or GPU work), finds
// the shader resource, takes the renderer of the target's device from a
// process-wide cache and draws; it returns once the GPU has finished.
// Errors: MarkerRendererError ("Invalid parameter state", "Missing shader
// resource", "Invalid cutout state" and the renderer's own), or the
// platform's error unchanged (std::system_error, gpu::GpuError).
//
// Threads: any thread, at the same time. The cache lock is held while a
// renderer is looked up or made (shader compilation included), never while
// drawing; drawing on a shared renderer is safe (MarkerRenderer.h).

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace zanto {

namespace gpu {
class Device;
class Texture;
} // namespace gpu

class MarkerRenderer;

class GXLMarkerRenderer {
public:
    // The marker described by `values` into `target`, with `label` as label
    // text and `seconds` as render time; no source frame.
    static void renderTexture(const std::shared_ptr<gpu::Texture>& target, std::span<const double> values,
                              const std::string& label, double seconds);

    // The same over `source`, the video frame under the marker (ground path).
    static void renderGroundTexture(const std::shared_ptr<gpu::Texture>& target,
                                    const std::shared_ptr<gpu::Texture>& source, std::span<const double> values,
                                    const std::string& label, double seconds);

    // The cutout pass from eight numbers (CutoutParameters::fromValues); a
    // missing source is an "Invalid cutout state" too.
    static void renderCutoutTexture(const std::shared_ptr<gpu::Texture>& target,
                                    const std::shared_ptr<gpu::Texture>& source, std::span<const double> values);

    // The renderer of a device, made on first use from `shaderPath` (which
    // is not looked at once the device has one) and kept for the process.
    // A failed creation caches nothing and throws its error unchanged.
    static std::shared_ptr<MarkerRenderer> cachedRenderer(const std::shared_ptr<gpu::Device>& device,
                                                          const std::filesystem::path& shaderPath);

    // How many devices have a cached renderer.
    static std::size_t cachedRendererCount();

private:
    static void renderState(const std::shared_ptr<gpu::Texture>& target, const std::shared_ptr<gpu::Texture>& source,
                            std::span<const double> values, const std::string& label, double seconds);
};

} // namespace zanto
