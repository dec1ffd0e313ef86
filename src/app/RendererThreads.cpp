#include "app/RendererThreads.h"

#include <cstdlib>

namespace zanto {

// The software renderer (llvmpipe) starts a rasterising thread for every
// core, and wakes them all for each mark it draws. Its marks are drawn for
// exports, beside an encoder that keeps every core busy: with four threads
// an analyst's playlist with telestration on every item exported some 3%
// sooner than with eight, and with two no sooner than with four.
void limitRendererThreads()
{
    setenv("LP_NUM_THREADS", "4", 0);
}

} // namespace zanto
