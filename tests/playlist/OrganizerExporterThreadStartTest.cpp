// A playlist export in a process that reaches its limit of threads.
#include "OrganizerExporterTestSupport.h"
#include "platform/media/RefusedThreads.h"

namespace zanto::test {
namespace {

// Slides beside a movie start every kind of thread the export has: the
// slides' writers, the checks of the sources, the pipeline's stages. Whichever
// the system refuses, the export either ends well or fails with a message,
// and leaves neither a work folder nor a thread behind.
TEST(OrganizerExporterThreadStart, ARefusedThreadNeverEndsTheProcess)
{
    ensureGuiApplication();
    const TempDir media("zanto-refused-playlist-");
    const auto clip = makeTestMovie(media / "clip.mp4", {.durationSeconds = 0.5});
    const std::vector<OrganizerItem> items = {stillItem("one", "title", 0.2), videoItem("clip", "S", 0, 0.3),
                                              stillItem("two", "title", 0.2), stillItem("three", "title", 0.2)};
    const OrganizerDocument document = documentWith({sourceAt("S", clip)}, items);
    ScopedTemporaryFolder temporary;
    OrganizerExporter exporter;
    refuseThreadStart(0);
    ASSERT_EQ(renderMessage(exporter, document, items, media / "whole.mp4"), "");
    const int starts = threadStarts();
    ASSERT_GT(starts, 0) << "std::thread does not reach this pthread_create";
    for (int nth = 1; nth <= starts; ++nth) {
        const auto url = media / ("out" + std::to_string(nth) + ".mp4");
        refuseThreadStart(nth);
        const std::string message = renderMessage(exporter, document, items, url);
        refuseThreadStart(0);
        EXPECT_EQ(message.empty(), std::filesystem::exists(url)) << nth << ": " << message;
        EXPECT_EQ(runningThreads(), 0) << nth;
        EXPECT_TRUE(temporary.leftovers().empty()) << nth;
    }
}

} // namespace
} // namespace zanto::test
