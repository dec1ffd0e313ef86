#include "RefusedThreads.h"
#include "platform/media/CompositionExport.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <system_error>

using namespace zanto;
using namespace zanto::test;

namespace {

MediaTime sec(double seconds)
{
    return MediaTime::fromSeconds(seconds, 600);
}

// Two files, so that more than one reader checks them and the second is
// opened ahead while the first plays, with sound, so that every kind of
// thread the export starts is started.
Composition twoFiles(const TempDir& media)
{
    Composition c;
    c.width = 160;
    c.height = 90;
    c.video = {{makeTestMovie(media / "a.mp4"), {sec(0), sec(0.4)}, sec(0)},
               {makeTestMovie(media / "b.mp4"), {sec(0.2), sec(0.4)}, sec(0.4)}};
    c.audio = {c.video[0]};
    c.instructions = {{{sec(0), sec(0.8)}, {}}};
    c.duration = sec(0.8);
    return c;
}

// The code of the system's refusal the export failed with, if that is how it failed.
std::error_code refusal(const CompositionExport& job)
{
    if (!job.error()) return {};
    try {
        std::rethrow_exception(job.error());
    } catch (const std::system_error& error) {
        return error.code();
    } catch (...) { }
    return {};
}

} // namespace

// Whichever thread the system refuses, the export fails with the system's
// own reason (retold above this layer as a file that cannot be saved), joins
// the threads it did start and leaves nothing in the folder; the next export
// in the same process goes through.
TEST(CompositionThreadStart, ARefusedThreadFailsTheExportAndLeavesNothingBehind)
{
    const TempDir media("zanto-refused-media-");
    const Composition c = twoFiles(media);
    TempDir out("zanto-refused-out-");
    refuseThreadStart(0);
    CompositionExport(c, out / "whole.mp4").run();
    const int starts = threadStarts();
    ASSERT_GT(starts, 0) << "std::thread does not reach this pthread_create";
    for (int nth = 1; nth <= starts; ++nth) {
        const TempDir folder("zanto-refused-");
        refuseThreadStart(nth);
        {
            CompositionExport job(c, folder / "out.mp4");
            job.start();
            job.wait();
            EXPECT_EQ(job.status(), ExportStatus::Failed) << "start " << nth;
            EXPECT_EQ(refusal(job), std::errc::resource_unavailable_try_again) << job.errorMessage();
        }
        refuseThreadStart(0);
        EXPECT_EQ(runningThreads(), 0) << "start " << nth;
        EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "start " << nth;
    }
    CompositionExport(c, out / "after.mp4").run();
}
