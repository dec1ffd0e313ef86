#include "app/OrganizerMessages.h"
#include "organizer/OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"

#include <QJsonDocument>

namespace zanto {
namespace {

using test::readFile;

constexpr const char* added = "件を追加しました。元のタグとは独立したコピーです。";

QJsonObject json(const std::string& text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::string body(const std::string& action, const std::string& clips)
{
    return R"({"action": ")" + action + R"(", "sources": [{"name": "a.mp4", "size": 1, "id": "x"}], "clips": [)" + clips
           + "]}";
}

class OrganizerAppendMessage : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        ASSERT_TRUE(organizer->commit(test::sampleDocument(), {}, {}));
        organizer->rowChoice.selectItem(1);
        organizer->rowChanged();
        organizer->table.selectRowIndexes({0}, false);
        organizer->window()->hide();
    }
    void send(const std::string& text) { handleOrganizerMessage(*organizer, json(text), {}); }
};

TEST_F(OrganizerAppendMessage, AppendsAsOneUndoStepAndRaisesTheWindow)
{
    const OrganizerDocument before = organizer->playlist();
    const size_t steps = organizer->undoStates().size();
    send(body("append", R"({"start": 0, "end": 1}, {"start": 2, "end": 3})"));
    test::expectConsistent(*organizer);
    EXPECT_TRUE(organizer->window()->isVisible());
    EXPECT_EQ(organizer->statusText(), QString("2") + added);
    EXPECT_EQ(organizer->playlist().rows[1].items.size(), before.rows[1].items.size() + 2);
    EXPECT_EQ(organizer->selectedItem(), before.rows[1].items[0]) << "the table keeps its line";
    EXPECT_EQ(organizer->undoStates().size(), steps + 1);
    organizer->undoOrganizer();
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->playlist(), before);
}

TEST_F(OrganizerAppendMessage, NothingArrivedStillMarksTheDocumentChanged)
{
    organizer->openDocument(test::sampleDocument());
    ASSERT_FALSE(organizer->changed());
    send(
        R"({"action": "append", "sources": [{"name": "a.mp4", "size": "1", "id": "x"}], "clips": [{"start": 0, "end": 1}]})");
    test::expectConsistent(*organizer);
    EXPECT_EQ(organizer->statusText(), QString("0") + added);
    EXPECT_TRUE(organizer->changed());
    EXPECT_EQ(organizer->playlist(), test::sampleDocument());
}

// Messages that must leave the playlist and its recovery file byte for byte.
struct UntouchedCase {
    const char* name;
    std::string message;
    QString status; // "" = the status line is left as it was
    bool busy = false;
    int filler = 0; // items added to row 1 first
};

class OrganizerAppendUntouched : public OrganizerAppendMessage, public ::testing::WithParamInterface<UntouchedCase> { };

TEST_P(OrganizerAppendUntouched, KeepsThePlaylist)
{
    const UntouchedCase& c = GetParam();
    test::change(*organizer, [&](OrganizerDocument& d) {
        for (int i = 0; i < c.filler; ++i)
            d.rows[1].items.push_back(OrganizerItem{.sourceIDs = {"S1"}, .sourceID = "S1"});
    });
    organizer->message("before");
    const std::string bytes = readFile(organizer->recovery());
    std::optional<test::BusyHold> busy;
    if (c.busy) busy.emplace(*organizer);
    send(c.message);
    EXPECT_EQ(organizer->statusText(), c.status.isEmpty() ? QString("before") : c.status);
    busy.reset();
    test::expectConsistent(*organizer);
    EXPECT_EQ(readFile(organizer->recovery()), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrganizerAppendUntouched,
    ::testing::Values(UntouchedCase{"AnotherAction", body("show", R"({"start": 0, "end": 1})"), ""},
                      UntouchedCase{"Busy", body("append", R"({"start": 0, "end": 1})"), "", true},
                      UntouchedCase{"EndBeforeStart", body("append", R"({"start": 2, "end": 1})"),
                                    "プレイリストの区間または映像の参照が不正です。"},
                      UntouchedCase{"PastTenThousandItems",
                                    body("append", R"({"start": 0, "end": 1}, {"start": 0, "end": 1})"),
                                    "プレイリストの区間または映像の参照が不正です。", false, 9995}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zanto
