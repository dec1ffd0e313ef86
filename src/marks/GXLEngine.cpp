#include "marks/GXLEngine.h"

#include "marks/MarkerParameters.h"
#include "marks/MarkerRenderer.h"
#include "marks/MarkerShaderConstants.h"
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

// The video frame under the marks loaded into the ground tools' source
// texture: fitted into the canvas, or, with a `placed` rectangle, the part of
// the canvas lying there. Only `area` of it, when given, goes up: the shader
// reads no other pixel. A frame that fills the canvas goes up as it is.
void loadSource(gpu::Texture& texture, const QImage& background, const QRect& placed,
                const std::optional<gpu::PixelRegion>& area)
{
    const gpu::PixelRegion whole{0, 0, markCanvasWidth, markCanvasHeight};
    const gpu::PixelRegion a = area.value_or(whole);
    if (!placed.isNull()) {
        const QRect r = QRect(a.x, a.y, a.width, a.height).intersected(placed);
        if (r.isEmpty()) return;
        texture.replaceRegion(r.x(), r.y(), r.width(), r.height(),
                              background.constScanLine(r.y() - placed.y()) + std::size_t(r.x() - placed.x()) * 4,
                              std::size_t(background.bytesPerLine()));
        return;
    }
    QImage fitted;
    if (!fillsCanvas(background)) {
        fitted = transparentMarkCanvas();
        if (fitted.isNull()) throw failure("映像メモリを確保できません。");
        QPainter painter(&fitted);
        drawFitted(painter, background);
    }
    const QImage& canvas = fitted.isNull() ? background : fitted;
    texture.replaceRegion(a.x, a.y, a.width, a.height, canvas.constScanLine(a.y) + std::size_t(a.x) * 4,
                          std::size_t(canvas.bytesPerLine()));
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

gpu::Texture& GXLEngine::targetLocked(MarkerRenderer& renderer)
{
    // Both textures are made once and drawn over afresh by every render.
    if (!target_) target_ = renderer.device()->makeTexture(canvasTexture());
    if (!target_) throw failure("GXL描画メモリを確保できません。");
    return *target_;
}

std::shared_ptr<gpu::Texture> GXLEngine::sourceLocked(MarkerRenderer& renderer, const QImage& background,
                                                      const QRect& placed, const std::optional<gpu::PixelRegion>& area)
{
    if (!source_) source_ = renderer.device()->makeTexture(canvasTexture());
    if (!source_) throw failure("映像メモリを確保できません。");
    loadSource(*source_, background, placed, area);
    return source_;
}

namespace {

void checkSettings(const GXLSettings& settings, const QImage& background)
{
    if (!settings.validate()) throw failure("GXLツールの設定が不正です。");
    if (settings.ground() && background.isNull())
        throw failure("芝生限定ツールは映像を読み込んでから使用してください。");
}

} // namespace

QImage GXLEngine::image(const GXLSettings& settings, double seconds, const QImage& background, bool overlayOnly)
{
    if (!settings.validate()) throw failure("GXLツールの設定が不正です。");
    std::lock_guard guard(lock_);
    MarkerRenderer& renderer = rendererLocked();
    targetLocked(renderer);
    std::shared_ptr<gpu::Texture> source;
    if (settings.ground()) {
        checkSettings(settings, background);
        source = sourceLocked(renderer, background, QRect(), std::nullopt);
    }
    renderer.render(target_, settings.parameters(), seconds, source, std::string(), overlayOnly);
    // The last picture is read into again once its caller has let it go
    // (fresh memory for every frame costs more than the read itself); one
    // still held is left to its holder rather than copied and drawn over.
    if (!picture_.isDetached()) picture_ = QImage();
    readBack(*target_, picture_);
    return picture_;
}

GXLEngine::Area GXLEngine::stack(const std::vector<const GXLSettings*>& marks, double seconds, const QImage& background,
                                 const QRect& placed)
{
    std::vector<MarkerParameters> markers;
    QRect drawn;
    bool ground = false;
    for (const GXLSettings* settings : marks) {
        checkSettings(*settings, background);
        markers.push_back(settings->parameters());
        const gpu::PixelRegion r =
            MarkerRenderer::drawnArea(markers.back(), markCanvasWidth, markCanvasHeight, seconds);
        drawn |= QRect(r.x, r.y, r.width, r.height);
        ground = ground || settings->ground();
    }
    if (drawn.isEmpty()) return {};
    const gpu::PixelRegion area{drawn.x(), drawn.y(), drawn.width(), drawn.height()};
    std::lock_guard guard(lock_);
    MarkerRenderer& renderer = rendererLocked();
    gpu::Texture& target = targetLocked(renderer);
    renderer.renderStack(target_, markers, seconds, ground ? sourceLocked(renderer, background, placed, area) : nullptr,
                         area);
    if (!picture_.isDetached() || !fillsCanvas(picture_))
        picture_ = QImage(markCanvasWidth, markCanvasHeight, QImage::Format_ARGB32_Premultiplied);
    if (picture_.isNull()) throw failure("描画画像を作成できません。");
    target.getBytes(area, picture_.scanLine(area.y) + std::size_t(area.x) * 4, std::size_t(picture_.bytesPerLine()));
    return {picture_, drawn};
}

namespace {

// Draws the marks, in list order, onto `canvas`; `background` keys ground
// tools (fitted into the canvas, or lying at `placed`). Every telestration
// mark is rendered before anything is painted, so the background may be the
// canvas itself: the tools key to it unmarked. Runs of telestration marks
// next to one another in the list are drawn together, each run as one
// picture laid where it lies in the list. Gives the part drawn on by
// telestration marks.
QRect drawMarks(QImage& canvas, const std::vector<OrganizerMark>& marks, const QImage& background, double seconds,
                bool overlayOnly, bool fitBackground, const QRect& placed = QRect())
{
    std::vector<std::optional<GXLEngine::Area>> runs(marks.size());
    QRect drawn;
    for (std::size_t i = 0; i < marks.size();) {
        std::vector<const GXLSettings*> run;
        std::size_t end = i;
        for (; end < marks.size() && marks[end].gxl; ++end)
            if (!(marks[end].gxl->ground() && background.isNull() && overlayOnly)) run.push_back(&*marks[end].gxl);
        if (!run.empty()) drawn |= (runs[i] = GXLEngine::shared().stack(run, seconds, background, placed))->rect;
        i = std::max(end, i + 1);
    }
    QPainter painter(&canvas);
    if (fitBackground) drawFitted(painter, background);
    const QRectF whole(0, 0, markCanvasWidth, markCanvasHeight);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        // Straight onto the one canvas: source-over is associative, so this
        // is each mark's own transparent picture laid over, without a full
        // canvas per mark.
        if (!marks[i].gxl)
            drawOrganizerMarks({marks[i]}, whole, painter);
        else if (runs[i] && !runs[i]->rect.isEmpty())
            painter.drawImage(runs[i]->rect.topLeft(), runs[i]->picture, runs[i]->rect);
    }
    if (!painter.end()) throw failure("描画を合成できません。");
    return drawn;
}

} // namespace

QRect soccerSourceArea(const std::vector<OrganizerMark>& marks, double seconds)
{
    QRect read;
    for (const OrganizerMark& mark : marks) {
        if (!mark.gxl || !mark.gxl->ground() || !mark.gxl->validate()) continue;
        const gpu::PixelRegion r =
            MarkerRenderer::drawnArea(mark.gxl->parameters(), markCanvasWidth, markCanvasHeight, seconds);
        read |= QRect(r.x, r.y, r.width, r.height);
    }
    return read;
}

QRect plainMarksArea(const std::vector<OrganizerMark>& marks)
{
    std::vector<OrganizerMark> plain;
    std::copy_if(marks.begin(), marks.end(), std::back_inserter(plain), [](const auto& m) { return !m.gxl; });
    if (plain.empty()) return {};
    const QImage picture = organizerMarkImage(plain);
    int left = picture.width(), top = picture.height(), right = -1, bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(row[x]))
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = y;
    }
    return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

std::optional<std::string> soccerStandingPose(const OrganizerMark& mark, double seconds, bool overStill)
{
    if (!mark.gxl) return std::string();
    if ((mark.gxl->ground() && !overStill) || !mark.gxl->validate()) return std::nullopt;
    const MarkerParameters p = mark.gxl->parameters();
    MarkerUniforms u = p.uniforms(markCanvasWidth, markCanvasHeight, seconds);
    GroundUniforms g = p.groundUniforms(markCanvasWidth, markCanvasHeight, seconds);
    if (markerReadsClock(u, g, p.trailUniforms(markCanvasWidth, markCanvasHeight))) return std::nullopt;
    // Nothing reads the time-driven fields: left out, equal poses mean equal pictures.
    u.shape.w = u.arrowStyle.y = u.arrowPath.y = u.arcOptions.w = 0;
    g.wave.x = 0;
    return std::string(reinterpret_cast<const char*>(&u), sizeof u)
           + std::string(reinterpret_cast<const char*>(&g), sizeof g);
}

QRect soccerOverlay(QImage& canvas, const std::vector<OrganizerMark>& marks, const QImage& sourceArea,
                    const QRect& sourceRect, double seconds, const QRect& plainArea)
{
    if (!fillsCanvas(canvas)) throw failure("描画を合成できません。");
    const QRect drawn =
        drawMarks(canvas, marks, sourceArea, seconds, true, false, sourceArea.isNull() ? QRect() : sourceRect);
    return drawn | plainArea;
}

QImage soccerFrame(const std::vector<OrganizerMark>& marks, const QImage& background, double seconds, bool overlayOnly)
{
    // A background that already fills the canvas is the canvas to draw on
    // (fitting it would copy it pixel for pixel).
    const bool filling = !overlayOnly && fillsCanvas(background);
    QImage canvas = filling ? background.copy() : transparentMarkCanvas();
    if (canvas.isNull()) throw failure("描画を合成できません。");
    drawMarks(canvas, marks, background, seconds, overlayOnly, !overlayOnly && !background.isNull() && !filling);
    return canvas;
}

QImage soccerFrame(const std::vector<OrganizerMark>& marks, QImage&& background, double seconds)
{
    if (!fillsCanvas(background)) return soccerFrame(marks, background, seconds, false);
    QImage canvas = std::move(background);
    drawMarks(canvas, marks, canvas, seconds, false, false);
    return canvas;
}

} // namespace zanto
