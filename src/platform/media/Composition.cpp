#include "platform/media/Composition.h"

namespace zanto {

int64_t compositionFrameCount(const Composition& c)
{
    if (!c.frameDuration.isValid() || c.frameDuration.value <= 0 || !c.duration.isValid() || c.duration.value <= 0)
        return 0;
    // ceil(duration / frameDuration) in exact integers.
    __int128 num = __int128(c.duration.value) * c.frameDuration.timeScale;
    __int128 den = __int128(c.frameDuration.value) * c.duration.timeScale;
    return int64_t((num + den - 1) / den);
}

} // namespace zanto
