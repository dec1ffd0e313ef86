#include "OrganizerTestSupport.h"

#include "marks/OrganizerMarkDrawing.h"
#include "organizer/OrganizerOverlay.h"
#include "services/ExportFailure.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <thread>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <tuple>

namespace zanto {
namespace {

OrganizerMark ring(double x, double y)
{
    GXLSettings settings{"Player Ring", {{x, y}}, {1, 0, 0, 1}, 90, 35, 100};
    return OrganizerMark{"gxl", x, y, x, y, "", settings};
}

void pumpWhile(const std::function<bool()>& condition, int milliseconds = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (condition() && timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Holds every render until the test ends it with an outcome: "" for a green
// picture, else a message to throw. Shared state: a render thread may outlive
// the test's overlay.
class Latch {
public:
    OrganizerOverlay::Renderer renderer() const
    {
        return [s = s_](const std::vector<OrganizerMark>& marks, const QImage&, double seconds) {
            std::unique_lock lock(s->mutex);
            s->calls.push_back({marks, seconds});
            s->wake.notify_all();
            const size_t index = s->calls.size();
            s->wake.wait(lock, [&] { return s->outcomes.size() >= index; });
            if (!s->outcomes[index - 1].empty()) throw failure(s->outcomes[index - 1]);
            QImage picture(markCanvasWidth, markCanvasHeight, QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::green);
            return picture;
        };
    }
    bool waitForCalls(size_t count) const
    {
        std::unique_lock lock(s_->mutex);
        return s_->wake.wait_for(lock, std::chrono::seconds(10), [&] { return s_->calls.size() >= count; });
    }
    // Ends the next render with `error` and lets its completion arrive.
    void finish(OrganizerOverlay& overlay, const std::string& error = "")
    {
        ASSERT_TRUE(waitForCalls(release(error)));
        pumpWhile([&] { return overlay.rendering(); });
    }
    size_t calls() const
    {
        std::lock_guard lock(s_->mutex);
        return s_->calls.size();
    }
    std::pair<std::vector<OrganizerMark>, double> last() const
    {
        std::lock_guard lock(s_->mutex);
        return s_->calls.back();
    }
    ~Latch()
    {
        while (release("") < 1000) { }
    }

    // Ends the next render with `error` ("" for a picture); the count released.
    size_t release(const std::string& error)
    {
        std::lock_guard lock(s_->mutex);
        s_->outcomes.push_back(error);
        s_->wake.notify_all();
        return s_->outcomes.size();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::vector<std::pair<std::vector<OrganizerMark>, double>> calls;
        std::vector<std::string> outcomes;
    };
    std::shared_ptr<State> s_ = std::make_shared<State>();
};

// The overlay's own paint into a transparent picture of its size.
QImage paint(OrganizerOverlay& overlay)
{
    QImage image(overlay.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    overlay.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool blank(OrganizerOverlay& overlay)
{
    QImage empty(overlay.size(), QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    return paint(overlay) == empty;
}

class OrganizerOverlayRenders : public ::testing::Test {
protected:
    OrganizerOverlayRenders() { overlay.resize(320, 180); }
    // The overlay's end waits for a render held by the latch: let it go first.
    ~OrganizerOverlayRenders() override
    {
        while (latch.release("") < 1000) { }
    }

    test::UsesApplication application;
    Latch latch;
    OrganizerOverlay overlay{nullptr, latch.renderer()};
};

TEST_F(OrganizerOverlayRenders, OneInFlightAndOnlyForAChange)
{
    overlay.setMarks({OrganizerMark{"arrow", 0.1, 0.1, 0.9, 0.9, "", std::nullopt}});
    EXPECT_FALSE(blank(overlay));
    EXPECT_FALSE(overlay.rendering());
    overlay.setMarks({ring(0.5, 0.5)});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(blank(overlay));
    latch.finish(overlay);
    EXPECT_EQ(paint(overlay).pixelColor(10, 10), QColor(Qt::green));
    overlay.setSeconds(0);
    paint(overlay);
    EXPECT_FALSE(overlay.rendering());
    overlay.setBackground(QImage());
    paint(overlay);
    EXPECT_TRUE(overlay.rendering());
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
    EXPECT_EQ(latch.last().first, std::vector<OrganizerMark>{ring(0.3, 0.5)});
}

TEST_F(OrganizerOverlayRenders, ResetSelectionDropsTheRenderUnderWay)
{
    overlay.setMarks({ring(0.5, 0.5)});
    paint(overlay);
    latch.finish(overlay);
    overlay.setSeconds(2);
    paint(overlay);
    overlay.resetSelection();
    latch.finish(overlay);
    EXPECT_TRUE(overlay.cached().isNull());
    EXPECT_TRUE(blank(overlay));
    EXPECT_TRUE(latch.waitForCalls(3));
}

TEST_F(OrganizerOverlayRenders, EachDistinctFailureReportedOnceAndNotRetried)
{
    QStringList reported;
    overlay.onError = [&](const QString& message) { reported << message; };
    overlay.setMarks({ring(0.5, 0.5)});
    const std::string compose = "描画を合成できません。", egl = "EGL is unavailable";
    int step = 0;
    for (const std::string& outcome : {compose, compose, std::string(), compose, egl, egl}) {
        overlay.setSeconds(++step);
        paint(overlay);
        latch.finish(overlay, outcome);
    }
    EXPECT_EQ(reported, QStringList({"描画を合成できません。", "描画を合成できません。", "EGL is unavailable"}));
    EXPECT_EQ(paint(overlay).pixelColor(10, 10), QColor(Qt::green));
    EXPECT_FALSE(overlay.rendering());
}

TEST_F(OrganizerOverlayRenders, EditingRendersAtOnePointTwoSecondsAtLeast)
{
    overlay.setMarks({ring(0.5, 0.5)});
    using Case = std::tuple<bool, double, double>; // editing, seconds, rendered at
    for (const auto& [editing, seconds, rendered] : {Case{true, 0.5, 1.2}, Case{false, 0.5, 0.5}, Case{true, 3, 3}}) {
        overlay.setEditing(editing);
        overlay.setSeconds(seconds);
        paint(overlay);
        latch.finish(overlay);
        EXPECT_DOUBLE_EQ(latch.last().second, rendered);
        EXPECT_EQ(overlay.testAttribute(Qt::WA_TransparentForMouseEvents), !editing);
    }
}

// The overlay's end waits for the render under way (the process may be
// ending); the render's completion then finds nothing to reach.
TEST_F(OrganizerOverlayRenders, GoneWhileItsRenderRuns)
{
    auto gone = std::make_unique<OrganizerOverlay>(nullptr, latch.renderer());
    gone->setMarks({ring(0.5, 0.5)});
    paint(*gone);
    ASSERT_TRUE(latch.waitForCalls(1));
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        latch.release("");
    });
    gone.reset();
    releaser.join();
    pumpWhile([] { return true; }, 200);
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
    pumpWhile([&] { return overlay.rendering(); }, 60000);
    if (!errors.isEmpty()) GTEST_SKIP() << "no GPU render here: " << errors.front().toStdString();
    const QImage image = paint(overlay);
    double weight = 0, x = 0, y = 0;
    QPoint peak;
    for (int row = 0; row < image.height(); ++row) {
        for (int column = 0; column < image.width(); ++column) {
            const int alpha = qAlpha(image.pixel(column, row));
            if (alpha > qAlpha(image.pixel(peak))) peak = QPoint(column, row);
            weight += alpha;
            x += alpha * column;
            y += alpha * row;
        }
    }
    ASSERT_GT(weight, 0);
    EXPECT_NEAR(x / weight, 160, 4);
    EXPECT_NEAR(y / weight, 90, 4);
    const QColor probe = image.pixelColor(peak);
    EXPECT_GT(probe.red(), 2 * std::max(probe.green(), probe.blue()));
}

} // namespace
} // namespace zanto
