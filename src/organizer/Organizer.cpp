#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerControls.h"
#include "organizer/OrganizerKeyMonitor.h"
#include "organizer/OrganizerSplit.h"
#include "organizer/OrganizerTimelinePane.h"
#include "organizer/OrganizerWidgetDialogs.h"
#include "playlist/OrganizerExporter.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <charconv>

namespace zanto {

Organizer::Organizer(std::optional<std::filesystem::path> recoveryDirectory, std::unique_ptr<OrganizerDialogs> dialogs,
                     const PlayerOptions& player)
    : recovery_(recoveryDirectory.value_or(OrganizerRecoveryFile::defaultDirectory())), dialogs_(std::move(dialogs)),
      jobs_(std::make_unique<OrganizerJobs>())
{
    // Work recovered unsaved counts as changed: nothing replaces it without asking.
    std::optional<OrganizerRecoveryFile::Loaded> recovered = recovery_.load();
    history_.open(recovered ? std::move(recovered->document) : OrganizerDocument(),
                  !recovered || recovered->saved ? OrganizerHistory::Start::saved : OrganizerHistory::Start::changed);
    // Work folders of exports killed with an earlier run.
    OrganizerExporter::removeAbandonedWork();
    table.selectionDidChange = [this] { tableViewSelectionDidChange(); };
    setUpPlayback(player);
    buildWindow();
    keyMonitor_ = std::make_unique<OrganizerKeyMonitor>(
        *window_, [this](const QKeyEvent& event) { return handleOrganizerKey(event); });
    installDrawing();
    if (!dialogs_) dialogs_ = std::make_unique<OrganizerWidgetDialogs>(window_.get());
    message("行を作り、メイン画面の「選択タグを追加」から映像を集めてください。");
    // The dividers are placed once the window has its real size, after
    // construction has returned.
    QTimer::singleShot(0, this, [this] { placeDividers(); });
    reload();
    showWindow();
}

Organizer::~Organizer()
{
    // The window's children go before it does; no event of theirs may reach
    // the filter below.
    window_->removeEventFilter(this);
    // A running export is cancelled and waited for by the job runner, which goes first.
}

void Organizer::message(const QString& text)
{
    // Several lines (warnings come joined by line feeds) still show as one.
    QString line = text;
    line.replace("\r\n", " ").replace('\r', ' ').replace('\n', ' ');
    status_->setText(line);
    status_->setToolTip(controls::plainToolTip(text));
    statusText_ = text;
}

bool Organizer::busy() const
{
    return jobs_->running();
}

bool Organizer::perform(OrganizerCommand command)
{
    const OrganizerAction& action = OrganizerActions::row(command);
    if (busy() && action.busy != OrganizerBusyRule::allow) {
        if (action.busy == OrganizerBusyRule::refuseWithMessage) message(organizerBusyMessage);
        return false;
    }
    action.handler(*this, action.parameter);
    return true;
}

QString Organizer::statusText() const
{
    return statusText_;
}

bool Organizer::windowShouldClose()
{
    if (busy()) {
        message(organizerBusyMessage);
        return false;
    }
    stop();
    window_->hide();
    return false;
}

bool Organizer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_.get() && event->type() == QEvent::Close) {
        event->ignore();
        windowShouldClose();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

int Organizer::currentRow() const
{
    return std::max(0, rowChoice.indexOfSelectedItem());
}

std::optional<OrganizerItem> Organizer::selectedItem() const
{
    const int row = currentRow();
    if (row >= static_cast<int>(playlist().rows.size())) return std::nullopt;
    const auto& items = playlist().rows[static_cast<size_t>(row)].items;
    const int selected = table.selectedRow();
    if (selected < 0 || selected >= static_cast<int>(items.size())) return std::nullopt;
    return items[static_cast<size_t>(selected)];
}

void Organizer::placeDividers()
{
    window_->layout()->activate();
    const QSize content = window_->size();
    horizontalSplit_->setPosition(std::max(600, content.width() - 300), 0);
    verticalSplit_->setPosition(content.height() * 0.73, 0);
    timelinePane_->timeline().refresh();
}

void Organizer::showWindow()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect frame = window_->frameGeometry();
        window_->move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    window_->show();
    // The offscreen platform of headless runs has no stacking to change.
    if (QGuiApplication::platformName() != "offscreen") {
        window_->raise();
        window_->activateWindow();
    }
}

QString organizerSeconds(double seconds)
{
    // A negative zero (an offset typed as -0) reads as plain 0.
    if (seconds == 0) seconds = 0;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

} // namespace zanto
