// Title, image and freeze-frame slides as they come out of a playlist render.
#include "OrganizerExporterTestSupport.h"
#include "playlist/OrganizerExporterComposition.h"

#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>

#include <chrono>
#include <optional>
#include <regex>
#include <thread>
#include <tuple>

namespace zanto::test {
namespace {

int brightness(const TestFrame::Pixel& p)
{
    return (p.r + p.g + p.b) / 3;
}

class OrganizerExporterSlidesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    TestFrame firstFrameOf(const OrganizerItem& item, const std::vector<OrganizerSource>& sources = {})
    {
        const auto url = out / "out.mp4";
        OrganizerExporter exporter;
        EXPECT_EQ(renderMessage(exporter, documentWith(sources, {item}), {item}, url), "");
        EXPECT_TRUE(temporary.leftovers().empty());
        return decodeFrame(url, 0);
    }

    TempDir out{"zanto-slides-out-"};
    ScopedTemporaryFolder temporary;
};

// A picture of `width` × `height` fitted into 1280 × 720 covers [left, right)
// horizontally and [top, bottom) vertically; the rest is black.
struct FitCase {
    const char* label;
    int width;
    int height;
    QImageIOHandler::Transformation orientation; // written into the file's orientation tag
    int left, right, top, bottom;
};

const FitCase fitCases[] = {
    {"FullHDFillsTheCanvas", 1920, 1080, QImageIOHandler::TransformationNone, 0, 1280, 0, 720},
    {"PortraitIsPillarboxed", 720, 1280, QImageIOHandler::TransformationNone, 438, 842, 0, 720},
    {"WideIsLetterboxed", 1600, 400, QImageIOHandler::TransformationNone, 0, 1280, 200, 520},
    {"SmallIsScaledUp", 64, 36, QImageIOHandler::TransformationNone, 0, 1280, 0, 720},
    {"OrientationTagTurnsLandscapeUpright", 1280, 720, QImageIOHandler::TransformationRotate90, 438, 842, 0, 720},
    // Decoded at a reduced size: the shape must survive the orientation tag.
    {"LargePhotoWithOrientationTag", 6000, 3000, QImageIOHandler::TransformationRotate90, 460, 820, 0, 720},
};

class OrganizerExporterFitTest : public OrganizerExporterSlidesTest, public ::testing::WithParamInterface<FitCase> { };

TEST_P(OrganizerExporterFitTest, ImageIsFittedWholeAndCentred)
{
    const FitCase& c = GetParam();
    QImage picture(c.width, c.height, QImage::Format_RGB32);
    picture.fill(QColor(250, 250, 250));
    const auto file = out / "picture.jpg";
    QImageWriter writer(QString::fromStdString(file.string()), "jpeg");
    writer.setTransformation(c.orientation);
    ASSERT_TRUE(writer.write(picture)) << writer.errorString().toStdString();

    OrganizerItem item = stillItem("画像", "image", 0.1);
    item.imagePath = file.string();
    const TestFrame frame = firstFrameOf(item);
    for (int x = 4; x < 1280; x += 16) {
        for (int y = 4; y < 720; y += 16) {
            const bool inside = x >= c.left + 3 && x < c.right - 3 && y >= c.top + 3 && y < c.bottom - 3;
            const bool outside = x < c.left - 3 || x >= c.right + 3 || y < c.top - 3 || y >= c.bottom + 3;
            if (inside) {
                ASSERT_GT(brightness(frame.pixel(x, y)), 200) << x << "," << y;
            }
            if (outside) {
                ASSERT_LT(brightness(frame.pixel(x, y)), 30) << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterFitTest, ::testing::ValuesIn(fitCases),
                         [](const auto& info) { return std::string(info.param.label); });

// Pictures far larger than the canvas are decoded at a reduced size; one that
// is very long and thin must still be read as a picture, not as a missing file.
TEST_F(OrganizerExporterSlidesTest, VeryThinLargePictureIsStillAPicture)
{
    QImage picture(4, 9000, QImage::Format_RGB32);
    picture.fill(QColor(250, 250, 250));
    const auto file = out / "thin.png";
    ASSERT_TRUE(picture.save(QString::fromStdString(file.string())));
    OrganizerItem item = stillItem("細長い", "image", 0.1);
    item.imagePath = file.string();
    const TestFrame frame = firstFrameOf(item);
    // A third of a pixel wide on the canvas: black all round.
    EXPECT_LT(brightness(frame.pixel(100, 360)), 30);
    EXPECT_LT(brightness(frame.pixel(1180, 360)), 30);
}

TEST_F(OrganizerExporterSlidesTest, PdfShowsItsFirstPageFitted)
{
    const auto file = out / "slides.pdf";
    {
        QPdfWriter pdf(QString::fromStdString(file.string()));
        pdf.setPageSize(QPageSize(QSizeF(400, 400), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        painter.fillRect(QRect(0, 0, pdf.width(), pdf.height()), Qt::red);
        pdf.newPage();
        painter.fillRect(QRect(0, 0, pdf.width(), pdf.height()), Qt::green);
    }
    OrganizerItem item = stillItem("資料", "image", 0.1);
    item.imagePath = file.string();
    const TestFrame frame = firstFrameOf(item);
    // A square page is 720 × 720 at x 280; red, not the second page's green.
    const TestFrame::Pixel centre = frame.pixel(640, 360);
    EXPECT_GT(centre.r, 200);
    EXPECT_LT(centre.g, 60);
    EXPECT_GT(frame.pixel(300, 360).r, 200);
    EXPECT_LT(brightness(frame.pixel(260, 360)), 30);
    EXPECT_LT(brightness(frame.pixel(1020, 360)), 30);
}

TEST_F(OrganizerExporterSlidesTest, FreezeFrameShowsTheExactSourceFrame)
{
    TestMovieOptions slow; // frame n at n / 10 s
    slow.durationSeconds = 16;
    slow.frameRate = 10;
    slow.audio = false;
    makeTestMovie(out / "slow.mp4", slow);
    const struct {
        double freezeTime;
        double offset;
        int sourceFrame;
    } cases[] = {{12.5, 2, 145}, {0, 0, 0}, {3.04, 0, 30}, {3.1, -0.05, 30}, {15.9, 0, 159}};
    for (const auto& c : cases) {
        OrganizerItem item = stillItem("止め", "freeze", 0.1);
        item.sourceID = "S1";
        item.sourceIDs = {"S1"};
        item.freezeTime = c.freezeTime;
        const TestFrame frame = firstFrameOf(item, {sourceAt("S1", out / "slow.mp4", c.offset)});
        EXPECT_EQ(readFrameCode(frame, 0, 0, 1280, 720), c.sourceFrame) << "freeze at " << c.freezeTime;
    }
}

TEST_F(OrganizerExporterSlidesTest, FreezeFrameOfAQuarterTurnedSourceIsUprightAndCentred)
{
    const auto phone = makePhoneMovie(out / "phone.mp4");
    OrganizerItem item = stillItem("縦", "freeze", 0.1);
    item.sourceID = "S1";
    item.sourceIDs = {"S1"};
    item.freezeTime = 0.5;
    const TestFrame frame = firstFrameOf(item, {sourceAt("S1", phone)});

    // Upright the picture is 180 × 320; fitted it is 405 × 720 at x 437.5.
    const TestFrame upright = decodeFrameAt(phone, 0.5);
    ASSERT_EQ(upright.width, 180);
    ASSERT_EQ(upright.height, 320);
    for (int x : {10, 420, 860, 1270}) EXPECT_LT(brightness(frame.pixel(x, 360)), 15) << "bar at x " << x;
    // Samples on an edge of the bars may blur in the still: nearly all must match.
    const SampleMatch match = comparePhonePlacement(frame, upright);
    EXPECT_GE(match.matched * 10, match.compared * 9) << match.matched << " of " << match.compared;
}

TEST_F(OrganizerExporterSlidesTest, FreezeFrameOfAMissingMovieFailsNamingTheMovie)
{
    OrganizerItem item = stillItem("止め", "freeze", 0.1);
    item.sourceID = "S1";
    item.sourceIDs = {"S1"};
    item.freezeTime = 1;
    const std::vector<OrganizerItem> items{item};
    OrganizerExporter exporter;
    try {
        exporter.render(documentWith({sourceAt("S1", out / "gone.mp4")}, items), items, out / "out.mp4",
                        [](double, const std::string&) {});
        ADD_FAILURE() << "render passed";
    } catch (const ExportFailure& error) {
        EXPECT_EQ(error.message, "「gone.mp4」が見つかりません。（No such file or directory）");
    }
    EXPECT_FALSE(std::filesystem::exists(out / "out.mp4"));
    EXPECT_TRUE(temporary.leftovers().empty());
}

TEST_F(OrganizerExporterSlidesTest, TitleCardShowsNameAboveNoteOnBlack)
{
    struct Region {
        int left, top, right, bottom;
    };
    // Name box: y 260–420 from the top; note box: y 440–620.
    const Region nameBox{80, 260, 1200, 420}, noteBox{80, 440, 1200, 620};
    const auto brightestIn = [](const TestFrame& frame, const Region& r) {
        int best = 0;
        for (int y = r.top; y < r.bottom; y += 2)
            for (int x = r.left; x < r.right; x += 2) best = std::max(best, brightness(frame.pixel(x, y)));
        return best;
    };
    OrganizerItem item = stillItem("前半のまとめ", "title", 0.1);
    item.note = "セットプレーからの失点";
    TestFrame frame = firstFrameOf(item);
    saveForReview(frame, "playlist-title-card.png");
    EXPECT_GT(brightestIn(frame, nameBox), 230); // white
    const int note = brightestIn(frame, noteBox);
    EXPECT_GT(note, 140); // light grey, not white
    EXPECT_LT(note, 200);
    EXPECT_LT(brightestIn(frame, Region{0, 0, 1280, 250}), 30);
    EXPECT_LT(brightestIn(frame, Region{0, 630, 1280, 720}), 30);

    item.note.clear();
    frame = firstFrameOf(item);
    EXPECT_GT(brightestIn(frame, nameBox), 230);
    EXPECT_LT(brightestIn(frame, noteBox), 30);
}

TEST_F(OrganizerExporterSlidesTest, LongNameWrapsWithinItsBox)
{
    // Forty wide characters are about 1900 pixels at 48: two lines or more.
    OrganizerItem item = stillItem(std::string(), "title", 0.1);
    for (int k = 0; k < 40; ++k) item.name += "長";
    const TestFrame frame = firstFrameOf(item);
    const auto brightRows = [&](int left, int right, int top, int bottom) {
        int rows = 0;
        for (int y = top; y < bottom; ++y) {
            bool bright = false;
            for (int x = left; x < right && !bright; ++x) bright = brightness(frame.pixel(x, y)) > 128;
            rows += bright;
        }
        return rows;
    };
    // Text on the first line (from y 260) and on a second one below it.
    EXPECT_GT(brightRows(80, 1200, 262, 320), 10);
    EXPECT_GT(brightRows(80, 1200, 330, 418), 10);
    // Nothing beyond the box's sides, nor below it.
    EXPECT_EQ(brightRows(0, 76, 0, 720), 0);
    EXPECT_EQ(brightRows(1204, 1280, 0, 720), 0);
    EXPECT_EQ(brightRows(0, 1280, 424, 720), 0);
    saveForReview(frame, "playlist-title-long-name.png");
}

TEST_F(OrganizerExporterSlidesTest, AnyOtherKindIsDrawnAsATitleCard)
{
    OrganizerItem title = stillItem("見出し", "title", 0.1);
    OrganizerItem other = title;
    other.kind = "chapter"; // not a kind of a valid document: handed over on its own
    const TestFrame want = firstFrameOf(title);
    OrganizerExporter exporter;
    ASSERT_EQ(renderMessage(exporter, documentWith({}, {}), {other}, out / "other.mp4"), "");
    const TestFrame got = decodeFrame(out / "other.mp4", 0);
    int bright = 0;
    for (int y = 0; y < 720; y += 2) {
        for (int x = 0; x < 1280; x += 2) {
            ASSERT_NEAR(brightness(got.pixel(x, y)), brightness(want.pixel(x, y)), 3) << x << "," << y;
            bright += brightness(got.pixel(x, y)) > 128;
        }
    }
    EXPECT_GT(bright, 50);
}

// A slide lasts the item's length rounded up to whole frames at 30 fps, and
// at least one frame. Its movie holds one frame that lasts as long; the
// export shows every frame of it.
struct SlideLengthCase {
    const char* label;
    double seconds;
    size_t frames;
};

const SlideLengthCase slideLengthCases[] = {
    {"HundredthOfASecond", 0.01, 1},
    {"OneSecond", 1.0, 30},
    {"JustOverOneSecond", 1.01, 31},
};

class OrganizerExporterSlideLengthTest : public OrganizerExporterSlidesTest,
                                         public ::testing::WithParamInterface<SlideLengthCase> { };

// Slides are written while the items are prepared and the export begins. The
// first is looked at, once complete, while the second item is prepared: named
// after its position in the work folder, and holding what the render took it
// to hold before it was written.
TEST_P(OrganizerExporterSlideLengthTest, SlideMovieIsWrittenInTheWorkFolderByPosition)
{
    const SlideLengthCase& c = GetParam();
    std::vector<OrganizerItem> items{stillItem("a", "title", c.seconds), stillItem("b", "title", 0.1)};
    std::filesystem::path seen;
    OrganizerExporter exporter;
    exporter.render(documentWith({}, items), items, out / "out.mp4", [&](double, const std::string& text) {
        if (text != "2/2 素材を準備中") return;
        std::optional<MovieFacts> slide;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!slide && std::chrono::steady_clock::now() < deadline) {
            for (const auto& folder : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
                for (const auto& file : std::filesystem::directory_iterator(folder.path()))
                    if (file.path().filename() == "0.mov") seen = file.path();
            try {
                if (!seen.empty() && inspectMovie(seen).frameTimes == std::vector<double>{0.0})
                    slide = inspectMovie(seen);
            } catch (const std::exception&) { } // still being written
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(slide) << "no complete first slide in the work folder";
        EXPECT_NEAR(slide->durationSeconds, double(c.frames) / 30.0, 0.002);
        EXPECT_EQ(slide->width, 1280);
        EXPECT_EQ(slide->height, 720);
        EXPECT_EQ(slide->videoCodec, "h264");
        EXPECT_FALSE(slide->hasAudio);
        // What the render cuts and places the slide by.
        const MediaAsset known = slideMovieAsset(items[0], seen);
        const MediaAsset written = MediaAsset::load(seen);
        // The container keeps its length in milliseconds, rounded up.
        EXPECT_LE(known.duration.seconds(), written.duration.seconds());
        EXPECT_NEAR(known.duration.seconds(), written.duration.seconds(), 0.001);
        ASSERT_TRUE(known.video && written.video);
        EXPECT_EQ(std::tuple(known.video->width, known.video->height, known.video->preferredTransform),
                  std::tuple(written.video->width, written.video->height, written.video->preferredTransform));
        EXPECT_EQ(known.hasAudio(), written.hasAudio());
    });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(inspectMovie(out / "out.mp4").frameTimes.size(), c.frames + 3);
    EXPECT_TRUE(std::regex_match(seen.parent_path().filename().string(),
                                 std::regex("zanto-organizer-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")))
        << seen;
    EXPECT_TRUE(temporary.leftovers().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExporterSlideLengthTest, ::testing::ValuesIn(slideLengthCases),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace zanto::test
