#include "marks/GXLEngine.h"

#include "marks/MarkerRenderer.h"
#include "marks/OrganizerMarkDrawing.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/Texture.h"
#include "services/ExportFailure.h"

#include <QPainter>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

namespace zanto {

namespace {

constexpr std::size_t canvasBytesPerRow = std::size_t(markCanvasWidth) * 4;

// Fits a picture whole into the canvas, centred: scale min(1280 / w, 720 / h);
// the bars on the short side stay as they are.
void drawFitted(QPainter& painter, const QImage& picture)
{
    const double w = picture.width(), h = picture.height();
    const double scale = std::min(markCanvasWidth / w, markCanvasHeight / h);
    const QRectF target((markCanvasWidth - w * scale) / 2, (markCanvasHeight - h * scale) / 2, w * scale, h * scale);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, picture);
}

QImage emptyCanvas()
{
    QImage canvas(markCanvasWidth, markCanvasHeight, QImage::Format_ARGB32_Premultiplied);
    if (!canvas.isNull()) canvas.fill(Qt::transparent);
    return canvas;
}

gpu::TextureDescriptor canvasTexture()
{
    return {gpu::PixelFormat::BGRA8Unorm, markCanvasWidth, markCanvasHeight,
            gpu::TextureUsage::RenderTarget | gpu::TextureUsage::ShaderRead};
}

bool fillsCanvas(const QImage& picture)
{
    return picture.size() == QSize(markCanvasWidth, markCanvasHeight)
           && picture.format() == QImage::Format_ARGB32_Premultiplied;
}

// The video frame fitted into the canvas, loaded into the ground tools'
// source texture. A frame that fills the canvas goes up as it is.
void loadSource(gpu::Texture& texture, const QImage& background)
{
    if (fillsCanvas(background)) {
        texture.replace(background.constBits(), std::size_t(background.bytesPerLine()));
        return;
    }
    QImage fitted = emptyCanvas();
    if (fitted.isNull()) throw failure("映像メモリを確保できません。");
    {
        QPainter painter(&fitted);
        drawFitted(painter, background);
    }
    texture.replace(fitted.constBits(), std::size_t(fitted.bytesPerLine()));
}

// Reads the target into `picture`, made anew when it is not a canvas.
void readBack(const gpu::Texture& target, QImage& picture)
{
    if (!fillsCanvas(picture)) picture = QImage(markCanvasWidth, markCanvasHeight, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull() || std::size_t(picture.bytesPerLine()) != canvasBytesPerRow)
        throw failure("描画画像を作成できません。");
    // The texture's B, G, R, A bytes are the canvas's premultiplied pixels.
    target.getBytes(picture.bits(), canvasBytesPerRow);
}

// The band of rows holding anything but transparent pixels: [first, end).
// A mark covers a small part of the canvas; laying only its band over the
// picture below gives the same pixels, since a transparent pixel laid over
// changes nothing.
std::pair<int, int> drawnRows(const QImage& picture)
{
    auto empty = [&](int y) {
        const auto* row = reinterpret_cast<const std::uint64_t*>(picture.constScanLine(y));
        const std::size_t words = std::size_t(picture.width()) * 4 / sizeof(std::uint64_t);
        return std::all_of(row, row + words, [](std::uint64_t word) { return word == 0; });
    };
    int first = 0, end = picture.height();
    while (first < end && empty(first)) ++first;
    while (end > first && empty(end - 1)) --end;
    return {first, end};
}

} // namespace

GXLEngine::GXLEngine() = default;
GXLEngine::~GXLEngine() = default;

GXLEngine& GXLEngine::shared()
{
    static GXLEngine* const engine = new GXLEngine; // lives to the end of the process
    return *engine;
}

MarkerRenderer& GXLEngine::rendererLocked()
{
    if (renderer_) return *renderer_;
    std::shared_ptr<gpu::Device> device;
    try {
        device = gpu::Device::systemDefault();
    } catch (const gpu::GpuError&) {
        throw failure("GXL描画エンジンを読み込めません。");
    }
    const std::optional<std::filesystem::path> shader = MarkerRenderer::shaderResource();
    if (!device || !shader) throw failure("GXL描画エンジンを読み込めません。");
    // A creation error goes out unchanged and leaves no renderer behind, so
    // the next call tries again.
    renderer_ = std::make_unique<MarkerRenderer>(device, *shader);
    return *renderer_;
}

QImage GXLEngine::image(const GXLSettings& settings, double seconds, const QImage& background, bool overlayOnly)
{
    if (!settings.validate()) throw failure("GXLツールの設定が不正です。");
    std::lock_guard guard(lock_);
    MarkerRenderer& renderer = rendererLocked();
    gpu::Device& device = *renderer.device();
    // Both textures are made once and drawn over afresh by every render (the
    // target is cleared first, the source replaced whole).
    if (!target_) target_ = device.makeTexture(canvasTexture());
    if (!target_) throw failure("GXL描画メモリを確保できません。");
    std::shared_ptr<gpu::Texture> source;
    if (settings.ground()) {
        if (background.isNull()) throw failure("芝生限定ツールは映像を読み込んでから使用してください。");
        if (!source_) source_ = device.makeTexture(canvasTexture());
        if (!source_) throw failure("映像メモリを確保できません。");
        loadSource(*source_, background);
        source = source_;
    }
    renderer.render(target_, settings.parameters(), seconds, source, std::string(), overlayOnly);
    // The last picture is read into again once its caller has let it go
    // (fresh memory for every frame costs more than the read itself); one
    // still held is left to its holder rather than copied and drawn over.
    if (!picture_.isDetached()) picture_ = QImage();
    readBack(*target_, picture_);
    return picture_;
}

namespace {

// Draws the marks, in list order, onto `canvas`; `background` keys ground tools.
void drawMarks(QImage& canvas, const std::vector<OrganizerMark>& marks, const QImage& background, double seconds,
               bool overlayOnly, bool fitBackground)
{
    QPainter painter(&canvas);
    if (fitBackground) drawFitted(painter, background);
    const QRectF area(0, 0, markCanvasWidth, markCanvasHeight);
    for (const OrganizerMark& mark : marks) {
        if (!mark.gxl) {
            // Straight onto the one canvas: source-over is associative, so this
            // is the mark's own transparent picture laid over, without
            // allocating a full canvas per mark.
            drawOrganizerMarks({mark}, area, painter);
            continue;
        }
        const bool ground = mark.gxl->ground();
        if (ground && background.isNull() && overlayOnly) continue;
        const QImage picture = GXLEngine::shared().image(*mark.gxl, seconds, ground ? background : QImage(), true);
        const auto [first, end] = drawnRows(picture);
        if (first < end) painter.drawImage(QPointF(0, first), picture, QRectF(0, first, picture.width(), end - first));
    }
    if (!painter.end()) throw failure("描画を合成できません。");
}

} // namespace

QImage soccerFrame(const std::vector<OrganizerMark>& marks, const QImage& background, double seconds, bool overlayOnly)
{
    // A background that already fills the canvas is the canvas to draw on
    // (fitting it would copy it pixel for pixel).
    const bool filling = !overlayOnly && fillsCanvas(background);
    QImage canvas = filling ? background.copy() : emptyCanvas();
    if (canvas.isNull()) throw failure("描画を合成できません。");
    drawMarks(canvas, marks, background, seconds, overlayOnly, !overlayOnly && !background.isNull() && !filling);
    return canvas;
}

QImage soccerFrame(const std::vector<OrganizerMark>& marks, QImage&& background, double seconds)
{
    const bool ground = std::any_of(marks.begin(), marks.end(),
                                    [](const OrganizerMark& mark) { return mark.gxl && mark.gxl->ground(); });
    if (ground || !fillsCanvas(background)) return soccerFrame(marks, background, seconds, false);
    QImage canvas = std::move(background);
    drawMarks(canvas, marks, QImage(), seconds, false, false);
    return canvas;
}

} // namespace zanto
