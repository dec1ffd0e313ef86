// A playlist export in a process that reaches its limit of threads.
#include "OrganizerExporterTestSupport.h"
#include "support/RefusedThreads.h"

namespace zanto::test {
namespace {

// Slides beside a movie start every kind of thread the export has: the
// slides' writers, the checks of the sources, the export's own, the
// pipeline's stages, its sound. Whichever the system refuses, the export
// fails with the system's reason, retold as the file that cannot be saved
// (or does without a second slide writer), and leaves neither a file, a work
// folder nor a thread behind.
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
        // Only a second writer of slides may be done without.
        const bool failed = message.starts_with("「" + url.filename().string() + "」を保存できません。");
        EXPECT_TRUE(failed || message.empty()) << nth << ": " << message;
        EXPECT_NE(failed, std::filesystem::exists(url)) << nth << ": " << message;
        EXPECT_EQ(runningThreads(), 0) << nth;
        EXPECT_TRUE(temporary.leftovers().empty()) << nth;
    }
}

} // namespace
} // namespace zanto::test
