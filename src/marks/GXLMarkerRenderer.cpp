#include "marks/GXLMarkerRenderer.h"

#include "marks/CutoutParameters.h"
#include "marks/MarkerRenderer.h"
#include "marks/MarkerValues.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Texture.h"

#include <map>
#include <mutex>

namespace zanto {
namespace {

// Guards cache(); made on first use, safe against concurrent first use.
std::mutex& cacheLock()
{
    static std::mutex lock;
    return lock;
}

// Device registry identifier -> renderer; entries are never removed.
std::map<std::uint64_t, std::shared_ptr<MarkerRenderer>>& cache()
{
    static std::map<std::uint64_t, std::shared_ptr<MarkerRenderer>> renderers;
    return renderers;
}

const std::shared_ptr<gpu::Device>& deviceOf(const std::shared_ptr<gpu::Texture>& target)
{
    static const std::shared_ptr<gpu::Device> none;
    return target ? target->device() : none;
}

} // namespace

std::shared_ptr<MarkerRenderer> GXLMarkerRenderer::cachedRenderer(const std::shared_ptr<gpu::Device>& device,
                                                                  const std::filesystem::path& shaderPath)
{
    // Held while a renderer is made, so two first calls for one device make
    // one renderer; the drawing itself happens after it is released.
    std::lock_guard guard(cacheLock());
    const std::uint64_t id = device ? device->registryID() : 0;
    if (auto found = cache().find(id); found != cache().end()) return found->second;
    auto renderer = std::make_shared<MarkerRenderer>(device, shaderPath);
    cache().emplace(id, renderer);
    return renderer;
}

std::size_t GXLMarkerRenderer::cachedRendererCount()
{
    std::lock_guard guard(cacheLock());
    return cache().size();
}

void GXLMarkerRenderer::renderState(const std::shared_ptr<gpu::Texture>& target,
                                    const std::shared_ptr<gpu::Texture>& source, std::span<const double> values,
                                    const std::string& label, double seconds)
{
    MarkerValues::check(values, seconds);
    const auto shader = MarkerRenderer::shaderResource();
    if (!shader) throw MarkerRenderer::failure("Missing shader resource");
    auto renderer = cachedRenderer(deviceOf(target), *shader);
    const MarkerParameters parameters = MarkerValues::parameters(values);
    renderer->render(target, parameters, seconds, source, label, false);
}

void GXLMarkerRenderer::renderTexture(const std::shared_ptr<gpu::Texture>& target, std::span<const double> values,
                                      const std::string& label, double seconds)
{
    renderState(target, nullptr, values, label, seconds);
}

void GXLMarkerRenderer::renderGroundTexture(const std::shared_ptr<gpu::Texture>& target,
                                            const std::shared_ptr<gpu::Texture>& source, std::span<const double> values,
                                            const std::string& label, double seconds)
{
    renderState(target, source, values, label, seconds);
}

void GXLMarkerRenderer::renderCutoutTexture(const std::shared_ptr<gpu::Texture>& target,
                                            const std::shared_ptr<gpu::Texture>& source, std::span<const double> values)
{
    const CutoutParameters parameters = CutoutParameters::fromValues(values);
    // Without a source the pass would sample no texture and fill the target
    // with opaque black as if it had worked.
    if (!source) throw MarkerRenderer::failure("Invalid cutout state");
    const auto shader = MarkerRenderer::shaderResource();
    if (!shader) throw MarkerRenderer::failure("Invalid cutout state");
    auto renderer = cachedRenderer(deviceOf(target), *shader);
    renderer->renderCutout(target, source, parameters);
}

} // namespace zanto
