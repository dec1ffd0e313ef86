#pragma once
// The real Organizer window, offscreen, for the tests of this folder: one
// QApplication per test program, with the user's data and settings folders
// pointed at a temporary folder before anything reads them; scripted dialogs;
// expectConsistent() for after every step; the row type of the undo table.
#include "organizer/Organizer.h"
#include "organizer/OrganizerTimeline.h"
#include "organizer/model/OrganizerEdits.h"
#include "support/OrganizerScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <functional>
#include <future>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace zanto::test {

inline const TempDir& testHome()
{
    static const TempDir home("zanto-organizer-home-");
    return home;
}

inline QApplication& testApplication()
{
    static int argc = 1;
    static char name[] = "organizer-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_DATA_HOME", (testHome().path() / "data").c_str());
        qputenv("XDG_CONFIG_HOME", (testHome().path() / "config").c_str());
        auto* app = new QApplication(argc, argv);
        QApplication::setStyle("Fusion");
        return app;
    }();
    return *application;
}

// A first member of fixtures that hold widgets: the application comes first.
struct UsesApplication {
    UsesApplication() { testApplication(); }
};

// Lets the deferred layout work of the window run.
inline void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// An Organizer over `recoveryFolder` whose dialogs answer from a script.
inline std::unique_ptr<Organizer> makeOrganizer(const std::filesystem::path& recoveryFolder)
{
    testApplication();
    auto organizer = std::make_unique<Organizer>(recoveryFolder, std::make_unique<OrganizerScriptedDialogs>());
    settle();
    return organizer;
}

inline OrganizerScriptedDialogs& scripted(Organizer& organizer)
{
    return static_cast<OrganizerScriptedDialogs&>(organizer.dialogs());
}

// A fresh Organizer over a recovery folder of its own, its dialogs scripted.
class OrganizerFixture : public ::testing::Test {
protected:
    void SetUp() override { organizer = makeOrganizer(folder.path()); }
    OrganizerScriptedDialogs& dialogs() { return scripted(*organizer); }

    TempDir folder;
    std::unique_ptr<Organizer> organizer;
};

// The control named `name` of the window.
template <typename T>
T* control(const Organizer& organizer, const char* name)
{
    T* found = organizer.window()->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}

// A copy of the playlist changed by `change`, committed like any command's,
// selecting the line `select` of the current row when given.
inline void change(Organizer& organizer, const std::function<void(OrganizerDocument&)>& change,
                   std::optional<int> select = std::nullopt)
{
    OrganizerDocument candidate = organizer.playlist();
    change(candidate);
    OrganizerFocus focus;
    if (select) focus.select = {candidate.rows[size_t(organizer.currentRow())].items[size_t(*select)].id};
    EXPECT_TRUE(organizer.commit(std::move(candidate), focus, {}));
}

// Keeps the Organizer busy, as a running save does, until release().
class BusyHold {
public:
    explicit BusyHold(Organizer& organizer) : organizer_(organizer)
    {
        auto released = released_.get_future().share();
        organizer.jobs().start(organizer.playlist(),
                               {.work = [released](const auto&, const auto&) { released.wait(); }});
    }
    ~BusyHold() { release(); }
    void release()
    {
        if (done_) return;
        done_ = true;
        released_.set_value();
        while (organizer_.busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

private:
    Organizer& organizer_;
    std::promise<void> released_;
    bool done_ = false;
};

// One row of the undo table: an edit that changes the sample document.
struct UndoCase {
    const char* name;
    std::function<OrganizerDocument(const OrganizerDocument&)> edit;
};

inline std::string readFile(const std::filesystem::path& path);

// What must hold between any two steps: the document validates, the recovery
// file holds its bytes once anything was written, the history starts from
// it, the timeline shows the current row's items and the table's selection,
// and the inspector the selected item.
inline void expectConsistent(const Organizer& organizer)
{
    const OrganizerDocument& playlist = organizer.playlist();
    EXPECT_EQ(edits::refusal(playlist), std::nullopt);
    if (organizer.changed() || std::filesystem::exists(organizer.recovery())) {
        EXPECT_EQ(readFile(organizer.recovery()), playlist.toJson());
    }
    EXPECT_EQ(organizer.historyState(), playlist);
    const size_t row = static_cast<size_t>(organizer.currentRow());
    const size_t items = row < playlist.rows.size() ? playlist.rows[row].items.size() : 0;
    if (auto* timeline = control<OrganizerTimeline>(organizer, "timeline")) {
        EXPECT_EQ(timeline->rects(static_cast<int>(row)).size(), items);
        // The timeline draws, and a Shift press starts from, the table's own selection.
        ASSERT_TRUE(timeline->state());
        EXPECT_EQ(timeline->state()->rows, playlist.rows);
        EXPECT_EQ(timeline->state()->currentRow, organizer.currentRow());
        EXPECT_EQ(timeline->state()->selection, organizer.table.selectedRowIndexes());
        EXPECT_EQ(timeline->state()->selectedRow, organizer.table.selectedRow());
    }
    const std::optional<OrganizerItem> item = organizer.selectedItem();
    if (auto* name = control<QLineEdit>(organizer, "nameField")) {
        EXPECT_EQ(name->text().toStdString(), item ? item->name : std::string());
    }
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

} // namespace zanto::test
