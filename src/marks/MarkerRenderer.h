#pragma once

// The GPU renderer of telestration markers. It owns a device, a command queue
// and a shader library compiled once from the shader source file, and draws
// one marker (MarkerParameters) into a caller's texture: a marker pass,
// optionally over a source frame, and an optional label pass. It also runs
// the cutout pass. Every call is synchronous: it returns after the GPU has
// finished, so the target can be read at once.
//
// Threads: render and renderCutout may be called from several threads at
// once on one renderer. The pipeline caches are guarded by `lock_`, held for
// the whole lookup and, on a miss, the whole pipeline creation; each call uses
// its own command buffer. The GPU layer serialises the GPU work itself.
//
// Errors: the renderer's own failures are MarkerRendererError (domain
// "FC.GXL.PlayerMarker", code 1); platform failures pass through unchanged:
// std::system_error for reading the shader file, gpu::GpuError for shader
// compilation, pipeline creation and GPU execution.

#include "marks/CutoutParameters.h"
#include "marks/MarkerParameters.h"
#include "marks/MarkerRendererError.h"
#include "platform/gpu/PixelFormat.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zanto {

namespace gpu {
class CommandBuffer;
class CommandQueue;
class Device;
class Library;
class RenderPipeline;
class Texture;
} // namespace gpu

class MarkerRenderer {
public:
    // The shader source's file name among the resources.
    static constexpr const char* shaderResourceName = "RotatingPlayerMarker.glsl";

    // Reads the shader file as UTF-8 and compiles it. Throws
    // MarkerRendererError "Metal command queue unavailable" when the device
    // gives no queue, std::system_error when the file cannot be read (or is
    // not UTF-8), gpu::GpuError with the compiler's log when it does not
    // compile.
    MarkerRenderer(std::shared_ptr<gpu::Device> device, const std::filesystem::path& shaderPath);
    ~MarkerRenderer();
    MarkerRenderer(const MarkerRenderer&) = delete;
    MarkerRenderer& operator=(const MarkerRenderer&) = delete;

    const std::shared_ptr<gpu::Device>& device() const { return device_; }
    const std::shared_ptr<gpu::CommandQueue>& queue() const { return queue_; }

    // Draws one marker into `target` (a render target of this device), whose
    // whole content is replaced. With a `source` frame the ground shader keys
    // the marker to the turf (`overlayOnly`: the marker alone, else the frame
    // with the marker); the source is read through a private copy, so it may
    // be the target itself. A non-blank `label` adds the label pass when the
    // parameters enable it.
    void render(const std::shared_ptr<gpu::Texture>& target, const MarkerParameters& parameters, double seconds,
                const std::shared_ptr<gpu::Texture>& source, const std::string& label = {}, bool overlayOnly = false);

    // Several markers alone, laid over one another in turn (premultiplied
    // source-over) within `area` of `target`, which is cleared first; the
    // rest of the target keeps what it held. Markers keyed to the turf
    // (groundOnly) read `source` (only `area` of it), which every such marker
    // needs; it is read where it lies, so it must not be the target nor
    // change during the call. One pass for all: the GPU shades the markers
    // together.
    void renderStack(const std::shared_ptr<gpu::Texture>& target, const std::vector<MarkerParameters>& markers,
                     double seconds, const std::shared_ptr<gpu::Texture>& source, const gpu::PixelRegion& area);

    // The part of a target of this size the marker alone can draw in at
    // `seconds` (markerBounds); it is transparent black elsewhere.
    static gpu::PixelRegion drawnArea(const MarkerParameters& parameters, int width, int height, double seconds);

    // The cutout pass: the whole target drawn from `source` with the cutout
    // shader. A source that is the target itself is copied first.
    void renderCutout(const std::shared_ptr<gpu::Texture>& target, const std::shared_ptr<gpu::Texture>& source,
                      const CutoutParameters& parameters);

    // The renderer's own error for a message.
    static MarkerRendererError failure(const std::string& message) { return rendererFailure(message); }

    // The shader file: $ZANTO_RESOURCES, else the build's resource folder;
    // nothing when the file is not there.
    static std::optional<std::filesystem::path> shaderResource();

    // Key of a pipeline in the cache: the format's raw value plus 100000 for
    // the cutout, 300000 for ground with overlay, 200000 for ground, else 0.
    static std::uint64_t pipelineKey(gpu::PixelFormat format, bool cutout, bool ground, bool overlayOnly);

    // Marker passes run the shader specialised for the marker's features
    // (MarkerShaderConstants.h) unless this is switched off, which gives the
    // same pixels more slowly; a diagnostic switch. Any thread.
    void setSpecialisation(bool on) { specialised_ = on; }

    // How many pipelines the caches hold (marker and cutout; label).
    std::size_t pipelineCount() const;
    std::size_t textPipelineCount() const;
    // GL programs held by every pipeline, specialised variants included.
    std::size_t programCount() const;
    // The fragment function of a cached pipeline, or empty.
    std::string cachedFragmentFunction(std::uint64_t key) const;

private:
    std::shared_ptr<gpu::RenderPipeline> pipeline(gpu::PixelFormat format, bool cutout = false, bool ground = false,
                                                  bool overlayOnly = false);
    std::shared_ptr<gpu::RenderPipeline> textPipeline(gpu::PixelFormat format);
    std::shared_ptr<gpu::RenderPipeline> stackPipeline(gpu::PixelFormat format, bool ground);
    std::shared_ptr<gpu::Texture> privateCopySource(gpu::CommandBuffer& buffer,
                                                    const std::shared_ptr<gpu::Texture>& source) const;
    void keepSpareCopy(std::shared_ptr<gpu::Texture> copy) const;

    std::shared_ptr<gpu::Device> device_;
    std::shared_ptr<gpu::CommandQueue> queue_;
    std::shared_ptr<const gpu::Library> library_;
    std::atomic<bool> specialised_ = true;

    // Guards pipelines_, textPipelines_, stackPipelines_ and spareCopy_; held
    // across a pipeline's creation.
    mutable std::mutex lock_;
    std::map<std::uint64_t, std::shared_ptr<gpu::RenderPipeline>> pipelines_;
    std::map<std::uint64_t, std::shared_ptr<gpu::RenderPipeline>> textPipelines_;
    // The marker and ground overlay functions blending over what lies below.
    std::map<std::uint64_t, std::shared_ptr<gpu::RenderPipeline>> stackPipelines_;
    // The private source copy of the last pass, free again once it finished.
    mutable std::shared_ptr<gpu::Texture> spareCopy_;
};

} // namespace zanto
