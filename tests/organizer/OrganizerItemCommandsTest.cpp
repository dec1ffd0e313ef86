#include "OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"
#include "support/TestMedia.h"

#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zanto {
namespace {

namespace fs = std::filesystem;

// Row 0 holds I1, I2, I3; the command runs on the selection with the answers
// given. "+" stands for a new item.
struct ItemCase {
    const char* name;
    std::set<int> selected;
    std::optional<QString> answer;
    OrganizerCommand command;
    std::vector<std::string> ids; // of row 0 afterwards
    int selectedAfter;            // selectedRow() afterwards
};

void PrintTo(const ItemCase& c, std::ostream* out)
{
    *out << c.name;
}

class OrganizerItemCommands : public test::OrganizerFixture, public ::testing::WithParamInterface<ItemCase> {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
    }

    std::vector<std::string> ids() const
    {
        const std::set<std::string> old = {"I1", "I2", "I3"};
        std::vector<std::string> result;
        for (const OrganizerItem& item : organizer->playlist().rows[0].items) {
            result.push_back(old.count(item.id) ? item.id : "+");
        }
        return result;
    }
};

TEST_P(OrganizerItemCommands, EditTheCurrentRow)
{
    const ItemCase& c = GetParam();
    organizer->table.selectRowIndexes(c.selected, false);
    test::expectConsistent(*organizer);
    dialogs().asks = {c.answer};
    EXPECT_TRUE(organizer->perform(c.command));
    test::expectConsistent(*organizer);
    EXPECT_EQ(ids(), c.ids);
    EXPECT_EQ(organizer->table.selectedRow(), c.selectedAfter);
}

using Ids = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerItemCommands,
    ::testing::Values(
        ItemCase{"AddTitleSelectsIt", {0}, "T", OrganizerCommand::addTitle, Ids{"I1", "I2", "I3", "+"}, 3},
        ItemCase{"TitleCancelled", {0}, std::nullopt, OrganizerCommand::addTitle, Ids{"I1", "I2", "I3"}, 0},
        ItemCase{"InsertBeforeTheFirst", {0}, "S", OrganizerCommand::insertBefore, Ids{"+", "I1", "I2", "I3"}, 0},
        ItemCase{"InsertAfterTheLast", {2}, "S", OrganizerCommand::insertAfter, Ids{"I1", "I2", "I3", "+"}, 3},
        ItemCase{"InsertWithoutSelection", {}, "S", OrganizerCommand::insertBefore, Ids{"I1", "I2", "I3", "+"}, 3},
        ItemCase{"DuplicateAppends", {0, 2}, {}, OrganizerCommand::duplicate, Ids{"I1", "I2", "I3", "+", "+"}, 2},
        ItemCase{"RemoveSelected", {0, 2}, {}, OrganizerCommand::removeItems, Ids{"I2"}, 0},
        ItemCase{"RemoveNothing", {}, {}, OrganizerCommand::removeItems, Ids{"I1", "I2", "I3"}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrganizerItemCommands, ImagesSkipWhatIsNoPicture)
{
    const fs::path good = test::makeTestImage(folder / "good.v2.png", 64, 36);
    QPdfWriter pdf(QString::fromStdString((folder / "deck.pdf").string()));
    QPainter(&pdf).drawText(100, 100, "slide");
    test::writeFile(folder / "text.png", "not a picture");
    test::writeFile(folder / "empty.png", "");
    test::writeFile(folder / "empty.pdf", "");
    // A PNG header that claims 40000 × 40000 pixels and holds none.
    const char huge[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x9c\x40\x00\x00\x9c\x40\x08\x06\x00\x00\x00"
                        "\x51\x0c\x0e\x05";
    test::writeFile(folder / "huge.png", std::string(huge, sizeof huge - 1));
    ASSERT_EQ(mkfifo((folder / "pipe.png").c_str(), 0600), 0);
    QStringList bad;
    for (const char* name : {"text.png", "empty.png", "empty.pdf", "pipe.png", "huge.png"}) {
        bad << QString::fromStdString((folder / name).string());
    }

    dialogs().files = {bad};
    organizer->perform(OrganizerCommand::addImage);
    EXPECT_EQ(organizer->statusText(), "画像を読み込めませんでした。");
    EXPECT_TRUE(organizer->undoStates().empty());
    EXPECT_TRUE(dialogs().calls[0].texts.join(' ').contains("*.pdf"));

    dialogs().files = {QStringList{QString::fromStdString(good.string())} + bad
                       + QStringList{QString::fromStdString((folder / "deck.pdf").string())}};
    organizer->perform(OrganizerCommand::addImage);
    test::expectConsistent(*organizer);
    const auto& items = organizer->playlist().rows[0].items;
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[3].name, "good.v2");
    EXPECT_EQ(items[3].imagePath, good.string());
    EXPECT_EQ(items[4].name, "deck");
    EXPECT_TRUE(organizer->statusText().startsWith("画像を追加しました。"));
}

TEST_F(OrganizerItemCommands, TheInsertMenuRunsTheChosenEntry)
{
    dialogs().menus = {0};
    dialogs().asks = {"From the menu"};
    organizer->perform(OrganizerCommand::showMore);
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist().rows[0].items.back().name, "From the menu");
}

} // namespace
} // namespace zanto
