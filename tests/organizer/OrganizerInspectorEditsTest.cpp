#include "OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zanto {
namespace {

// The sample playlist with I1 (a video item of the missing /videos/S1.mp4,
// angles S1 and S2) selected.
class OrganizerInspectorEdits : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        OrganizerDocument document = test::sampleDocument();
        document.rows[0].items[0].start = 0.1 + 0.2;
        ASSERT_TRUE(organizer->openDocument(document));
        organizer->table.selectRowIndexes({0}, false);
        test::expectConsistent(*organizer);
    }

    void typeInto(const char* field, const QString& text)
    {
        test::control<QLineEdit>(*organizer, field)->setText(text);
    }
    void press(const char* button)
    {
        test::control<QPushButton>(*organizer, button)->click();
        test::expectConsistent(*organizer);
    }
    const OrganizerItem& first() const { return organizer->playlist().rows[0].items[0]; }
};

TEST_F(OrganizerInspectorEdits, ApplyStoresWhatWasTypedAndKeepsUntouchedTimesExact)
{
    typeInto("nameField", " 新しい名前 ");
    typeInto("labelsField", "攻撃 ,\u3000守備,, ");
    press("apply");
    EXPECT_EQ(organizer->statusText(), "変更を反映しました。元のタイムラインは変更していません。")
        << "a video item whose movie is missing can still be edited";
    EXPECT_EQ(first().name, " 新しい名前 ");
    EXPECT_EQ(first().labels, (std::vector<std::string>{"攻撃", "守備"}));
    EXPECT_EQ(first().start, 0.1 + 0.2) << "the field's text reads back bit for bit";
    EXPECT_EQ(organizer->table.selectedRowIndexes(), std::set<int>{0});

    typeInto("endField", "1,5");
    press("apply");
    EXPECT_EQ(organizer->statusText(), organizerInvalidSecondsMessage);
    organizer->table.deselectAll();
    press("apply");
    EXPECT_EQ(organizer->statusText(), organizerInvalidSecondsMessage);
}

TEST_F(OrganizerInspectorEdits, AngleAndOffsetChangeTheSourceOfEveryItem)
{
    auto* angle = test::control<QComboBox>(*organizer, "angleChoice");
    angle->setCurrentIndex(1);
    Q_EMIT angle->activated(1);
    test::expectConsistent(*organizer);
    EXPECT_EQ(first().sourceID, "S2");

    const OrganizerDocument before = organizer->playlist();
    typeInto("offsetField", " 3");
    press("applyOffset");
    EXPECT_EQ(organizer->playlist(), before) << "bad text is refused silently";
    typeInto("offsetField", "-2.5e0");
    press("applyOffset");
    EXPECT_EQ(organizer->playlist().sources[1].offset, -2.5);
    EXPECT_EQ(organizer->statusText(), "映像時刻 = 区間時刻 + 補正秒。同じ映像の全クリップに適用しました。");
}

struct RelinkCase {
    const char* name;
    const char* file; // "" cancels the dialog
    bool linked;
};

class OrganizerInspectorEditsRelink : public OrganizerInspectorEdits,
                                      public ::testing::WithParamInterface<RelinkCase> { };

TEST_P(OrganizerInspectorEditsRelink, LinksOnlyAMovieWithVideo)
{
    const RelinkCase& c = GetParam();
    const std::string name = c.file;
    const std::filesystem::path path = folder / name;
    if (name == "movie.mp4") test::makeTestMovie(path, {.durationSeconds = 0.5});
    if (name == "sound.mp4") test::makeTestMovie(path, {.durationSeconds = 0.5, .video = false});
    if (name == "text.mp4") test::writeFile(path, "not a movie");
    if (name == "empty.mp4") test::writeFile(path, "");
    if (name == "pipe.mp4") {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    if (!name.empty()) dialogs().files.push_back({QString::fromStdString(path.string())});
    const OrganizerDocument before = organizer->playlist();
    organizer->message("before");
    press("relink");
    ASSERT_FALSE(dialogs().calls.empty());
    EXPECT_EQ(dialogs().calls[0].texts[0], "Angle S1 の連続した動画を選択してください。");
    if (c.linked) {
        EXPECT_EQ(organizer->playlist().sources[0].path, path.string());
        EXPECT_EQ(organizer->statusText(),
                  "再接続しました。同じ映像を参照する全クリップに適用されます。必要に応じて補正秒を設定してください。");
        return;
    }
    EXPECT_EQ(organizer->playlist(), before);
    EXPECT_EQ(organizer->statusText(), name.empty() ? "before" : "映像を読み込めません。");
}

INSTANTIATE_TEST_SUITE_P(Cases, OrganizerInspectorEditsRelink,
                         ::testing::Values(RelinkCase{"Movie", "movie.mp4", true},
                                           RelinkCase{"AudioOnly", "sound.mp4", false},
                                           RelinkCase{"Text", "text.mp4", false},
                                           RelinkCase{"Empty", "empty.mp4", false},
                                           RelinkCase{"Fifo", "pipe.mp4", false}, RelinkCase{"Cancelled", "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto
