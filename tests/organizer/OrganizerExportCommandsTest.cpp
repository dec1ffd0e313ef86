#include "OrganizerTestSupport.h"

#include "support/FcpxmlValidation.h"
#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

namespace zanto {
namespace {

namespace fs = std::filesystem;

// A playlist of two short clips of one real movie and a title card.
class OrganizerExportCommands : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        OrganizerDocument document;
        document.title = "Game/1";
        document.sources = {test::sampleSource("S1")};
        document.sources[0].path = test::makeTestMovie(folder / "game.mp4", {.durationSeconds = 1.5}).string();
        document.rows[0].name = "前半";
        document.rows[0].items = {test::sampleItem("A"), test::sampleItem("B"), edits::titleItem("card")};
        for (int k = 0; k < 3; ++k) {
            document.rows[0].items[static_cast<size_t>(k)].start = k * 0.5;
            document.rows[0].items[static_cast<size_t>(k)].end = k * 0.5 + 0.5;
        }
        ASSERT_TRUE(organizer->openDocument(document));
        fs::create_directory(out());
    }

    fs::path out() const { return folder / "out"; }

    // Answers the save panel with `destination`, runs `command` (cancelled
    // at once when `cancel`) and waits for its result.
    void exportTo(const fs::path& destination, OrganizerCommand command, bool cancel = false)
    {
        dialogs().saves = {OrganizerSaveAnswer{QString::fromStdString(destination.string()), false}};
        auto* bar = test::control<QProgressBar>(*organizer, "progress");
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [this, bar](int value) {
            hops.push_back({value, bar->isVisible(), organizer->statusText()});
        });
        ASSERT_TRUE(organizer->perform(command));
        if (cancel) {
            EXPECT_TRUE(organizer->perform(OrganizerCommand::cancelExport));
        }
        while (organizer->busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_FALSE(bar->isVisible());
        QObject::disconnect(bar, nullptr, bar, nullptr);
        test::expectConsistent(*organizer);
    }

    std::vector<std::string> outNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Each value of the progress bar, whether the bar was on show, and the status line beside it.
    struct Hop {
        int value;
        bool shown;
        QString text;
    };
    std::vector<Hop> hops;
};

TEST_F(OrganizerExportCommands, MP4OfAllItemsReportsInOrderThenRevealsTheMovie)
{
    const fs::path destination = out() / "all.mp4";
    test::writeFile(destination, "old movie");
    exportTo(destination, OrganizerCommand::exportAll);
    EXPECT_EQ(organizer->statusText(), QString::fromStdString("MP4を保存しました：" + destination.string()));
    const test::MovieFacts facts = test::inspectMovie(destination);
    EXPECT_EQ(facts.width, 1280);
    EXPECT_EQ(facts.height, 720);
    EXPECT_NEAR(facts.frameRate, 30, 0.01);
    EXPECT_NEAR(facts.durationSeconds, 1.5, 0.1);
    ASSERT_GE(hops.size(), 3u);
    const QString writing = "MP4を書き出し中 ";
    for (size_t k = 1; k < hops.size(); ++k) {
        EXPECT_GE(hops[k].value, hops[k - 1].value) << "hop " << k;
        EXPECT_TRUE(hops[k].shown) << "hop " << k << " came after the result";
        // While writing, the bar shows the share the text gives.
        if (hops[k].text.startsWith(writing)) {
            EXPECT_NEAR(hops[k].value / 10.0, hops[k].text.mid(writing.size()).chopped(1).toInt(), 1.0) << k;
        } else {
            EXPECT_EQ(hops[k].value, 1000) << "only the end moves the bar outside writing";
        }
    }
    EXPECT_EQ(outNames(), std::vector<std::string>{"all.mp4"});
    ASSERT_FALSE(dialogs().calls.empty());
    EXPECT_EQ(dialogs().calls.back(),
              (test::OrganizerScriptedDialogs::Call{"reveal", {QString::fromStdString(destination.string())}}));
    EXPECT_EQ(dialogs().calls.front().texts.front(), "Game_1.mp4");
}

// Exports that fail: the status line says why, no temporary file is left and
// what stood at the destination stays as it was.
struct FailedExport {
    const char* name;
    bool cancel;
    bool folderAtDestination;
    bool missingSource;
    const char* status; // part of the status line
};

void PrintTo(const FailedExport& c, std::ostream* out)
{
    *out << c.name;
}

class OrganizerExportFailure : public OrganizerExportCommands, public ::testing::WithParamInterface<FailedExport> { };

TEST_P(OrganizerExportFailure, LeavesNoTemporaryFileAndTheOldDestination)
{
    const FailedExport& c = GetParam();
    const fs::path destination = out() / "match.mp4";
    if (c.folderAtDestination) {
        fs::create_directory(destination);
        test::writeFile(destination / "inside.txt", "kept");
    } else {
        test::writeFile(destination, "old movie");
    }
    if (c.missingSource)
        test::change(*organizer, [](OrganizerDocument& d) { d.sources[0].path = "/nowhere/game.mp4"; });
    exportTo(destination, OrganizerCommand::exportAll, c.cancel);
    EXPECT_TRUE(organizer->statusText().contains(QString::fromUtf8(c.status))) << organizer->statusText().toStdString();
    EXPECT_EQ(outNames(), std::vector<std::string>{"match.mp4"});
    if (c.folderAtDestination) {
        EXPECT_EQ(test::readFile(destination / "inside.txt"), "kept");
    } else {
        EXPECT_EQ(test::readFile(destination), "old movie");
    }
    EXPECT_NE(dialogs().calls.back().kind, "reveal");
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerExportFailure,
                         ::testing::Values(FailedExport{"Cancelled", true, false, false, "書き出しを中止しました。"},
                                           FailedExport{"FolderAtTheDestination", false, true, false, "match.mp4"},
                                           FailedExport{"MissingSource", false, false, true,
                                                        "映像を再接続してください："}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerExportCommands, CancelsAtAnyMomentLeaveAWholeFileAndNoTemporaryOne)
{
    const fs::path destination = out() / "match.mp4";
    for (const int delayMs : {1, 30, 120, 400}) {
        test::writeFile(destination, "old movie");
        dialogs().saves = {OrganizerSaveAnswer{QString::fromStdString(destination.string()), false}};
        ASSERT_TRUE(organizer->perform(OrganizerCommand::exportAll));
        QTimer::singleShot(delayMs, organizer.get(), [this] { organizer->perform(OrganizerCommand::cancelExport); });
        while (organizer->busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        test::expectConsistent(*organizer);
        EXPECT_EQ(outNames(), std::vector<std::string>{"match.mp4"}) << delayMs;
        if (organizer->statusText() == "書き出しを中止しました。") {
            EXPECT_EQ(test::readFile(destination), "old movie") << delayMs;
        } else {
            EXPECT_EQ(test::inspectMovie(destination).width, 1280) << organizer->statusText().toStdString();
        }
    }
}

TEST_F(OrganizerExportCommands, RowXMLValidatesAndNamesTheRow)
{
    dialogs().alerts = {1};
    const fs::path destination = out() / "row.fcpxml";
    dialogs().saves = {OrganizerSaveAnswer{QString::fromStdString(destination.string()), false}};
    organizer->chooseXMLExport();
    while (organizer->busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->statusText(), "Final Cut Pro XMLを保存しました。隣の素材フォルダも保管してください。");
    EXPECT_EQ(dialogs().calls[0].texts[3], "選択行：前半");
    EXPECT_EQ(dialogs().calls[1].texts[0], "Game_1 — 前半.fcpxml");
    EXPECT_TRUE(test::validatesAgainstDtd(destination));
}

TEST_F(OrganizerExportCommands, NothingToExportSaysSoOnlyWhereItShould)
{
    test::change(*organizer, [](OrganizerDocument& d) {
        for (OrganizerItem& item : d.rows[0].items) item.enabled = false;
    });
    using C = OrganizerCommand;
    const std::vector<std::pair<C, QString>> cases = {
        {C::exportAll, "before"},
        {C::exportSelection, "before"},
        {C::exportRowXML, "書き出すクリップがありません。"},
        {C::exportCurrentVideo, "書き出すクリップを開いてください。"},
    };
    for (const auto& [command, status] : cases) {
        organizer->message("before");
        organizer->perform(command);
        EXPECT_EQ(organizer->statusText(), status);
    }
    EXPECT_TRUE(dialogs().calls.empty());
    organizer->table.selectRowIndexes({0}, false);
    dialogs().saves = {std::nullopt};
    organizer->exportCurrentVideo();
    ASSERT_EQ(dialogs().calls.size(), 1u) << "a disabled selected clip is exported";
    EXPECT_FALSE(organizer->busy());
}

} // namespace
} // namespace zanto
