#include "platform/media/SoundWriter.h"

#include "platform/media/AudioMixer.h"
#include "platform/media/ExportQuality.h"
#include "platform/media/MovieEncoder.h"

#include <algorithm>

namespace zanto::media {
namespace {

constexpr int kAudioChunk = 1024;
constexpr int64_t kSoundAhead = ExportQuality::audioSampleRate;

} // namespace

SoundWriter::SoundWriter(MovieEncoder& encoder, const std::vector<CompositionInsert>& audio, int64_t end,
                         std::function<void()> fail)
    : encoder_(encoder), audio_(audio), end_(end), fail_(std::move(fail))
{
    thread_ = std::thread([this] { run(); });
}

SoundWriter::~SoundWriter()
{
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SoundWriter::picturesReach(int64_t sample)
{
    allow(std::min(sample + kSoundAhead, end_));
}

void SoundWriter::finish()
{
    allow(end_);
    thread_.join();
}

void SoundWriter::allow(int64_t sample)
{
    {
        std::lock_guard lock(mutex_);
        allowed_ = sample;
    }
    changed_.notify_all();
}

// How far the sound may now be written, or -1 once it is all written or stopped.
int64_t SoundWriter::waitForRoom()
{
    if (encoder_.audioSamplesWritten() >= end_) return -1;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || encoder_.audioSamplesWritten() < allowed_; });
    return stopped_ ? -1 : allowed_;
}

void SoundWriter::run()
{
    try {
        AudioMixer mixer(audio_);
        std::vector<float> left(kAudioChunk), right(kAudioChunk);
        for (int64_t until; (until = waitForRoom()) >= 0;) {
            while (encoder_.audioSamplesWritten() < until) {
                int count = int(std::min<int64_t>(kAudioChunk, until - encoder_.audioSamplesWritten()));
                std::fill(left.begin(), left.end(), 0.0f);
                std::fill(right.begin(), right.end(), 0.0f);
                mixer.mix(encoder_.audioSamplesWritten(), count, left.data(), right.data());
                encoder_.writeAudio(left.data(), right.data(), count);
            }
        }
    } catch (...) {
        fail_();
    }
}

} // namespace zanto::media
