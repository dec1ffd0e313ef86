#pragma once
// Threads of an export that give way to its other stages, inside the media
// layer.
#include <functional>

namespace zanto::media {

// Steps of niceness the export's threads stand back from the caller's. The
// stages that place and draw the pictures keep the caller's priority: they
// feed the encoder one frame at a time, and made to wait, they starve it.
// The encoder's threads take every core those leave idle. The decoders' come
// last: what they decode is needed only frames later (frames queue up ahead
// of the encoder, and the items coming up are sought and decoded to their
// first frames two ahead), so they take the cores the encoder leaves idle.
// At the encoder's priority or above, decoding each moment's way from its
// key frame took cores from the encoder's frame threads: some 20 ms of every
// moment, at no gain anywhere else.
constexpr int kEncoderStandsBack = 5;
constexpr int kDecoderStandsBack = 8;

// Runs `start` on a thread of its own, `steps` of niceness behind the
// caller's, and waits for it. The threads `start` starts (a codec's frame
// threads) keep that priority for their whole life; the caller keeps its own.
// What `start` throws comes out here. Being refused a lower priority only
// costs the speed it would give; so does being refused the thread: `start`
// then runs on the caller. With no steps, `start` runs on the caller.
void startStandingBack(int steps, const std::function<void()>& start);

} // namespace zanto::media
