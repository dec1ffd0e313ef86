#pragma once
// The audio track of a composition: inserted ranges decoded, resampled to the
// export format (48 kHz stereo float) and placed by sample, silence elsewhere.
// Inside the media layer; one thread at a time.
#include "platform/media/MediaTime.h"
#include "platform/media/MediaOwners.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace zanto {
struct CompositionInsert;
}

namespace zanto::media {

class AudioMixer {
public:
    explicit AudioMixer(const std::vector<CompositionInsert>& inserts);
    ~AudioMixer();

    // Output samples [first, first + count) of both channels, added into the
    // given buffers (which the caller zeroes). Calls go forward in order.
    void mix(int64_t first, int count, float* left, float* right);

private:
    struct Source;
    std::vector<std::unique_ptr<Source>> sources_;
};

} // namespace zanto::media
