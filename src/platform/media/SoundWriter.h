#pragma once
// The sound of a composition export, mixed and encoded on a thread of its own
// while the encoding thread feeds pictures. It keeps at most a second ahead
// of the pictures written, so the file interleaves as evenly as when both
// were written in turn. Inside the media layer only.
//
// Threads: made, told how far the pictures reach and finished by the
// encoding thread; its own thread mixes and writes. A failure there calls
// `fail` on that thread (with the exception current) and ends it; the
// destructor stops the thread and waits for it.
#include "platform/media/Composition.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zanto::media {

class MovieEncoder;

class SoundWriter {
public:
    // Writes output samples 0 to `end`.
    SoundWriter(MovieEncoder& encoder, const std::vector<CompositionInsert>& audio, int64_t end,
                std::function<void()> fail);
    ~SoundWriter();
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    // The pictures written reach output sample `sample`.
    void picturesReach(int64_t sample);
    // Writes the rest of the sound and waits until it is written.
    void finish();

private:
    void allow(int64_t sample);
    int64_t waitForRoom();
    void run();

    MovieEncoder& encoder_;
    const std::vector<CompositionInsert>& audio_;
    const int64_t end_;
    std::function<void()> fail_;
    std::mutex mutex_; // guards allowed_ and stopped_
    std::condition_variable changed_;
    int64_t allowed_ = 0; // samples may be written up to here
    bool stopped_ = false;
    std::thread thread_;
};

} // namespace zanto::media
