#include "OrganizerTestSupport.h"

#include "support/PlaylistSamples.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace zanto {
namespace {

class OrganizerKeys : public test::OrganizerFixture {
protected:
    void SetUp() override
    {
        OrganizerFixture::SetUp();
        ASSERT_TRUE(organizer->openDocument(test::sampleDocument()));
        test::change(*organizer, [](OrganizerDocument& d) { d.title = "one"; });
        test::change(*organizer, [](OrganizerDocument& d) { d.title = "two"; });
    }

    // A key as the platform delivers it: to the window, then to the focus widget.
    void type(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(organizer->window()->windowHandle(), key, modifiers);
        test::expectConsistent(*organizer);
    }

    bool handles(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        const QKeyEvent event(QEvent::KeyPress, key, modifiers);
        return organizer->handleOrganizerKey(event);
    }
};

TEST_F(OrganizerKeys, OneKeyActsOnceAndModifiersDecide)
{
    type(Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(organizer->playlist().title, "one") << "Ctrl+Alt+Z undoes exactly one step";
    type(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(organizer->playlist().title, "two");
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool handled;
    };
    for (const Case& c :
         {Case{Qt::Key_K, Qt::AltModifier, false}, Case{Qt::Key_K, Qt::MetaModifier, false},
          Case{Qt::Key_E, Qt::ControlModifier, false}, Case{Qt::Key_Q, Qt::ControlModifier, false},
          Case{Qt::Key_Up, {}, false}, Case{Qt::Key_I, Qt::ShiftModifier | Qt::KeypadModifier, true},
          Case{Qt::Key_Escape, {}, true}, Case{Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, true}}) {
        EXPECT_EQ(handles(c.key, c.modifiers), c.handled) << c.key << " " << c.modifiers;
    }
    ASSERT_EQ(dialogs().calls.size(), 1u);
    EXPECT_EQ(dialogs().calls[0].kind, "save") << "Ctrl+Shift+S saves";
}

TEST_F(OrganizerKeys, TextFieldsAndBusyLetKeysPass)
{
    auto* name = test::control<QLineEdit>(*organizer, "nameField");
    organizer->window()->activateWindow();
    name->setFocus();
    type(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(organizer->playlist().title, "two") << "the field took Ctrl+Z";
    name->clearFocus();
    {
        test::BusyHold busy(*organizer);
        EXPECT_FALSE(handles(Qt::Key_Space, {}));
        EXPECT_FALSE(handles(Qt::Key_Escape, {}));
    }
    QWidget other;
    other.show();
    QTest::keyClick(other.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(organizer->playlist().title, "two") << "another window's keys are its own";
    type(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(organizer->playlist().title, "one");
}

TEST_F(OrganizerKeys, ControlASelectsTheWholeRowAndNothingOfAnEmptyOne)
{
    type(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(organizer->table.selectedRowIndexes(), (std::set<int>{0, 1, 2}));
    test::change(*organizer, [](OrganizerDocument& d) { d.rows[0].items.clear(); });
    type(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(organizer->table.selectedRowIndexes().empty());
}

} // namespace
} // namespace zanto
