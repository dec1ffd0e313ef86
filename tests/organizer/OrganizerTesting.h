#pragma once
// The real Organizer window, offscreen, for the tests of this folder: one
// QApplication per test program, with the user's data and settings folders
// pointed at a temporary folder before anything reads them.
#include "organizer/Organizer.h"
#include "support/TempDir.h"

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

inline std::unique_ptr<Organizer> makeOrganizer(const std::filesystem::path& recoveryFolder)
{
    testApplication();
    auto organizer = std::make_unique<Organizer>(recoveryFolder);
    settle();
    return organizer;
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
