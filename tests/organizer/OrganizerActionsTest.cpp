#include "OrganizerTestSupport.h"

#include "organizer/OrganizerActions.h"
#include "support/PlaylistSamples.h"

#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace zanto {
namespace {

class OrganizerActionsTest : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
        test::expectConsistent(*organizer);
    }
};

// Commands are typed: a name, known or not, runs nothing and does not compile.
template <typename Name>
concept Performs = requires(Organizer& organizer, Name name)
{
    organizer.perform(name);
};
static_assert(!Performs<const char*> && !Performs<QString> && Performs<OrganizerCommand>);

// A command that is no menu's entry and has a title is a button of its own.
bool isMenuEntry(OrganizerCommand command)
{
    for (const OrganizerMenu menu : {OrganizerMenu::layout, OrganizerMenu::more, OrganizerMenu::exportVideo,
                                     OrganizerMenu::timelineRow, OrganizerMenu::timelineItem}) {
        if (std::ranges::count(OrganizerActions::menu(menu), command)) return true;
    }
    return false;
}

TEST_F(OrganizerActionsTest, EveryTitledCommandHasOneButtonBuiltFromItsRow)
{
    for (const OrganizerAction& action : OrganizerActions::all()) {
        const auto buttons = organizer->window()->findChildren<QPushButton*>(action.name);
        const QString title = QString::fromUtf8(action.title);
        if (title.isEmpty() || isMenuEntry(action.command)) {
            for (const QPushButton* button : buttons) EXPECT_EQ(button->text(), title) << action.name;
            continue;
        }
        ASSERT_EQ(buttons.size(), 1) << action.name;
        EXPECT_EQ(buttons.first()->text(), title) << action.name;
    }
}

TEST_F(OrganizerActionsTest, PerformRunsTheHandlerUnderTheBusyRule)
{
    test::change(*organizer, [](OrganizerDocument& d) { d.title = "edited"; });
    test::expectConsistent(*organizer);
    {
        test::BusyHold busy(*organizer);
        organizer->message("before");
        EXPECT_FALSE(organizer->perform(OrganizerCommand::undoOrganizer));
        EXPECT_EQ(organizer->playlist().title, "edited");
        EXPECT_EQ(organizer->statusText(), "before") << "refused without a word";
        EXPECT_FALSE(organizer->openDocument(OrganizerDocument()));
        EXPECT_TRUE(organizer->perform(OrganizerCommand::playRow)) << "playback runs while busy";
        test::expectConsistent(*organizer);
    }
    EXPECT_TRUE(organizer->perform(OrganizerCommand::undoOrganizer));
    EXPECT_EQ(organizer->playlist().title, test::sampleDocument().title);
    test::expectConsistent(*organizer);
}

TEST(OrganizerJobsTest, DeliversProgressThenTheResultInOrderAndClearsBusy)
{
    test::testApplication();
    OrganizerJobs jobs;
    std::vector<QString> seen;
    const bool started = jobs.start(
        test::sampleDocument(),
        {
            .work =
                [](const OrganizerDocument& copy, const OrganizerJobControl& control) {
                    for (int i = 1; i <= 3; ++i) control.status(i / 4.0, "step");
                    throw std::runtime_error(copy.rows[1].items[0].id);
                },
            .finished = [&](std::optional<QString> failure) { seen.push_back("end " + failure.value_or("none")); },
            .status = [&](double fraction, const QString& text) { seen.push_back(text + QString::number(fraction)); },
        });
    ASSERT_TRUE(started);
    EXPECT_TRUE(jobs.running());
    EXPECT_FALSE(jobs.start(OrganizerDocument(), {})) << "one job at a time";
    while (jobs.running()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(seen, (std::vector<QString>{"step0.25", "step0.5", "step0.75", "end I4"}));
}

TEST(OrganizerJobsTest, GoingAwayCancelsAndWaitsAndDeliversNothing)
{
    test::testApplication();
    std::atomic<bool> cancelled = false;
    std::atomic<bool> sawCancel = false;
    bool delivered = false;
    {
        OrganizerJobs jobs;
        jobs.start(OrganizerDocument(), {
                                            .work =
                                                [&](const OrganizerDocument&, const OrganizerJobControl& control) {
                                                    while (!cancelled) std::this_thread::yield();
                                                    control.status(1, "late");
                                                    sawCancel = true;
                                                },
                                            .finished = [&](std::optional<QString>) { delivered = true; },
                                            .status = [&](double, const QString&) { delivered = true; },
                                            .cancel = [&] { cancelled = true; },
                                        });
    }
    EXPECT_TRUE(sawCancel) << "the worker ended before the runner went";
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

} // namespace
} // namespace zanto
