// The playlist MP4 render: every item cut or rendered into one composition,
// marks laid over it, encoded once by the media layer's composition export.
#include "playlist/OrganizerExporter.h"

#include "marks/OrganizerMarkDrawing.h"
#include "platform/FileSystem.h"
#include "platform/media/CompositionExport.h"
#include "playlist/OrganizerExporterComposition.h"
#include "services/ExportFailure.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace zanto {
namespace {

// "zanto-organizer-<identifier>" in the temporary folder; the folder is
// named as a sibling of any entry there.
constexpr WorkName workFolderName{"zanto-organizer-"};

std::filesystem::path inTemporaryFolder()
{
    return temporaryFolder() / workFolderName.prefix;
}

// The slide movies of one render, in a folder held locked while the render
// runs; removed with everything in it on every way out. The folders of
// renders that were killed go first.
class WorkFolder {
public:
    WorkFolder()
    {
        OrganizerExporter::removeAbandonedWork();
        folder_ = LockedFolder::create(inTemporaryFolder(), workFolderName.prefix);
    }
    ~WorkFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_.path, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::filesystem::path& path() const { return folder_.path; }

private:
    LockedFolder folder_;
};

} // namespace

void OrganizerExporter::removeAbandonedWork() noexcept
{
    try {
        removeAbandonedSiblings(inTemporaryFolder(), workFolderName);
    } catch (const std::exception&) {
        // No temporary folder to look in: nothing of ours is there either.
    }
}

namespace {

// Slide movies written at once, while the video items are composed. Each
// holds an encoder of its own and a freeze a decoder too, all at the export's
// start beside the decoders of its first items: with three, a playlist of
// freezes held some 40 MB more at its start; with one, the freezes were still
// being cut when the first telestration was drawn.
constexpr size_t kSlideThreads = 2;

// Runs jobs on a few threads of its own, taking them up in order; each job's
// end is a future that holds what it threw. Going away, it starts no more
// jobs and waits for those under way.
class InOrder {
public:
    InOrder(std::vector<std::function<void()>> jobs, size_t threads) : jobs_(std::move(jobs)), ends_(jobs_.size())
    {
        for (std::promise<void>& end : ends_) done_.push_back(end.get_future().share());
        try {
            for (size_t t = 0; t < std::min(threads, jobs_.size()); ++t) threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // The system refused a thread: those started do every job, in
            // order as ever; with none started there is no way to do them.
            if (threads_.empty()) throw;
        }
    }
    ~InOrder()
    {
        {
            std::lock_guard lock(mutex_);
            next_ = jobs_.size();
        }
        for (std::thread& thread : threads_) thread.join();
    }
    InOrder(const InOrder&) = delete;
    InOrder& operator=(const InOrder&) = delete;

    const std::shared_future<void>& done(size_t index) const { return done_[index]; }
    // Waits for job `index` and throws what it threw.
    void wait(size_t index) const { done_[index].get(); }

private:
    void work()
    {
        while (true) {
            size_t index = 0;
            {
                std::lock_guard lock(mutex_);
                if (next_ >= jobs_.size()) return;
                index = next_++;
            }
            try {
                jobs_[index]();
                ends_[index].set_value();
            } catch (...) {
                ends_[index].set_exception(std::current_exception());
            }
        }
    }

    const std::vector<std::function<void()>> jobs_;
    std::vector<std::promise<void>> ends_;
    std::vector<std::shared_future<void>> done_;
    std::mutex mutex_; // guards next_
    size_t next_ = 0;
    std::vector<std::thread> threads_;
};

bool hasTelestration(const std::vector<OrganizerMark>& marks)
{
    return std::any_of(marks.begin(), marks.end(), [](const OrganizerMark& mark) { return mark.gxl.has_value(); });
}

std::string preparingText(size_t index, size_t count)
{
    return std::to_string(index + 1) + "/" + std::to_string(count) + " 素材を準備中";
}

std::string exportingText(double progress)
{
    // The percentage is taken in single precision and cut toward zero.
    const int percent = static_cast<int>(static_cast<float>(progress) * 100.0f);
    return "MP4を書き出し中 " + std::to_string(percent) + "%";
}

// Each item's plain marks as one canvas-sized picture shown exactly during
// the item's stretch, drawn when the stretch begins and let go when it ends;
// items without marks, or whose picture cannot be made, show none. Items with
// telestration marks are drawn by the compositor instead, plain marks and all.
std::vector<CompositionOverlay> markOverlays(const std::vector<ComposedItem>& composed)
{
    std::vector<CompositionOverlay> overlays;
    for (const ComposedItem& item : composed) {
        if (item.marks.empty() || hasTelestration(item.marks)) continue;
        overlays.push_back(
            CompositionOverlay{QImage(), item.outputRange, [marks = item.marks] { return organizerMarkImage(marks); }});
    }
    return overlays;
}

// Only the stretches of items with telestration marks go through the
// compositor; every other frame takes the plain road.
void routeTelestration(Composition& composition, const std::vector<ComposedItem>& composed)
{
    bool any = false;
    for (size_t i = 0; i < composed.size(); ++i) {
        const bool drawn = hasTelestration(composed[i].marks);
        composition.instructions[i].usesCompositor = drawn;
        any = any || drawn;
    }
    if (any) composition.overlayCompositor = markCompositor(composed);
}

void removeOutput(const std::filesystem::path& url)
{
    std::error_code ignored;
    std::filesystem::remove(url, ignored);
}

} // namespace

void OrganizerExporter::renderMovie(const OrganizerDocument& document, const std::vector<OrganizerItem>& items,
                                    const std::filesystem::path& file, const Progress& report)
{
    const WorkFolder work;
    auto slideMovie = [&](size_t i) { return work.path() / (std::to_string(i) + ".mov"); };
    std::vector<std::function<void()>> slides;
    std::vector<size_t> slideOf(items.size(), 0);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind == "video") continue;
        slideOf[i] = slides.size();
        slides.push_back([this, &document, &item = items[i], movie = slideMovie(i)] {
            requireStillLength(item);
            slide(item, document, movie);
        });
    }
    // Declared after the work folder, so its movies are finished before it goes.
    InOrder slideWork(std::move(slides), kSlideThreads);

    // The slides are still being written while the export begins: it waits
    // for each movie only when it comes to read it.
    Composition composition;
    std::vector<ComposedItem> composed;
    MediaTime cursor{0, 60000};
    auto place = [&](size_t i) {
        const OrganizerItem& item = items[i];
        check();
        // Placing an item takes a moment beside writing the movie: the
        // fraction stays at zero until the writing, which it then follows.
        report(0, preparingText(i, items.size()));
        ClipSource clip;
        if (item.kind == "video") {
            const OrganizerSource* source = document.source(item.sourceID);
            // Only a plain file can be a movie; a pipe would block the export
            // where no cancel reaches it.
            std::error_code ec;
            if (!source || source->path.empty() || !std::filesystem::is_regular_file(source->path, ec))
                throw failure("映像を再接続してください：" + item.name);
            clip = ClipSource{source->path, item.start + source->offset};
        } else {
            clip = ClipSource{slideMovie(i), 0};
            composition.known.emplace(clip.path,
                                      KnownSource{slideMovieAsset(item, clip.path), slideWork.done(slideOf[i])});
        }
        // Each file is read once; the export takes what was read.
        std::optional<MediaAsset> asset;
        if (const auto known = composition.known.find(clip.path); known != composition.known.end())
            asset = known->second.asset;
        else if ((asset = loadClipAsset(clip.path)))
            composition.known.emplace(clip.path, KnownSource{*asset, {}});
        composed.push_back(composeItem(composition, item, clip, asset, cursor));
        cursor = cursor + composed.back().outputRange.duration;
    };
    for (size_t i = 0; i < items.size(); ++i) {
        try {
            place(i);
        } catch (...) {
            // A slide before this item that fails is met first, as the items come.
            for (size_t before = 0; before < i; ++before)
                if (items[before].kind != "video") slideWork.wait(slideOf[before]);
            throw;
        }
    }
    composition.duration = cursor;
    routeTelestration(composition, composed);
    composition.overlays = markOverlays(composed);
    exportComposition(std::move(composition), file, report);
}

void OrganizerExporter::exportComposition(Composition composition, const std::filesystem::path& url,
                                          const Progress& progress)
{
    auto session = std::make_shared<CompositionExport>(std::move(composition), url);
    // Cleared on every way out, so a late cancel() finds no session.
    struct SessionSlot {
        OrganizerExporter& exporter;
        ~SessionSlot() { exporter.setSessionCancel({}); }
    } slot{*this};
    if (!setSessionCancel([session] { session->cancel(); })) check();
    session->start();
    // The fraction is the share written, the same number the text shows,
    // and it never goes back.
    double done = 0;
    while (!session->waitFor(std::chrono::milliseconds(200))) {
        done = std::max(done, session->progress());
        progress(done, exportingText(done));
    }
    setSessionCancel({});

    if (session->status() == ExportStatus::Completed) return;
    removeOutput(url);
    check();
    if (std::exception_ptr error = session->error()) std::rethrow_exception(error);
    throw failure("書き出しに失敗しました。");
}

} // namespace zanto
