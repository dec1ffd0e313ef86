// The life of the item on show, fed the player engine's events in the orders
// they come in: each row is one order, and what the owner is told.
#include "platform/media/PlayerItemLife.h"
#include "support/TableNames.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace zanto;
using Phase = PlayerItemLife::Phase;

namespace {

// A movie of pictures from 0 to 3 s with sound to 4 s.
const PlayerItemShape movie{.video = true,
                            .audio = true,
                            .evenFrames = true,
                            .frameSeconds = 1.0 / 30,
                            .picturesStart = 0,
                            .picturesEnd = 3,
                            .durationSeconds = 4};

// Plays a script of events through a life, standing in for the engine's
// clock (it stands where the last landing or clock change put it), and
// returns what the owner was told: "E" an end, "F" a failure, "s"/"x" a seek
// finished or given up, in order. The events, times in file seconds:
//   load@t      a new item, loaded at t        start / start-  the engine starts its file / the file before's
//   loaded      its file loaded                restart / restart!  a playback restart, the end flag read clear / set
//   seek@t      the owner seeks                reply / reply? / reply-  the engine takes the seek and starts it / only
//   begin       ... starts the seek taken         takes it / refuses it
//   end / end-  the end flag told set / clear  paused / paused-  the engine paused, its flag read back set / clear
//   time@t      the engine's clock             rate@r / rate!@r  the owner asks for a rate, the end flag read clear / set
//   decode      a picture cannot be decoded    failed / failed-  the item's file / the file before's ended on an error
//   playout     the play-out net ran out
std::string play(const std::string& script, PlayerItemLife& life, double forwardEnd)
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
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        const size_t at = word.find('@');
        const std::string event = word.substr(0, at);
        const double value = at == std::string::npos ? 0 : std::stod(word.substr(at + 1));
        if (event == "load") {
            life.load(true, movie, value);
            life.setForwardEnd(forwardEnd);
            life.setEntry(++entry);
        } else if (event == "start" || event == "start-") {
            life.started(event == "start" ? entry : entry - 1);
        } else if (event == "loaded") {
            note(life.fileLoaded());
        } else if (event == "restart" || event == "restart!") {
            if (life.seekStage() != PlayerItemLife::SeekStage::None) clock = life.seekTarget();
            note(life.restarted(event == "restart!", clock));
        } else if (event == "reply" || event == "reply?" || event == "reply-") {
            note(life.seekReply(life.seekGeneration(), event != "reply-"));
            if (event == "reply") note(life.seekStarted());
        } else if (event == "begin") {
            note(life.seekStarted());
        } else if (event == "end" || event == "end-") {
            note(life.endReached(event == "end", clock));
        } else if (event == "paused" || event == "paused-") {
            note(life.pausedByEngine(event == "paused", clock));
        } else if (event == "time") {
            clock = value;
            note(life.timePosition(value));
        } else if (event == "seek") {
            note(life.seek(value));
        } else if (event == "rate" || event == "rate!") {
            note(life.setRate(value, clock, event == "rate!"));
        } else if (event == "decode") {
            note(life.decodeFailed());
        } else if (event == "failed" || event == "failed-") {
            note(life.endFile(event == "failed" ? entry : entry - 1, true));
        } else if (event == "playout") {
            note(life.playOutElapsed(clock));
        } else {
            ADD_FAILURE() << "no event " << word;
        }
    }
    return told;
}

struct LifeCase {
    std::string name;
    std::string script;
    std::string told;
    Phase phase;
    double forwardEnd = 2.5;
};

// A load at 1 s that lands there, paused; then a seek to the forward end.
const std::string landed = "load@1 start loaded restart time@1 ";
const std::string atEnd = landed + "seek@2.5 reply restart! ";

const LifeCase lifeCases[] = {
    {"a load lands paused", landed, "s", Phase::Landed},
    {"play ends at the forward end, once", landed + "rate@1 time@2.49 end end", "sE", Phase::Ended},
    {"the end of the file before, told late, is not this item's", "load@1 end paused rate@1 start loaded restart", "s",
     Phase::Playing},
    {"the file before's failure and damage are not this item's", "load@1 failed- start- decode start loaded", "",
     Phase::Loading},
    {"a pause the owner asked for is no end", landed + "rate@1 rate@0 paused", "s", Phase::Landed},
    {"a pause asked and undone since is no end", landed + "rate@1 paused- time@1.2", "s", Phase::Playing},
    {"the engine pausing itself in forward play is the end", landed + "rate@1 time@2.49 paused", "sE", Phase::Ended},
    {"forward play stopping well short of its end is a failure", landed + "rate@1 time@1.5 end end- end", "sF",
     Phase::Failed},
    {"a seek to the end and back, then play, plays", atEnd + "end seek@1 end reply restart rate@1", "sss",
     Phase::Playing},
    {"... and its end flag, cleared late, does not end it", atEnd + "seek@1 reply restart rate@1 end- time@2.49 end",
     "sssE", Phase::Ended},
    {"a seek's landing is not the landing of the seek asked before it",
     landed + "seek@2.5 reply seek@1 reply? restart! rate@1 begin restart", "ss", Phase::Playing},
    {"play asked at the end ends at once", atEnd + "rate@1", "ssE", Phase::Ended},
    {"play asked at an end the engine never told of ends at once", landed + "seek@2.5 reply restart rate!@1", "ssE",
     Phase::Ended},
    {"play asked while a seek leaves the end does not end on the place it leaves",
     atEnd + "seek@1 rate!@1 reply restart", "sss", Phase::Playing},
    {"play asked again after the end ends again", landed + "rate@1 time@2.49 end rate@1", "sEE", Phase::Ended},
    {"J at the end plays back, told to no one", atEnd + "rate@-1 time@2", "ss", Phase::Landed},
    {"a seek during the load is sent once it loads, and the load's restart does not complete it",
     "load@1 seek@2 start loaded restart reply restart", "s", Phase::Landed},
    {"a seek to where the file loads completes at its landing", "load@1 seek@1 start loaded restart", "s",
     Phase::Landed},
    {"a seek the engine refused is given up", landed + "seek@2 reply-", "sx", Phase::Landed},
    {"a load past the file's data shows a picture from before: a failure",
     "load@2 start loaded restart time@2 time@1.2", "sF", Phase::Failed},
    {"the clock telling the load time after the landing is passed over",
     "load@2 start loaded restart time@2 time@2 time@2.03", "s", Phase::Landed},
    {"a landing watched is let go by the next seek", "load@2 start loaded restart seek@0.5 reply restart time@0.5",
     "ss", Phase::Landed},
    {"the same file loaded again lands again", landed + "load@1 end start loaded restart time@1", "ss", Phase::Landed},
    {"a failure is told once, and no end after it", landed + "failed decode rate@1 time@2.49 end", "sF", Phase::Failed},
    {"play asked while the file loads plays from its landing, and a file ending there ends at once",
     "load@2.48 rate@1 start loaded restart!", "sE", Phase::Ended},
    // Forward play that ends where no picture covers the time waits for the
    // sound to play out: the engine's own pause, or the net, ends it once.
    {"in the sound alone the engine pauses once its sound played out", landed + "rate@1 time@3.79 end paused playout",
     "sE", Phase::Ended, 3.8},
    {"in the sound alone the net ends it when the engine never pauses", landed + "rate@1 time@3.79 end playout paused",
     "sE", Phase::Ended, 3.8},
    {"in the sound alone a seek lets the play-out go", landed + "rate@1 time@3.79 end seek@1 playout", "s",
     Phase::Playing, 3.8},
};

class PlayerItemLifeOrder : public testing::TestWithParam<LifeCase> { };

TEST_P(PlayerItemLifeOrder, TellsTheOwnerOnlyWhatBelongsToThisItem)
{
    PlayerItemLife life;
    EXPECT_EQ(play(GetParam().script, life, GetParam().forwardEnd), GetParam().told);
    EXPECT_EQ(life.phase(), GetParam().phase);
}

INSTANTIATE_TEST_SUITE_P(Table, PlayerItemLifeOrder, testing::ValuesIn(lifeCases), test::ByName{});

} // namespace
