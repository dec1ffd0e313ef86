// The life of the item on show, fed the player engine's events in the orders
// they come in: each row is one order, and what the owner is told.
#include "platform/media/PlayerItemLife.h"
#include "support/TableNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zanto;
using Phase = PlayerItemLife::Phase;

namespace {

// One event as the player hands it on. Times are file seconds.
struct Event {
    enum Kind {
        Load,          // a new item, loaded at `at` (a negative `at`: at its start)
        Started,       // the engine starts the file of the newest load
        StartedBefore, // ... of the load before it (a late event of the file before)
        Loaded,
        Restart,      // a playback restart, the engine's end flag read as `flag`
        Reply,        // the engine took the seek sent last (`flag`: it did) and starts it
        ReplyOnly,    // ... took it, and has yet to start it
        SeekStarted,  // the engine starts the seek it took last
        End,          // the engine's end flag changes to `flag`
        PausedItself, // the engine paused; `flag`: still paused when read back
        Time,         // the engine's clock tells `at`
        Seek,         // the owner seeks to `at`
        Rate,         // the owner asks for play at `at` (0: pause)
        RateAtEnd,    // ... the engine's end flag reading set (never told while paused)
        DecodeError,
        FileFailed,       // the engine ended the newest load's file on an error
        FileBeforeFailed, // ... the file before's
        PlayOutElapsed,
    };
    Kind kind;
    double at = 0;
    bool flag = true;
};

struct LifeCase {
    std::string name;
    std::vector<Event> events;
    std::string told; // "E" an end, "F" a failure, "s"/"x" a seek finished or given up, in order
    Phase phase;
};

// A movie of pictures from 0 to 3 s with sound to 4 s, its forward end at 2.5 s.
PlayerItemShape movie(double soundSeconds = 4)
{
    return {.video = true,
            .audio = true,
            .evenFrames = true,
            .frameSeconds = 1.0 / 30,
            .picturesStart = 0,
            .picturesEnd = 3,
            .durationSeconds = soundSeconds};
}

// Plays the events through a life, standing in for the engine's clock: it
// stands where the last landing or clock change put it.
std::string play(const std::vector<Event>& events, PlayerItemLife& life, double forwardEnd = 2.5)
{
    std::string told;
    int64_t entry = 0;
    double clock = 0;
    auto note = [&](const PlayerItemLife::Step& step) {
        if (step.seekFinished) told += *step.seekFinished ? "s" : "x";
        if (step.report == PlayerItemLife::Report::End) told += "E";
        if (step.report == PlayerItemLife::Report::Failure) told += "F";
        if (step.pause) life.setRate(0, clock);
    };
    for (const Event& e : events) {
        switch (e.kind) {
        case Event::Load:
            life.load(true, movie(), e.at >= 0 ? std::optional(e.at) : std::nullopt);
            life.setForwardEnd(forwardEnd);
            life.setEntry(++entry);
            break;
        case Event::Started:
        case Event::StartedBefore:
            life.started(e.kind == Event::Started ? entry : entry - 1);
            break;
        case Event::Loaded:
            note(life.fileLoaded());
            break;
        case Event::Restart:
            clock = life.seekStage() == PlayerItemLife::SeekStage::None ? clock : life.seekTarget();
            note(life.restarted(e.flag, clock));
            break;
        case Event::Reply:
        case Event::ReplyOnly:
            note(life.seekReply(life.seekGeneration(), e.flag));
            if (e.kind == Event::Reply) note(life.seekStarted());
            break;
        case Event::SeekStarted:
            note(life.seekStarted());
            break;
        case Event::End:
            note(life.endReached(e.flag, clock));
            break;
        case Event::PausedItself:
            note(life.pausedByEngine(e.flag, clock));
            break;
        case Event::Time:
            clock = e.at;
            note(life.timePosition(e.at));
            break;
        case Event::Seek:
            note(life.seek(e.at));
            break;
        case Event::Rate:
        case Event::RateAtEnd:
            note(life.setRate(e.at, clock, e.kind == Event::RateAtEnd));
            break;
        case Event::DecodeError:
            note(life.decodeFailed());
            break;
        case Event::FileFailed:
        case Event::FileBeforeFailed:
            note(life.endFile(e.kind == Event::FileFailed ? entry : entry - 1, true));
            break;
        case Event::PlayOutElapsed:
            note(life.playOutElapsed(clock));
            break;
        }
    }
    return told;
}

using E = Event;
// A load at 1 s that lands there, paused.
const std::vector<Event> landed{{E::Load, 1}, {E::Started}, {E::Loaded}, {E::Restart, 0, false}, {E::Time, 1}};
std::vector<Event> after(std::vector<Event> first, const std::vector<Event>& then)
{
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

const LifeCase lifeCases[] = {
    {"a load lands paused", landed, "s", Phase::Landed},
    {"play ends at the forward end, once", after(landed, {{E::Rate, 1}, {E::Time, 2.49}, {E::End}, {E::End}}), "sE",
     Phase::Ended},
    {"the end of the file before, told late, is not this item's",
     {{E::Load, 1}, {E::End}, {E::PausedItself}, {E::Rate, 1}, {E::Started}, {E::Loaded}, {E::Restart, 0, false}},
     "s",
     Phase::Playing},
    {"the file before's failure and damage are not this item's",
     {{E::Load, 1}, {E::FileBeforeFailed}, {E::StartedBefore}, {E::DecodeError}, {E::Started}, {E::Loaded}},
     "",
     Phase::Loading},
    {"a pause the owner asked for is no end", after(landed, {{E::Rate, 1}, {E::Rate, 0}, {E::PausedItself}}), "s",
     Phase::Landed},
    {"a pause asked and undone since is no end",
     after(landed, {{E::Rate, 1}, {E::PausedItself, 0, false}, {E::Time, 1.2}}), "s", Phase::Playing},
    {"the engine pausing itself in forward play is the end",
     after(landed, {{E::Rate, 1}, {E::Time, 2.49}, {E::PausedItself}}), "sE", Phase::Ended},
    {"forward play stopping well short of its end is a failure",
     after(landed, {{E::Rate, 1}, {E::Time, 1.5}, {E::End}, {E::End, 0, false}, {E::End}}), "sF", Phase::Failed},
    {"a seek to the end and back, then play, plays",
     after(landed, {{E::Seek, 2.5},
                    {E::Reply},
                    {E::Restart},
                    {E::End},
                    {E::Seek, 1},
                    {E::End},
                    {E::Reply},
                    {E::Restart, 0, false},
                    {E::Rate, 1}}),
     "sss", Phase::Playing},
    {"... and its end flag, cleared late, does not end it",
     after(landed, {{E::Seek, 2.5},
                    {E::Reply},
                    {E::Restart},
                    {E::Seek, 1},
                    {E::Reply},
                    {E::Restart, 0, false},
                    {E::Rate, 1},
                    {E::End, 0, false},
                    {E::Time, 2.49},
                    {E::End}}),
     "sssE", Phase::Ended},
    {"play asked at the end ends at once", after(landed, {{E::Seek, 2.5}, {E::Reply}, {E::Restart}, {E::Rate, 1}}),
     "ssE", Phase::Ended},
    {"play asked at an end the engine never told of ends at once",
     after(landed, {{E::Seek, 2.5}, {E::Reply}, {E::Restart, 0, false}, {E::RateAtEnd, 1}}), "ssE", Phase::Ended},
    {"play asked while a seek leaves the end does not end on the place it leaves",
     after(landed, {{E::Seek, 2.5},
                    {E::Reply},
                    {E::Restart},
                    {E::Seek, 1},
                    {E::RateAtEnd, 1},
                    {E::Reply},
                    {E::Restart, 0, false}}),
     "sss", Phase::Playing},
    {"play asked again after the end ends again",
     after(landed, {{E::Rate, 1}, {E::Time, 2.49}, {E::End}, {E::Rate, 1}}), "sEE", Phase::Ended},
    {"J at the end plays back, told to no one",
     after(landed, {{E::Seek, 2.5}, {E::Reply}, {E::Restart}, {E::Rate, -1}, {E::Time, 2}}), "ss", Phase::Landed},
    {"a seek during the load is sent once it loads, and the load's restart does not complete it",
     {{E::Load, 1},
      {E::Seek, 2},
      {E::Started},
      {E::Loaded},
      {E::Restart, 0, false},
      {E::Reply},
      {E::Restart, 0, false}},
     "s",
     Phase::Landed},
    {"a seek to where the file loads completes at its landing",
     {{E::Load, 1}, {E::Seek, 1}, {E::Started}, {E::Loaded}, {E::Restart, 0, false}},
     "s",
     Phase::Landed},
    {"a seek's landing is not the landing of the seek asked before it",
     after(landed, {{E::Seek, 2.5},
                    {E::Reply},
                    {E::Seek, 1},
                    {E::ReplyOnly},
                    {E::Restart},
                    {E::Rate, 1},
                    {E::SeekStarted},
                    {E::Restart, 0, false}}),
     "ss", Phase::Playing},
    {"a seek the engine refused is given up", after(landed, {{E::Seek, 2}, {E::Reply, 0, false}}), "sx", Phase::Landed},
    {"a load past the file's data shows a picture from before: a failure",
     {{E::Load, 2}, {E::Started}, {E::Loaded}, {E::Restart, 0, false}, {E::Time, 2}, {E::Time, 1.2}},
     "sF",
     Phase::Failed},
    {"the clock telling the load time after the landing is passed over",
     {{E::Load, 2}, {E::Started}, {E::Loaded}, {E::Restart, 0, false}, {E::Time, 2}, {E::Time, 2.0}, {E::Time, 2.03}},
     "s",
     Phase::Landed},
    {"a landing watched is let go by the next seek",
     {{E::Load, 2},
      {E::Started},
      {E::Loaded},
      {E::Restart, 0, false},
      {E::Seek, 0.5},
      {E::Reply},
      {E::Restart, 0, false},
      {E::Time, 0.5}},
     "ss",
     Phase::Landed},
    {"the same file loaded again lands again",
     after(landed, {{E::Load, 1}, {E::End}, {E::Started}, {E::Loaded}, {E::Restart, 0, false}, {E::Time, 1}}), "ss",
     Phase::Landed},
    {"a failure is told once, and no end after it",
     after(landed, {{E::FileFailed}, {E::DecodeError}, {E::Rate, 1}, {E::Time, 2.49}, {E::End}}), "sF", Phase::Failed},
    {"play asked while the file loads plays from its landing, and a file ending there ends at once",
     {{E::Load, 2.48}, {E::Rate, 1}, {E::Started}, {E::Loaded}, {E::Restart}},
     "sE",
     Phase::Ended},
};

class PlayerItemLifeOrder : public testing::TestWithParam<LifeCase> { };

TEST_P(PlayerItemLifeOrder, TellsTheOwnerOnlyWhatBelongsToThisItem)
{
    PlayerItemLife life;
    EXPECT_EQ(play(GetParam().events, life), GetParam().told);
    EXPECT_EQ(life.phase(), GetParam().phase);
}

INSTANTIATE_TEST_SUITE_P(Table, PlayerItemLifeOrder, testing::ValuesIn(lifeCases), test::ByName{});

// Forward play that ends where no picture covers the time waits for the
// sound to play out: the engine's own pause, or the net, ends it once.
struct PlayOutCase {
    std::string name;
    double forwardEnd;
    std::vector<Event> then;
    std::string told;
    Phase phase;
};

const PlayOutCase playOutCases[] = {
    {"the engine pauses once its sound played out",
     3.8,
     {{E::End}, {E::PausedItself}, {E::PlayOutElapsed}},
     "sE",
     Phase::Ended},
    {"the net ends it when the engine never pauses",
     3.8,
     {{E::End}, {E::PlayOutElapsed}, {E::PausedItself}},
     "sE",
     Phase::Ended},
    {"a seek lets the play-out go", 3.8, {{E::End}, {E::Seek, 1}, {E::PlayOutElapsed}}, "s", Phase::Playing},
    {"inside the pictures the end is told at once", 2.5, {{E::End}, {E::PlayOutElapsed}}, "sE", Phase::Ended},
};

class PlayerItemLifePlayOut : public testing::TestWithParam<PlayOutCase> { };

TEST_P(PlayerItemLifePlayOut, EndsOnceTheSoundPlayedOut)
{
    PlayerItemLife life;
    const PlayOutCase& c = GetParam();
    EXPECT_EQ(play(after(landed, after({{E::Rate, 1}, {E::Time, c.forwardEnd - 0.01}}, c.then)), life, c.forwardEnd),
              c.told);
    EXPECT_EQ(life.phase(), c.phase);
}

INSTANTIATE_TEST_SUITE_P(Table, PlayerItemLifePlayOut, testing::ValuesIn(playOutCases), test::ByName{});

} // namespace
