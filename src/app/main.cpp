// The application: makes the one Organizer as the application does on first
// use, shows its window and opens a playlist package or Sportscode playlist
// named on the command line, the way a document opened from the file manager
// reaches the Organizer. A launch while another one runs on the same data
// folder hands its path over to that one and ends.
#include "ProcessMemory.h"
#include "RendererThreads.h"
#include "QtTranslations.h"
#include "SingleInstance.h"
#include "organizer/Organizer.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <filesystem>

namespace {

// Without a main window the Organizer's window is the application: hiding it
// ends the run.
class QuitOnHide : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A spontaneous hide is the window manager minimising the window.
        if (event->type() == QEvent::Hide && !event->spontaneous() && static_cast<QWidget*>(watched)->isWindow()) {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

// ZANTO_SCREENSHOT=<file.png> saves a picture of the window once it is laid
// out, with the first item of the row on show opened, and ends the run (used
// where there is no display to look at).
void scheduleScreenshot(zanto::Organizer& organizer)
{
    const QString path = qEnvironmentVariable("ZANTO_SCREENSHOT");
    if (path.isEmpty()) return;
    QTimer::singleShot(300, &organizer, [&organizer] { organizer.selectTimeline(organizer.currentRow(), 0); });
    QTimer::singleShot(1500, &organizer, [&organizer, path] {
        const bool saved = organizer.window()->grab().save(path, "PNG");
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

} // namespace

int main(int argc, char** argv)
{
    zanto::tuneProcessMemory();
    zanto::limitRendererThreads();
    // The movie view's GL surface keeps its context when it moves to the
    // full-screen window and back.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setOrganizationName("ZANTORIX");
    QApplication::setApplicationName("ZANTORIX");
    QApplication::setStyle("Fusion");
    zanto::installQtTranslations();

    // The name as the file system holds it: QApplication::arguments() would
    // decode it as UTF-8, and bytes of another encoding would not survive.
    // QApplication has already taken its own options out of argv.
    const std::filesystem::path handed = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path();
    zanto::SingleInstance instance;
    if (!instance.claim()) return instance.handOver(handed) ? 0 : 1;

    zanto::Organizer organizer;
    if (!handed.empty()) organizer.openFromFileManager(handed);
    instance.listen([&organizer](const std::filesystem::path& path) {
        if (!path.empty()) return organizer.openFromFileManager(path);
        organizer.window()->show();
        organizer.window()->raise();
        organizer.window()->activateWindow();
        return true;
    });

    QuitOnHide quitOnHide;
    organizer.window()->installEventFilter(&quitOnHide);
    scheduleScreenshot(organizer);
    return QApplication::exec();
}
