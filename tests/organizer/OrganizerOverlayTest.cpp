#include "OrganizerTesting.h"

#include "marks/GXLEngine.h"
#include "marks/OrganizerMarkDrawing.h"
#include "organizer/OrganizerOverlay.h"
#include "services/ExportFailure.h"

#include <QElapsedTimer>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace zanto {
namespace {

OrganizerMark ring(double x, double y)
{
    GXLSettings settings{"Player Ring", {{x, y}}};
    settings.color = {1, 0, 0, 1};
    settings.opacity = 100;
    return OrganizerMark{"gxl", x, y, x, y, "", settings};
}

// A renderer that records every call and holds it until the test releases it
// with an outcome: a picture, or an error message to throw. Its state lives as
// long as any render thread still holds the renderer.
class Latch {
public:
    struct Call {
        std::vector<OrganizerMark> marks;
        double seconds;
    };

    OrganizerOverlay::Renderer renderer() const
    {
        return [state = state_](const std::vector<OrganizerMark>& marks, const QImage&, double seconds) {
            std::unique_lock lock(state->mutex);
            state->calls.push_back({marks, seconds});
            const size_t index = state->calls.size();
            state->wake.notify_all();
            state->wake.wait(lock, [&] { return state->outcomes.size() >= index; });
            const std::string error = state->outcomes[index - 1];
            if (!error.empty()) throw failure(error);
            QImage picture(markCanvasWidth, markCanvasHeight, QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::green);
            return picture;
        };
    }

    // Ends the call in flight (waiting for it to arrive) and lets its
    // completion reach the overlay.
    void finish(OrganizerOverlay& overlay, const std::string& error = "")
    {
        {
            std::unique_lock lock(state_->mutex);
            ASSERT_TRUE(state_->wake.wait_for(lock, std::chrono::seconds(10),
                                              [&] { return state_->calls.size() > state_->outcomes.size(); }));
            state_->outcomes.push_back(error);
            state_->wake.notify_all();
        }
        QElapsedTimer timer;
        timer.start();
        while (overlay.rendering() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    bool waitForCalls(size_t count) const
    {
        std::unique_lock lock(state_->mutex);
        return state_->wake.wait_for(lock, std::chrono::seconds(10), [&] { return state_->calls.size() >= count; });
    }
    size_t calls() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->calls.size();
    }
    Call last() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->calls.back();
    }
    // Lets any call still held end, so that no test leaves a thread blocked.
    ~Latch()
    {
        std::lock_guard lock(state_->mutex);
        state_->outcomes.resize(state_->calls.size() + 1000);
        state_->wake.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::vector<Call> calls;
        std::vector<std::string> outcomes;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

QImage paint(OrganizerOverlay& overlay)
{
    QImage image(overlay.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    overlay.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool blank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) return false;
        }
    }
    return true;
}

class OrganizerOverlayRenders : public ::testing::Test {
protected:
    OrganizerOverlayRenders() { overlay.resize(320, 180); }

    test::UsesApplication application;
    Latch latch;
    OrganizerOverlay overlay{nullptr, latch.renderer()};
};

TEST_F(OrganizerOverlayRenders, NoMarksNoRender)
{
    EXPECT_TRUE(blank(paint(overlay)));
    overlay.setMarks({OrganizerMark{"arrow", 0.1, 0.1, 0.9, 0.9, "", std::nullopt}});
    EXPECT_FALSE(blank(paint(overlay)));
    EXPECT_FALSE(overlay.rendering());
}

TEST_F(OrganizerOverlayRenders, OneRenderInFlightThenThePicture)
{
    overlay.setMarks({ring(0.5, 0.5)});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(blank(paint(overlay)));
    latch.finish(overlay);
    EXPECT_EQ(latch.calls(), 1u);
    EXPECT_EQ(paint(overlay).pixelColor(10, 10), QColor(Qt::green));

    // The same time is no change; the same background is.
    overlay.setSeconds(0);
    paint(overlay);
    EXPECT_FALSE(overlay.rendering());
    overlay.setBackground(QImage());
    paint(overlay);
    EXPECT_TRUE(latch.waitForCalls(2));
}

TEST_F(OrganizerOverlayRenders, ChangesDuringARenderFoldIntoOne)
{
    overlay.setMarks({ring(0.5, 0.5)});
    paint(overlay);
    for (double x : {0.1, 0.2, 0.3}) {
        overlay.setMarks({ring(x, 0.5)});
        paint(overlay);
    }
    latch.finish(overlay);
    paint(overlay);
    latch.finish(overlay);
    paint(overlay);
    EXPECT_FALSE(overlay.rendering());
    EXPECT_EQ(latch.calls(), 2u);
    EXPECT_EQ(latch.last().marks, std::vector<OrganizerMark>{ring(0.3, 0.5)});
}

TEST_F(OrganizerOverlayRenders, ResetSelectionDropsTheRenderUnderWay)
{
    overlay.setMarks({ring(0.5, 0.5)});
    paint(overlay);
    latch.finish(overlay);
    overlay.setSeconds(2);
    paint(overlay);
    overlay.resetSelection();
    EXPECT_TRUE(overlay.cached().isNull());
    latch.finish(overlay);
    EXPECT_TRUE(overlay.cached().isNull());
    EXPECT_TRUE(blank(paint(overlay)));
    EXPECT_TRUE(latch.waitForCalls(3));
}

TEST_F(OrganizerOverlayRenders, EachDistinctFailureReportedOnce)
{
    QStringList reported;
    overlay.onError = [&](const QString& message) { reported << message; };
    overlay.setMarks({ring(0.5, 0.5)});
    int step = 0;
    for (const std::string outcome : {"描画を合成できません。", "描画を合成できません。", "", "描画を合成できません。",
                                      "EGL is unavailable", "EGL is unavailable"}) {
        overlay.setSeconds(++step);
        paint(overlay);
        latch.finish(overlay, outcome);
    }
    EXPECT_EQ(reported, QStringList({"描画を合成できません。", "描画を合成できません。", "EGL is unavailable"}));
    // A failed revision counts as rendered: no retry until something changes.
    paint(overlay);
    EXPECT_FALSE(overlay.rendering());
    EXPECT_EQ(latch.calls(), 6u);
    EXPECT_EQ(paint(overlay).pixelColor(10, 10), QColor(Qt::green));
}

TEST_F(OrganizerOverlayRenders, EditingRendersAtOnePointTwoSecondsAtLeast)
{
    overlay.setMarks({ring(0.5, 0.5)});
    const struct {
        bool editing;
        double seconds;
        double rendered;
    } cases[] = {{true, 0.5, 1.2}, {false, 0.5, 0.5}, {true, 3, 3}};
    for (const auto& c : cases) {
        overlay.setEditing(c.editing);
        overlay.setSeconds(c.seconds);
        paint(overlay);
        latch.finish(overlay);
        EXPECT_DOUBLE_EQ(latch.last().seconds, c.rendered);
        EXPECT_EQ(overlay.testAttribute(Qt::WA_TransparentForMouseEvents), !c.editing);
    }
}

TEST_F(OrganizerOverlayRenders, GoneBeforeItsRenderEnds)
{
    auto gone = std::make_unique<OrganizerOverlay>(nullptr, latch.renderer());
    gone->setMarks({ring(0.5, 0.5)});
    paint(*gone);
    ASSERT_TRUE(latch.waitForCalls(1));
    gone.reset();
    latch.finish(overlay);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The real engine on llvmpipe: the ring lands where its point says, y up.
TEST(OrganizerOverlay, RealRenderLandsAtTheRing)
{
    test::testApplication();
    OrganizerOverlay overlay;
    overlay.resize(640, 360);
    QStringList errors;
    overlay.onError = [&](const QString& message) { errors << message; };
    overlay.setMarks({ring(0.25, 0.75)});
    paint(overlay);
    QElapsedTimer timer;
    timer.start();
    while (overlay.rendering() && timer.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!errors.isEmpty()) GTEST_SKIP() << "no GPU render here: " << errors.front().toStdString();
    const QImage image = paint(overlay);
    double weight = 0, sumX = 0, sumY = 0;
    QPoint peak;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            if (alpha > qAlpha(image.pixel(peak))) peak = QPoint(x, y);
            weight += alpha;
            sumX += alpha * x;
            sumY += alpha * y;
        }
    }
    ASSERT_GT(weight, 0);
    EXPECT_NEAR(sumX / weight, 160, 4);
    EXPECT_NEAR(sumY / weight, 90, 4);
    // The ring itself, in its own colour, near its point.
    const QColor probe = image.pixelColor(peak);
    EXPECT_GT(probe.red(), 2 * std::max(probe.green(), probe.blue()));
    EXPECT_LT(std::hypot(peak.x() - 160, peak.y() - 90), 80);
}

} // namespace
} // namespace zanto
