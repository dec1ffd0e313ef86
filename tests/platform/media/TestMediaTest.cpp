// The test-media helpers other tests rely on: what they write must be what
// they claim, or every test built on them checks nothing.
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

using namespace zanto::test;

TEST(TestMedia, FrameCodeMovieReadsBackItsFrameIndices)
{
    TempDir dir;
    TestMovieOptions options;
    options.durationSeconds = 0.5;
    auto path = makeTestMovie(dir / "code.mp4", options);
    MovieFacts facts = inspectMovie(path);
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 90);
    EXPECT_EQ(facts.frameTimes.size(), 15u);
    EXPECT_TRUE(facts.hasAudio);
    for (int index : {0, 1, 6, 14}) {
        TestFrame frame = decodeFrame(path, index);
        EXPECT_EQ(readFrameCode(frame, 0, 0, frame.width, frame.height), index);
    }
    TestFrame at = decodeFrameAt(path, 0.2 - 0.001);
    EXPECT_EQ(readFrameCode(at, 0, 0, at.width, at.height), 5);
}

TEST(TestMedia, DelayedAudioStartsLateAndRotationSwapsTheUprightSize)
{
    TempDir dir;
    TestMovieOptions options;
    options.audioDelaySeconds = 0.5;
    options.rotationDegrees = 90;
    auto path = makeTestMovie(dir / "late.mov", options);
    MovieFacts facts = inspectMovie(path);
    EXPECT_NEAR(facts.audioStartSeconds, 0.5, 0.03);
    TestFrame upright = decodeFrame(path, 0);
    EXPECT_EQ(upright.width, 90);
    EXPECT_EQ(upright.height, 160);
    std::vector<float> audio = decodeAudioMono(path);
    EXPECT_LT(rmsLevel(audio, 0, 3600), 0.01);
    EXPECT_GT(rmsLevel(audio, 4400, 8000), 0.05); // the sine source plays at 1/8 amplitude
}

TEST(TestMedia, VariableFrameRateHasUnevenIntervals)
{
    TempDir dir;
    TestMovieOptions options;
    options.variableFrameRate = true;
    options.audio = false;
    auto facts = inspectMovie(makeTestMovie(dir / "vfr.mp4", options));
    ASSERT_GE(facts.frameTimes.size(), 4u);
    double first = facts.frameTimes[1] - facts.frameTimes[0];
    double second = facts.frameTimes[2] - facts.frameTimes[1];
    EXPECT_NEAR(first, 1.5 / 30, 0.002);
    EXPECT_NEAR(second, 0.5 / 30, 0.002);
}
