#pragma once
// Including this in a test file gives its executable one QGuiApplication for
// the whole run: text drawing into QImages needs the font database, which
// belongs to a GUI application. Tests run with QT_QPA_PLATFORM=offscreen, also
// when started by hand without it.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace zanto::test {

class GuiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QGuiApplication::instance()) app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};

inline ::testing::Environment* const guiTestEnvironment = ::testing::AddGlobalTestEnvironment(new GuiTestEnvironment);

} // namespace zanto::test
