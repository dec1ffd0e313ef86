#include "marks/MarkerRenderer.h"

#include "platform/gpu/CommandQueue.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Library.h"
#include "platform/gpu/RenderPipeline.h"

#include <QString>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zanto {
namespace {

std::string readShaderText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::system_error(errno ? errno : ENOENT, std::generic_category(),
                                "Cannot read the shader file " + path.string());
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        throw std::system_error(EIO, std::generic_category(), "Cannot read the shader file " + path.string());
    std::string source = text.str();
    // A round trip through UTF-16 changes the bytes exactly when they are not
    // valid UTF-8.
    if (QString::fromUtf8(source.data(), qsizetype(source.size())).toStdString() != source)
        throw std::system_error(EILSEQ, std::generic_category(), "The shader file is not UTF-8 text: " + path.string());
    return source;
}

} // namespace

MarkerRenderer::MarkerRenderer(std::shared_ptr<gpu::Device> device, const std::filesystem::path& shaderPath)
    : device_(std::move(device))
{
    queue_ = device_ ? device_->makeCommandQueue() : nullptr;
    if (!queue_) throw failure("Metal command queue unavailable");
    library_ = device_->makeLibrary(readShaderText(shaderPath));
}

MarkerRenderer::~MarkerRenderer() = default;

std::optional<std::filesystem::path> MarkerRenderer::shaderResource()
{
    std::filesystem::path folder = ZANTO_RESOURCE_DIR;
    if (const char* overridden = std::getenv("ZANTO_RESOURCES"); overridden && *overridden) folder = overridden;
    std::filesystem::path path = folder / shaderResourceName;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    return path;
}

std::uint64_t MarkerRenderer::pipelineKey(gpu::PixelFormat format, bool cutout, bool ground, bool overlayOnly)
{
    std::uint64_t offset = 0;
    if (cutout)
        offset = 100000;
    else if (ground)
        offset = overlayOnly ? 300000 : 200000;
    return gpu::rawValue(format) + offset;
}

std::shared_ptr<gpu::RenderPipeline> MarkerRenderer::pipeline(gpu::PixelFormat format, bool cutout, bool ground,
                                                              bool overlayOnly)
{
    std::lock_guard guard(lock_);
    const auto key = pipelineKey(format, cutout, ground, overlayOnly);
    if (auto found = pipelines_.find(key); found != pipelines_.end()) return found->second;
    std::string fragment = "markerFragment";
    if (cutout)
        fragment = "cutoutFragment";
    else if (ground)
        fragment = overlayOnly ? "groundOverlayFragment" : "groundFragment";
    // A failed creation throws here and leaves nothing in the cache, so the
    // next call tries again.
    auto made = device_->makeRenderPipeline({library_, "markerVertex", fragment, format, gpu::Blending::None});
    pipelines_.emplace(key, made);
    return made;
}

std::shared_ptr<gpu::RenderPipeline> MarkerRenderer::textPipeline(gpu::PixelFormat format)
{
    std::lock_guard guard(lock_);
    const auto key = std::uint64_t(gpu::rawValue(format));
    if (auto found = textPipelines_.find(key); found != textPipelines_.end()) return found->second;
    auto made = device_->makeRenderPipeline(
        {library_, "markerVertex", "textFragment", format, gpu::Blending::PremultipliedSourceOver});
    textPipelines_.emplace(key, made);
    return made;
}

std::shared_ptr<gpu::RenderPipeline> MarkerRenderer::stackPipeline(gpu::PixelFormat format, bool ground)
{
    std::lock_guard guard(lock_);
    const auto key = pipelineKey(format, false, ground, true);
    if (auto found = stackPipelines_.find(key); found != stackPipelines_.end()) return found->second;
    auto made =
        device_->makeRenderPipeline({library_, "markerVertex", ground ? "groundOverlayFragment" : "markerFragment",
                                     format, gpu::Blending::PremultipliedSourceOver});
    stackPipelines_.emplace(key, made);
    return made;
}

std::size_t MarkerRenderer::pipelineCount() const
{
    std::lock_guard guard(lock_);
    return pipelines_.size();
}

std::size_t MarkerRenderer::textPipelineCount() const
{
    std::lock_guard guard(lock_);
    return textPipelines_.size();
}

std::size_t MarkerRenderer::programCount() const
{
    std::lock_guard guard(lock_);
    std::size_t count = 0;
    for (const auto* pipelines : {&pipelines_, &textPipelines_, &stackPipelines_}) {
        for (const auto& [key, pipeline] : *pipelines) count += 1 + pipeline->variantCount();
    }
    return count;
}

std::string MarkerRenderer::cachedFragmentFunction(std::uint64_t key) const
{
    std::lock_guard guard(lock_);
    auto found = pipelines_.find(key);
    return found == pipelines_.end() ? std::string() : found->second->fragmentFunction();
}

} // namespace zanto
