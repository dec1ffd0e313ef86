#pragma once
// The telestration frame engine: one GXL mark rendered on the GPU
// (GXLEngine), and the marks of one item stacked into one finished picture on
// the 1280 x 720 mark canvas (soccerFrame).
//
// Pictures are QImage::Format_ARGB32_Premultiplied, 1280 x 720: B, G, R, A
// premultiplied bytes, 5120 bytes a row, top row first. A null QImage passed
// as a background means "no background".

#include "marks/GXLSettings.h"
#include "marks/OrganizerMark.h"

#include "platform/gpu/PixelFormat.h"

#include <QImage>
#include <QRect>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zanto {

class MarkerRenderer;
namespace gpu {
class Texture;
}

class GXLEngine {
public:
    // The one engine of the process, made on first use (safe against
    // concurrent first use) and never released.
    static GXLEngine& shared();

    ~GXLEngine();
    GXLEngine(const GXLEngine&) = delete;
    GXLEngine& operator=(const GXLEngine&) = delete;

    // Renders one GXL mark at `seconds` into the renderer's overlay mode when
    // `overlayOnly`. A ground tool draws over `background` fitted into the
    // canvas and needs one; other tools ignore it. Any thread; blocks until
    // the picture is read back. Invalid settings are refused before the lock
    // is taken. Throws ExportFailure with the user's message, or the
    // renderer's own errors unchanged (MarkerRendererError, gpu::GpuError,
    // std::system_error for an unreadable shader file).
    QImage image(const GXLSettings& settings, double seconds, const QImage& background, bool overlayOnly = false);

    // Several marks, each as `image` gives it in overlay mode, laid over one
    // another in turn, drawn only over the part of the canvas they can draw
    // in (`rect`). `picture` is canvas-sized; only `rect` of it holds the
    // marks: laid over a canvas, that part changes the same pixels as the
    // marks' whole pictures laid in turn. Only that part of `background` is
    // uploaded, and it is drawn and read in one pass. Fails as `image` does,
    // for the first mark in the list that fails.
    struct Area {
        QImage picture;
        QRect rect;
    };
    // A `placed` background is the part of the canvas lying there, as it is.
    Area stack(const std::vector<const GXLSettings*>& marks, double seconds, const QImage& background,
               const QRect& placed = QRect());

private:
    GXLEngine();
    std::shared_ptr<gpu::Texture> sourceLocked(MarkerRenderer& renderer, const QImage& background, const QRect& placed,
                                               const std::optional<gpu::PixelRegion>& area);
    gpu::Texture& targetLocked(MarkerRenderer& renderer);
    friend struct GXLEngineTestAccess;

    MarkerRenderer& rendererLocked();

    // Serialises every GPU render of the process: held from renderer creation
    // to the end of the read-back. Guards renderer_.
    std::mutex lock_;
    // Absent until a creation succeeds; then kept for the rest of the process.
    // A failed creation is retried by the next call.
    std::unique_ptr<MarkerRenderer> renderer_;
    // The canvas-sized render target and ground source, kept between
    // renders; guarded by lock_.
    std::shared_ptr<gpu::Texture> target_;
    std::shared_ptr<gpu::Texture> source_;
    // The last picture read back, read into again when no caller holds it;
    // guarded by lock_.
    QImage picture_;
};

// The marks of one item, in list order, over a transparent canvas at
// `seconds`: plain marks drawn in 2D, GXL marks rendered by the shared engine
// (always in overlay mode). With `overlayOnly` false the background, fitted
// into the canvas, lies under the marks; with `overlayOnly` true it only keys
// ground tools, and a ground tool without a background is left out. Any error
// of any mark fails the whole frame. Any thread; only GPU work takes the
// engine's lock. Throws what GXLEngine::image throws, or ExportFailure
// "描画を合成できません。" when the canvas cannot be made.
QImage soccerFrame(const std::vector<OrganizerMark>& marks, const QImage& background, double seconds,
                   bool overlayOnly = false);
// The same with the background under the marks, handed over: one that fills
// the canvas is drawn on as it is (ground tools key to it before any mark is
// laid on it).
QImage soccerFrame(const std::vector<OrganizerMark>& marks, QImage&& background, double seconds);

// The marks of one item drawn over the video rather than with it: the part of
// the canvas their ground tools key to at `seconds` (empty for none)...
QRect soccerSourceArea(const std::vector<OrganizerMark>& marks, double seconds);
// ...where the list's plain marks draw, once for the item (they stand still)...
QRect plainMarksArea(const std::vector<OrganizerMark>& marks);
// ...and the marks alone drawn onto `canvas` (canvas-sized, transparent),
// `sourceArea` (lying at `sourceRect`, holding soccerSourceArea) keying the
// ground tools. Gives the part drawn on: telestration marks' areas and
// `plainArea`. The same pixels as soccerFrame in overlay mode.
QRect soccerOverlay(QImage& canvas, const std::vector<OrganizerMark>& marks, const QImage& sourceArea,
                    const QRect& sourceRect, double seconds, const QRect& plainArea);

// What one mark's picture at `seconds` depends on, when it stands still from
// frame to frame: two times of equal poses draw the same pixels, whatever
// video lies under them. A plain mark always stands (an empty pose); a
// telestration mark stands when it follows no clock (or its clock is not
// running, as during none of an entrance) and is not keyed to the turf, or
// is keyed to it `overStill`: over a picture that does not change. Nothing
// for one that moves, or whose settings are invalid (it fails where it is
// drawn). Any thread.
std::optional<std::string> soccerStandingPose(const OrganizerMark& mark, double seconds, bool overStill = false);

} // namespace zanto
