#include "OrganizerTestSupport.h"

#include "organizer/OrganizerColorWell.h"
#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerSlider.h"
#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace zanto {
namespace {

using namespace std::chrono_literals;

class OrganizerDrawingPanel : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        OrganizerDocument document = test::sampleDocument();
        document.rows[0].items[1].marks = std::vector<OrganizerMark>{test::gxlMark()};
        ASSERT_TRUE(organizer->openDocument(document));
        organizer->table.selectRowIndexes({0}, false);
        test::expectConsistent(*organizer);
    }

    OrganizerOverlay& overlay() { return *test::control<OrganizerOverlay>(*organizer, "overlay"); }
    const OrganizerItem& item(int index) const
    {
        return organizer->playlist().rows[0].items[static_cast<size_t>(index)];
    }

    // The still I2 on show, paused with drawing on, from the queue of the
    // selected lines 1 and 2, while the table's selected line is I3: a press
    // on I2, a Shift press on I3, Space, K.
    void showStillBesideSelection()
    {
        auto& timeline = *test::control<OrganizerTimeline>(*organizer, "timeline");
        QTest::mouseClick(&timeline, Qt::LeftButton, {}, timeline.rects(0)[1].center().toPoint());
        QTest::mouseClick(&timeline, Qt::LeftButton, Qt::ShiftModifier, timeline.rects(0)[2].center().toPoint());
        QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_Space);
        QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_K);
        ASSERT_EQ(organizer->selectedItem()->id, "I3");
        ASSERT_EQ(organizer->playback().itemOnShow()->id, "I2");
        ASSERT_TRUE(overlay().editing());
    }

    QPoint at(double x, double y) { return QPointF(x * overlay().width(), (1 - y) * overlay().height()).toPoint(); }

    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(&overlay(), Qt::LeftButton, {}, from);
        QTest::mouseMove(&overlay(), to);
        QTest::mouseRelease(&overlay(), Qt::LeftButton, {}, to);
    }

    static void release(OrganizerSlider& slider, double value)
    {
        slider.setSliderDown(true);
        slider.setSliderPosition(static_cast<int>(value * 100));
        slider.setSliderDown(false);
    }
};

TEST_F(OrganizerDrawingPanel, DragsGoToTheItemOnShowNotTheSelectedOneAndNeverWhileBusy)
{
    showStillBesideSelection();
    const OrganizerDocument before = organizer->playlist();
    {
        test::BusyHold busy(*organizer);
        drag(at(0.25, 0.75), at(0.35, 0.75));
        EXPECT_EQ(overlay().marks(), *item(1).marks) << "nothing looks applied";
        EXPECT_EQ(organizer->playlist(), before);
    }
    drag(at(0.25, 0.75), at(0.35, 0.75));
    test::expectConsistent(*organizer);
    EXPECT_NE(item(1).marks->back().gxl->points, test::gxlMark().gxl->points);
    EXPECT_EQ(item(2), before.rows[0].items[2]) << "the selected item keeps its bytes";
    EXPECT_EQ(organizer->playback().queue()[0].marks, item(1).marks) << "the queued copy follows";
    EXPECT_EQ(OrganizerDocument::fromJson(test::readFile(organizer->recovery())).rows[0].items[1].marks, item(1).marks)
        << "the drag reaches the recovery file";
    EXPECT_EQ(organizer->undoStates().size(), 1u);
}

TEST_F(OrganizerDrawingPanel, SlidersRestyleTheSelectedTelestrationOnlyWhileEditing)
{
    auto& size = *test::control<OrganizerSlider>(*organizer, "gxlSize");
    auto& well = *test::control<OrganizerColorWell>(*organizer, "gxlColor");
    release(size, 150);
    EXPECT_EQ(overlay().gxlSize, 90) << "drawing mode off: nothing, not even the overlay's style";

    showStillBesideSelection();
    QTest::mouseClick(&overlay(), Qt::LeftButton, {}, at(0.25, 0.75));
    EXPECT_EQ(size.doubleValue(), test::gxlMark().gxl->size) << "selecting shows the mark's style";
    EXPECT_EQ(organizer->undoStates().size(), 0u) << "a click without a move changes nothing";
    well.setColor(QColor());
    release(size, 150);
    test::expectConsistent(*organizer);
    const GXLSettings& stored = *item(1).marks->back().gxl;
    EXPECT_EQ(stored.size, 150);
    EXPECT_EQ(stored.color, (std::vector<double>{0, 0, 1, 1})) << "no colour reads as plain blue";
    EXPECT_EQ(stored.tool, test::gxlMark().gxl->tool);
    EXPECT_EQ(stored.points, test::gxlMark().gxl->points);
    EXPECT_EQ(organizer->undoStates().size(), 1u);
}

TEST_F(OrganizerDrawingPanel, DeleteAndUndoOfMarks)
{
    organizer->perform(OrganizerCommand::deleteSelectedMark);
    EXPECT_EQ(organizer->statusText(), "「選択／移動」で描画を選んでください。");

    organizer->selectTimeline(0, 1);
    QTest::mouseClick(&overlay(), Qt::LeftButton, {}, at(0.25, 0.75));
    organizer->perform(OrganizerCommand::deleteSelectedMark);
    test::expectConsistent(*organizer);
    EXPECT_EQ(item(1).marks, std::vector<OrganizerMark>{});

    // Nothing on show: the selected item, whose marks are absent, stores [].
    organizer->table.selectRowIndexes({1}, false);
    organizer->stop();
    test::change(
        *organizer, [](OrganizerDocument& d) { d.rows[0].items[1].marks.reset(); }, 1);
    const size_t steps = organizer->undoStates().size();
    organizer->perform(OrganizerCommand::undoMark);
    test::expectConsistent(*organizer);
    EXPECT_EQ(item(1).marks, std::vector<OrganizerMark>{});
    EXPECT_EQ(organizer->undoStates().size(), steps + 1);
}

TEST_F(OrganizerDrawingPanel, TimerGivesTheItemTimeAndFramesForTurfTools)
{
    const auto clip = test::makeTestMovie(folder.path() / "four.mp4", {.durationSeconds = 4.0, .audio = false});
    test::change(*organizer, [&](OrganizerDocument& d) {
        d.sources[0].path = clip.string();
        d.sources[0].offset = -0.5;
    });
    int grabs = 0;
    organizer->playback().setReading({[] { return 12.0; },
                                      [&] {
                                          QImage frame(16, 9, QImage::Format_ARGB32);
                                          frame.fill(QColor(++grabs, 0, 0));
                                          return frame;
                                      }});
    organizer->selectTimeline(0, 0);
    organizer->window()->hide();
    organizer->drawingTick();
    EXPECT_EQ(overlay().seconds(), 0) << "hidden: nothing";
    organizer->window()->show();
    organizer->drawingTick();
    organizer->drawingTick();
    // I1 runs from 1 s in source S1 with offset -0.5.
    EXPECT_EQ(overlay().seconds(), 12 - 1 + 0.5);
    EXPECT_EQ(grabs, 1) << "without a turf mark the first frame stays";
    overlay().setMarks({edits::materialMark("Ground Ring")});
    organizer->drawingTick();
    organizer->drawingTick();
    EXPECT_EQ(grabs, 3);

    organizer->selectTimeline(0, 1);
    organizer->drawingTick();
    EXPECT_EQ(overlay().seconds(), 0) << "a paused still";
    const auto started = std::chrono::steady_clock::now();
    QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_Space);
    std::this_thread::sleep_for(300ms);
    organizer->drawingTick();
    EXPECT_GE(overlay().seconds(), 0.3) << "a running still";
    EXPECT_LE(overlay().seconds(), std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    EXPECT_EQ(grabs, 3) << "no grabs for a still";
}

class OrganizerMaterials : public OrganizerDrawingPanel { };

int codeOf(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    test::TestFrame frame{image.width(), image.height(), {}};
    frame.bgra.assign(image.constBits(), image.constBits() + image.sizeInBytes());
    return test::readFrameCode(frame, 0, 0, frame.width, frame.height);
}

TEST_F(OrganizerMaterials, CutsTheRealClipAtThePlayheadIntoOneUndoStep)
{
    const auto clip = test::makeTestMovie(folder.path() / "code.mp4", {.durationSeconds = 1.0, .audio = false});
    test::change(
        *organizer,
        [&](OrganizerDocument& d) {
            d.sources[0].path = clip.string();
            d.sources[0].offset = 0.2;
            d.rows[0].items[0].start = 0;
            d.rows[0].items[0].end = 0.6;
        },
        0);
    const OrganizerDocument uncut = organizer->playlist();
    organizer->playback().setReading({[] { return 0.5; }, {}});
    organizer->selectTimeline(0, 0);

    QTest::mouseClick(test::control<QWidget>(*organizer, "material3"), Qt::LeftButton);
    test::expectConsistent(*organizer);
    ASSERT_EQ(organizer->playlist().rows[0].items.size(), 5u);
    const OrganizerItem still = item(1);
    EXPECT_EQ(still.freezeTime, 0.3);
    EXPECT_EQ(organizer->selectedItem()->id, still.id);
    EXPECT_EQ(still.marks, std::vector<OrganizerMark>{edits::materialMark("Lofted Arc")});
    EXPECT_EQ(organizer->statusText(), "5秒の静止画に「立体の矢印」を追加。素材をドラッグして移動できます。");
    EXPECT_TRUE(overlay().editing());
    EXPECT_EQ(overlay().selectedMark(), 0);
    const QImage shown = test::control<OrganizerImageView>(*organizer, "image")->image();
    EXPECT_EQ(codeOf(shown), readFrameCode(test::decodeFrameAt(clip, 0.5), 0, 0, 160, 90));

    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), uncut);
}

// The still I2 open over `marks`: its picture, never the emptied movie, lies
// under them.
void expectMarksOverStill(const Organizer& organizer, const std::vector<OrganizerMark>& marks, const QImage& still)
{
    test::expectConsistent(organizer);
    const auto& image = *test::control<OrganizerImageView>(organizer, "image");
    const auto& overlay = *test::control<OrganizerOverlay>(organizer, "overlay");
    EXPECT_EQ(organizer.playlist().rows[0].items[1].marks, marks);
    EXPECT_EQ(overlay.marks(), marks);
    EXPECT_TRUE(image.isVisible());
    EXPECT_FALSE(test::control<QWidget>(organizer, "movie")->isVisible());
    EXPECT_EQ(image.image(), still);
    EXPECT_EQ(overlay.background(), still);
}

TEST_F(OrganizerMaterials, UndoAndRedoOfADragShowTheMarksOverTheSameStill)
{
    const auto clip = test::makeTestMovie(folder.path() / "still.mp4", {.durationSeconds = 3.0, .audio = false});
    test::change(*organizer, [&](OrganizerDocument& d) {
        d.sources[1].path = clip.string();
        d.sources[1].offset = 0;
    });
    auto& timeline = *test::control<OrganizerTimeline>(*organizer, "timeline");
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, timeline.rects(0)[1].center().toPoint());
    QTest::mouseClick(test::control<QWidget>(*organizer, "material0"), Qt::LeftButton);
    const QImage still = test::control<OrganizerImageView>(*organizer, "image")->image();
    ASSERT_EQ(codeOf(still), readFrameCode(test::decodeFrameAt(clip, 2.5), 0, 0, 160, 90));
    const std::vector<OrganizerMark> added = *item(1).marks;
    ASSERT_EQ(added.back().gxl->tool, "Player Ring");
    const GXLPoint ring = added.back().gxl->points.front();
    drag(at(ring.x, ring.y), at(ring.x + 0.2, ring.y - 0.1));
    const std::vector<OrganizerMark> dragged = *item(1).marks;
    ASSERT_NE(dragged, added);

    QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    expectMarksOverStill(*organizer, added, still);
    QTest::keyClick(organizer->window()->windowHandle(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    expectMarksOverStill(*organizer, dragged, still);
}

TEST_F(OrganizerMaterials, RefusesWhatHasNoPlaceAndAddsToTheStillOnShow)
{
    const OrganizerDocument before = organizer->playlist();
    organizer->addMaterial(15);
    EXPECT_EQ(organizer->playlist(), before) << "a tag outside the tools";
    organizer->selectTimeline(0, 2);
    organizer->addMaterial(0);
    EXPECT_EQ(organizer->statusText(), "素材を追加する映像を選んでください。") << "a title";
    organizer->selectTimeline(0, 0);
    organizer->addMaterial(0);
    EXPECT_TRUE(organizer->statusText().contains("/videos/S1.mp4")) << "the missing movie is tried first";
    EXPECT_EQ(organizer->playlist(), before);
    test::expectConsistent(*organizer);

    // A still at the document's limit of marks: the candidate is refused.
    test::change(*organizer, [](OrganizerDocument& d) {
        d.rows[0].items[1].marks = std::vector<OrganizerMark>(1000, test::plainMark("arrow"));
    });
    organizer->selectTimeline(0, 1);
    organizer->addMaterial(8);
    EXPECT_EQ(organizer->statusText(), "プレイリストの区間または映像の参照が不正です。");
    EXPECT_EQ(item(1).marks->size(), 1000u);

    // I2, a still, is on show while I3 is selected.
    test::change(*organizer, [](OrganizerDocument& d) { d.rows[0].items[1].marks.reset(); });
    showStillBesideSelection();
    organizer->addMaterial(8);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->selectedItem()->id, "I2");
    EXPECT_EQ(item(1).marks->back().gxl->tool, "Ground Ring");
    EXPECT_EQ(organizer->playlist().rows[0].items.size(), 3u) << "a still is never cut";
}

} // namespace
} // namespace zanto
