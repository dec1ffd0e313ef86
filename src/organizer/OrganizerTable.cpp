#include "organizer/Organizer.h"

#include "organizer/OrganizerImageView.h"
#include "organizer/OrganizerOverlay.h"
#include "organizer/OrganizerTimeline.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>

#include <algorithm>

namespace zanto {

namespace {

const OrganizerSource* findSource(const OrganizerDocument& document, const std::string& id)
{
    const auto found = std::find_if(document.sources.begin(), document.sources.end(),
                                    [&](const OrganizerSource& source) { return source.id == id; });
    return found == document.sources.end() ? nullptr : &*found;
}

} // namespace

void Organizer::reload(std::optional<int> index)
{
    // Read before the pop-up is rebuilt, so that the same row stays on show.
    const int rowCount = static_cast<int>(playlist.rows.size());
    const int row = std::min(currentRow(), std::max(0, rowCount - 1));
    rowChoice.removeAllItems();
    for (const OrganizerRow& each : playlist.rows) rowChoice.addItem(each.name);
    rowChoice.selectItem(row);
    table.reloadData(numberOfRows());
    if (index && *index >= 0 && *index < table.numberOfRows()) table.selectRowIndexes({*index}, false);
    fields();
    timeline->refresh();
    // "[*]" in a window title is the platform's placeholder for unsaved
    // changes; a playlist title may hold it and must show it as typed.
    const QString title = QString::fromStdString(playlist.title).replace("[*]", "[*][*]");
    window_->setWindowTitle("ZANTORIX / " + title + " — ORGANIZER");
}

int Organizer::numberOfRows() const
{
    const int row = currentRow();
    if (row >= static_cast<int>(playlist.rows.size())) return 0;
    return static_cast<int>(playlist.rows[static_cast<size_t>(row)].items.size());
}

void Organizer::tableViewSelectionDidChange()
{
    fields();
    timeline->update();
}

void Organizer::fields()
{
    stop();
    overlay->resetSelection();
    overlay->setMarks({});
    movie->show();
    image->hide();
    titleView->hide();
    overlay->setEditing(false);
    const std::optional<OrganizerItem> item = selectedItem();
    if (item) {
        showItem(*item);
    } else {
        clearItem();
    }
    overlay->update();
}

void Organizer::clearItem()
{
    nameField->clear();
    noteField->clear();
    startField->clear();
    endField->clear();
    labelsField->clear();
    angleChoice->clear();
    clipInfo->setText("クリップを選択してください");
}

void Organizer::showItem(const OrganizerItem& item)
{
    overlay->setMarks(item.marks.value_or(std::vector<OrganizerMark>{}));
    nameField->setText(QString::fromStdString(item.name));
    noteField->setPlainText(QString::fromStdString(item.note));
    startField->setText(organizerSeconds(item.start));
    endField->setText(organizerSeconds(item.end));
    enabled->setChecked(item.enabled);
    fillAngles(item);
    QStringList labels;
    for (const std::string& each : item.labels.value_or(std::vector<std::string>{})) {
        labels << QString::fromStdString(each);
    }
    labelsField->setText(labels.join(", "));
    clipInfo->setText(QString::fromStdString(item.name) + "\n"
                      + QString::asprintf("%.2f 秒", item.end - item.start) + " / "
                      + QString::number(table.numberOfSelectedRows()) + "件選択");
    const OrganizerSource* source = findSource(playlist, item.sourceID);
    offsetField->setText(organizerSeconds(source ? source->offset : 0));
}

void Organizer::fillAngles(const OrganizerItem& item)
{
    angleChoice->clear();
    for (const std::string& id : item.sourceIDs) {
        const OrganizerSource* source = findSource(playlist, id);
        angleChoice->addItem(QString::fromStdString(source ? source->name : id), QString::fromStdString(id));
    }
    const auto position = std::find(item.sourceIDs.begin(), item.sourceIDs.end(), item.sourceID);
    const int selected = position == item.sourceIDs.end()
        ? 0 : static_cast<int>(position - item.sourceIDs.begin());
    if (angleChoice->count() > 0) angleChoice->setCurrentIndex(selected);
}

} // namespace zanto
