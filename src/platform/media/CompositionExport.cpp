#include "platform/media/CompositionExport.h"

#include "platform/media/BoundedQueue.h"
#include "platform/media/CompositionFrames.h"
#include "platform/media/ExportQuality.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaError.h"
#include "platform/media/MovieEncoder.h"
#include "platform/media/SoundWriter.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace zanto {
namespace {

using namespace media;

// Frames waiting before and after each compose thread. Every queued frame is
// of the output size, so these bound the export's frame memory whatever the
// sources' size.
constexpr size_t kQueueDepth = 2;
// Compose threads: plain frames pass through them untouched, frames with
// marks are converted and drawn on two at once (the drawing itself takes
// turns, so more threads would only hold more frames).
constexpr size_t kComposeThreads = 2;
// Files read at once when an export checks its sources.
constexpr size_t kProbeThreads = 4;

} // namespace
} // namespace zanto

namespace zanto::media {

// The first failure of any pipeline thread; later ones follow from it.
class FirstError {
public:
    void record(std::exception_ptr error)
    {
        std::lock_guard lock(mutex_);
        if (!error_) error_ = error;
    }
    std::exception_ptr get()
    {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    std::mutex mutex_; // guards error_
    std::exception_ptr error_;
};

// Lets calls run one at a time in the order of their turns (0, 1, 2, ...),
// whichever threads make them. A closed sequence lets nobody wait.
class Turns {
public:
    template <typename Call>
    auto run(int64_t turn, const Call& call)
    {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return closed_ || next_ == turn; });
            if (closed_) throw MediaError("The export stopped");
        }
        struct Next {
            Turns& turns;
            ~Next()
            {
                {
                    std::lock_guard lock(turns.mutex_);
                    ++turns.next_;
                }
                turns.changed_.notify_all();
            }
        } next{*this};
        return call();
    }
    void close()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_; // guards next_ and closed_
    std::condition_variable changed_;
    int64_t next_ = 0;
    bool closed_ = false;
};

} // namespace zanto::media

namespace zanto {

// Job k goes to compose thread k % n through that thread's own queue, and
// comes back through its own frame queue, so the order needs no sorting.
struct CompositionExport::Pipeline {
    std::vector<std::unique_ptr<media::BoundedQueue<media::FrameJob>>> jobs;
    std::vector<std::unique_ptr<media::BoundedQueue<media::FramePtr>>> frames;
    media::Turns turns;
    // Every output-sized picture: placed, and copied to be drawn on.
    media::FramePool pool;

    Pipeline(int width, int height) : pool(width, height)
    {
        for (size_t i = 0; i < kComposeThreads; ++i) {
            jobs.push_back(std::make_unique<media::BoundedQueue<media::FrameJob>>(kQueueDepth));
            frames.push_back(std::make_unique<media::BoundedQueue<media::FramePtr>>(kQueueDepth));
        }
    }
    void close()
    {
        for (size_t i = 0; i < kComposeThreads; ++i) {
            jobs[i]->close();
            frames[i]->close();
        }
        turns.close();
    }
};

namespace {

using namespace media;

void checkComposition(const Composition& c)
{
    if (c.width <= 0 || c.height <= 0 || c.width % 2 || c.height % 2)
        throw MediaError("The output size must be even and positive");
    if (!c.frameDuration.isValid() || c.frameDuration.value <= 0)
        throw MediaError("The output frame duration must be positive");
    if (compositionFrameCount(c) <= 0) throw MediaError("The composition is empty");
    // Every file is opened once up front, so a bad source fails before any
    // output exists; what the caller knows of a file is taken as it stands. A
    // few files are read at once; the first insert whose file fails is the
    // one reported.
    std::vector<std::filesystem::path> paths;
    std::map<std::filesystem::path, size_t> indexOf;
    for (const auto* inserts : {&c.video, &c.audio})
        for (const CompositionInsert& insert : *inserts)
            if (indexOf.emplace(insert.assetPath, paths.size()).second) paths.push_back(insert.assetPath);
    std::vector<std::optional<MediaAsset>> assets(paths.size());
    std::vector<std::exception_ptr> failures(paths.size());
    std::atomic<size_t> next = 0;
    auto read = [&] {
        for (size_t i = next++; i < paths.size(); i = next++) {
            try {
                const auto known = c.known.find(paths[i]);
                assets[i] = known != c.known.end() ? known->second.asset : MediaAsset::load(paths[i]);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> readers;
    std::exception_ptr refused;
    try {
        for (size_t r = 0; r < std::min(paths.size(), kProbeThreads); ++r) readers.emplace_back(read);
    } catch (...) {
        // A reader the system refused fails the export; those already
        // reading take no further file and are waited for.
        refused = std::current_exception();
        next = paths.size();
    }
    for (std::thread& reader : readers) reader.join();
    if (refused) std::rethrow_exception(refused);
    auto asset = [&](const CompositionInsert& insert) -> const MediaAsset& {
        const size_t i = indexOf.at(insert.assetPath);
        if (failures[i]) std::rethrow_exception(failures[i]);
        return *assets[i];
    };
    for (const CompositionInsert& insert : c.video)
        if (!asset(insert).hasVideo()) throw MediaError("“" + insert.assetPath.string() + "” has no video track");
    for (const CompositionInsert& insert : c.audio)
        if (!asset(insert).hasAudio()) throw MediaError("“" + insert.assetPath.string() + "” has no audio track");
}

// The output samples up to `time`.
int64_t audioSamples(const MediaTime& time)
{
    return time.convertScale(ExportQuality::audioSampleRate).value;
}

EncoderSetup encoderSetup(const Composition& c)
{
    EncoderSetup setup;
    setup.width = c.width;
    setup.height = c.height;
    setup.frameDuration = c.frameDuration;
    setup.timeScale = c.frameDuration.timeScale;
    setup.container = c.container;
    setup.audio = !c.audio.empty();
    return setup;
}

} // namespace

CompositionExport::CompositionExport(Composition composition, std::filesystem::path output)
    : composition_(std::move(composition)), output_(std::move(output))
{ }

CompositionExport::~CompositionExport()
{
    cancel();
    if (worker_.joinable()) worker_.join();
}

void CompositionExport::start(std::function<void()> completion)
{
    std::exception_ptr refused;
    {
        std::lock_guard lock(mutex_);
        if (status_ != ExportStatus::Waiting) return;
        completion_ = std::move(completion);
        status_ = ExportStatus::Exporting;
        try {
            worker_ = std::thread([this] { execute(); });
            return;
        } catch (...) {
            refused = std::current_exception();
        }
    }
    // The system gave the export no thread (std::system_error): it ends here
    // as a failed one does, so the waits and the completion still come.
    finishWith(ExportStatus::Failed, refused);
}

bool CompositionExport::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return endedChanged_.wait_for(lock, timeout, [&] { return ended_; });
}

void CompositionExport::wait()
{
    std::unique_lock lock(mutex_);
    endedChanged_.wait(lock, [&] { return ended_ || status_ == ExportStatus::Waiting; });
}

void CompositionExport::run()
{
    start();
    wait();
    if (status() == ExportStatus::Cancelled) throw MediaError("The export of “" + output_.string() + "” was cancelled");
    if (std::exception_ptr failure = error()) std::rethrow_exception(failure);
}

double CompositionExport::progress() const
{
    std::lock_guard lock(mutex_);
    if (status_ == ExportStatus::Completed) return 1.0;
    return frameCount_ > 0 ? double(framesDone_) / double(frameCount_ + 1) : 0.0;
}

ExportStatus CompositionExport::status() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

std::exception_ptr CompositionExport::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

std::string CompositionExport::errorMessage() const
{
    std::exception_ptr failure = error();
    if (!failure) return {};
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown failure";
    }
}

void CompositionExport::cancel()
{
    cancelled_ = true;
}

void CompositionExport::finishWith(ExportStatus status, std::exception_ptr failure)
{
    if (status != ExportStatus::Completed) {
        std::error_code ignored;
        std::filesystem::remove(output_, ignored);
    }
    std::function<void()> completion;
    {
        std::lock_guard lock(mutex_);
        status_ = status;
        error_ = failure;
        completion = std::move(completion_);
    }
    // The completion runs before waiters are released, so a waiter sees its effects.
    if (completion) completion();
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    endedChanged_.notify_all();
}

void CompositionExport::execute()
{
    FirstError failure;
    try {
        checkComposition(composition_);
        {
            std::lock_guard lock(mutex_);
            frameCount_ = compositionFrameCount(composition_);
        }
        runPipeline(failure);
    } catch (...) {
        failure.record(std::current_exception());
    }
    if (std::exception_ptr error = failure.get())
        finishWith(ExportStatus::Failed, error);
    else if (cancelled_)
        finishWith(ExportStatus::Cancelled, nullptr);
    else
        finishWith(ExportStatus::Completed, nullptr);
}

// Decoding and composing run on threads of their own, encoding on this one;
// the first failure anywhere closes every queue so every stage stops. A stage
// the system gives no thread is such a failure: the stages already running
// are stopped and joined like the rest.
void CompositionExport::runPipeline(FirstError& failure)
{
    MovieEncoder encoder(output_, encoderSetup(composition_));
    Pipeline pipeline(composition_.width, composition_.height);
    auto fail = [&] {
        failure.record(std::current_exception());
        pipeline.close();
    };
    auto decode = [&] {
        try {
            SourceFrames sources(composition_, pipeline.pool);
            for (int64_t k = 0; k < frameCount_ && !cancelled_; ++k)
                if (!pipeline.jobs[size_t(k) % kComposeThreads]->push(sources.job(k))) break;
        } catch (...) {
            fail();
        }
        for (auto& jobs : pipeline.jobs) jobs->close();
    };
    auto compose = [&](size_t i) {
        auto inTurn = [&](int64_t turn, const std::function<void()>& call) { pipeline.turns.run(turn, call); };
        try {
            FrameComposer composer(composition_, pipeline.pool);
            while (std::optional<FrameJob> job = pipeline.jobs[i]->pop())
                if (cancelled_ || !pipeline.frames[i]->push(composer.compose(*job, inTurn))) break;
        } catch (...) {
            // A cancel closes the turns under a waiting thread: that is no failure.
            if (!cancelled_) fail();
            pipeline.close();
        }
        pipeline.frames[i]->close();
    };
    std::vector<std::thread> stages; // the decoding thread, then the compose threads
    try {
        stages.reserve(1 + kComposeThreads);
        stages.emplace_back(decode);
        for (size_t i = 0; i < kComposeThreads; ++i) stages.emplace_back(compose, i);
        std::unique_ptr<SoundWriter> sound;
        if (encoder.setup().audio)
            sound =
                std::make_unique<SoundWriter>(encoder, composition_.audio, audioSamples(composition_.duration), fail);
        encodeFrames(encoder, sound.get(), pipeline, failure);
    } catch (...) {
        fail();
    }
    pipeline.close();
    for (std::thread& stage : stages) stage.join();
}

void CompositionExport::encodeFrames(MovieEncoder& encoder, SoundWriter* sound, Pipeline& pipeline, FirstError& failure)
{
    int64_t k = 0;
    while (std::optional<FramePtr> frame = pipeline.frames[size_t(k) % kComposeThreads]->pop()) {
        if (cancelled_) return;
        encoder.writeVideo(frame->get(), k * composition_.frameDuration.value);
        framesDone_ = ++k;
        if (sound) sound->picturesReach(audioSamples(composition_.frameDuration * k));
    }
    if (cancelled_ || failure.get()) return;
    if (k != frameCount_)
        throw MediaError("The export of “" + output_.string() + "” ended after " + std::to_string(k) + " of "
                         + std::to_string(frameCount_) + " frames");
    if (sound) sound->finish();
    if (failure.get()) return;
    encoder.finish();
}

} // namespace zanto
