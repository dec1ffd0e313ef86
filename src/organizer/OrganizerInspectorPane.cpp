#include "organizer/OrganizerInspectorPane.h"

#include "organizer/Organizer.h"

#include "organizer/OrganizerActions.h"
#include "organizer/OrganizerColorWell.h"
#include "organizer/OrganizerControls.h"
#include "organizer/OrganizerSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace zanto {

using namespace controls;

namespace {

// Keeps the height a widget needs at its width (a wrapped label's lines, a
// page's rows): the scroll area's layout otherwise squeezes it lower, cutting
// lines off or laying rows over one another, where it should scroll.
class HeightForWidthKept : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A change of content asks for a new layout without any resize.
        if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest) {
            auto* widget = static_cast<QWidget*>(watched);
            widget->setMinimumHeight(widget->heightForWidth(widget->width()));
        }
        return QObject::eventFilter(watched, event);
    }
};

// Shows the beginning of a text too long for its field: a number's leading
// digits say more than its last ones. The field keeps the whole text.
void showText(QLineEdit* field, const QString& text)
{
    field->setText(text);
    field->setCursorPosition(0);
}

} // namespace

OrganizerInspectorPane::OrganizerInspectorPane(Organizer& organizer)
{
    auto* layout = column(this, 6);
    layout->setAlignment(Qt::Alignment());
    layout->setContentsMargins(0, 8, 0, 0);

    inspectorTabs = new QTabBar;
    inspectorTabs->setObjectName("inspectorTabs");
    inspectorTabs->addTab("クリップデータ");
    inspectorTabs->addTab("再生");
    inspectorTabs->setExpanding(true);
    inspectorTabs->setDrawBase(false);
    inspectorTabs->setCurrentIndex(0);
    // Only the user's choice runs the command: selectTab() blocks the signal.
    QObject::connect(inspectorTabs, &QTabBar::currentChanged, this,
                     [&organizer] { organizer.perform(OrganizerCommand::inspectorTabChanged); });
    tagControl(*inspectorTabs, OrganizerCommand::inspectorTabChanged);
    auto* tabs = row(0);
    tabs->setContentsMargins(10, 0, 10, 0);
    tabs->addWidget(inspectorTabs);
    layout->addLayout(tabs);

    auto* stack = new QWidget;
    auto* stackLayout = column(stack);
    stackLayout->setContentsMargins(10, 8, 10, 8);
    stack->installEventFilter(new HeightForWidthKept(stack));
    infoPanel = buildInfoPanel(organizer);
    infoPanel->setObjectName("infoPanel");
    playbackPanel = buildPlaybackPanel(organizer);
    playbackPanel->setObjectName("playbackPanel");
    playbackPanel->hide();
    stackLayout->addWidget(infoPanel);
    stackLayout->addWidget(playbackPanel);
    stackLayout->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(stack);
    layout->addWidget(scroll, 1);
}

QWidget* OrganizerInspectorPane::buildInfoPanel(Organizer& organizer)
{
    auto* panel = new QWidget;
    auto* layout = column(panel);
    clipInfo = label("クリップを選択してください", true);
    clipInfo->setObjectName("clipInfo");
    nameField = field("クリップ名 / タイトル");
    nameField->setObjectName("nameField");
    labelsField = field("ラベル（カンマ区切り）");
    labelsField->setObjectName("labelsField");
    noteField = new QPlainTextEdit;
    noteField->setObjectName("noteField");
    noteField->setPlaceholderText("メモ");
    noteField->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    noteField->setFixedHeight(70);
    // Tab moves on to the next field, as in the one-line fields around it.
    noteField->setTabChangesFocus(true);
    startField = field();
    startField->setObjectName("startField");
    startField->setFixedWidth(70);
    endField = field();
    endField->setObjectName("endField");
    endField->setFixedWidth(70);
    auto* times = row(5);
    times->addWidget(label("始点"));
    times->addWidget(startField);
    times->addWidget(label("終点"));
    times->addWidget(endField);
    times->addStretch(1);
    enabled = new QCheckBox("再生・書き出しに含める");
    enabled->setObjectName("enabled");

    layout->addWidget(clipInfo);
    layout->addWidget(label("クリップ名"));
    layout->addWidget(nameField);
    layout->addWidget(label("ラベル"));
    layout->addWidget(labelsField);
    layout->addWidget(label("ノート"));
    layout->addWidget(noteField);
    layout->addLayout(times);
    layout->addWidget(enabled);
    layout->addWidget(actionButton(organizer, OrganizerCommand::apply), 0, Qt::AlignLeft);
    return panel;
}

QWidget* OrganizerInspectorPane::buildPlaybackPanel(Organizer& organizer)
{
    auto* panel = new QWidget;
    auto* layout = column(panel);
    angleChoice = new QComboBox;
    angleChoice->setObjectName("angleChoice");
    // Only the user's choice runs the command, not a refill of the entries.
    QObject::connect(angleChoice, &QComboBox::activated, &organizer,
                     [&organizer] { organizer.perform(OrganizerCommand::angleChanged); });
    tagControl(*angleChoice, OrganizerCommand::angleChanged);
    loopButton = new QCheckBox("連続再生をループ");
    loopButton->setObjectName("loopButton");
    offsetField = field();
    offsetField->setObjectName("offsetField");
    offsetField->setFixedWidth(60);
    auto* offsetRow = row(5);
    offsetRow->addWidget(label("映像の補正秒"));
    offsetRow->addWidget(offsetField);
    offsetRow->addWidget(actionButton(organizer, OrganizerCommand::applyOffset));
    offsetRow->addStretch(1);
    drawingPanel = buildDrawingPanel(organizer);
    drawingPanel->setObjectName("drawingPanel");
    drawingPanel->hide();

    layout->addWidget(label("映像 / アングル"));
    layout->addWidget(angleChoice);
    layout->addWidget(loopButton);
    layout->addWidget(actionButton(organizer, OrganizerCommand::relink), 0, Qt::AlignLeft);
    layout->addLayout(offsetRow);
    layout->addWidget(actionButton(organizer, OrganizerCommand::toggleDrawing), 0, Qt::AlignLeft);
    layout->addWidget(drawingPanel);
    return panel;
}

QWidget* OrganizerInspectorPane::buildDrawingPanel(Organizer& organizer)
{
    auto* panel = new QWidget;
    auto* layout = column(panel);
    gxlColor = new OrganizerColorWell;
    gxlColor->setObjectName("gxlColor");
    gxlColor->setColor(QColor::fromRgbF(0.1f, 0.6f, 1.0f, 1.0f));
    gxlSize = new OrganizerSlider(90, 10, 400);
    gxlSize->setObjectName("gxlSize");
    gxlPerspective = new OrganizerSlider(35, 5, 100);
    gxlPerspective->setObjectName("gxlPerspective");
    gxlOpacity = new OrganizerSlider(85, 0, 100);
    gxlOpacity->setObjectName("gxlOpacity");
    gxlSpeed = new OrganizerSlider(1, 0, 4);
    gxlSpeed->setObjectName("gxlSpeed");
    gxlColor->action = [&organizer] { organizer.perform(OrganizerCommand::gxlSettingsChanged); };
    tagControl(*gxlColor, OrganizerCommand::gxlSettingsChanged);
    for (OrganizerSlider* slider : {gxlSize, gxlPerspective, gxlOpacity, gxlSpeed}) {
        slider->action = [&organizer] { organizer.perform(OrganizerCommand::gxlSettingsChanged); };
        tagControl(*slider, OrganizerCommand::gxlSettingsChanged);
    }

    QLabel* hint = label("映像右端のアイコンで追加。素材を直接ドラッグして移動、青い点で形を調整できます。"
                         "追加時に5秒の静止画を挿入します。",
                         true);
    hint->installEventFilter(new HeightForWidthKept(hint));
    layout->addWidget(hint);
    layout->addWidget(gxlColor);
    layout->addWidget(label("大きさ"));
    layout->addWidget(gxlSize);
    layout->addWidget(label("遠近感／視野幅"));
    layout->addWidget(gxlPerspective);
    layout->addWidget(label("不透明度"));
    layout->addWidget(gxlOpacity);
    layout->addWidget(label("回転速度（0で停止）"));
    layout->addWidget(gxlSpeed);
    layout->addWidget(actionButton(organizer, OrganizerCommand::deleteSelectedMark), 0, Qt::AlignLeft);
    layout->addWidget(actionButton(organizer, OrganizerCommand::undoMark), 0, Qt::AlignLeft);
    return panel;
}

void OrganizerInspectorPane::showSelectedPage()
{
    infoPanel->setHidden(inspectorTabs->currentIndex() != 0);
    playbackPanel->setHidden(inspectorTabs->currentIndex() != 1);
}

void OrganizerInspectorPane::selectTab(int tab)
{
    {
        const QSignalBlocker quiet(inspectorTabs);
        inspectorTabs->setCurrentIndex(tab);
    }
    showSelectedPage();
}

void OrganizerInspectorPane::toggleDrawingPanel()
{
    drawingPanel->setHidden(!drawingPanel->isHidden());
}

bool OrganizerInspectorPane::drawingPanelHidden() const
{
    return drawingPanel->isHidden();
}

GXLSettings OrganizerInspectorPane::drawingStyle() const
{
    GXLSettings style;
    QColor colour = gxlColor->color().toRgb();
    if (!colour.isValid()) colour = QColor::fromRgbF(0, 0, 1, 1);
    style.color = {colour.redF(), colour.greenF(), colour.blueF(), colour.alphaF()};
    style.size = gxlSize->doubleValue();
    style.perspective = gxlPerspective->doubleValue();
    style.opacity = gxlOpacity->doubleValue();
    style.speed = gxlSpeed->doubleValue();
    return style;
}

void OrganizerInspectorPane::showDrawingStyle(const GXLSettings& settings)
{
    const auto component = [&](size_t i) {
        return i < settings.color.size() ? static_cast<float>(settings.color[i]) : 1.0f;
    };
    gxlColor->setColor(QColor::fromRgbF(component(0), component(1), component(2), component(3)));
    gxlSize->setDoubleValue(settings.size);
    gxlPerspective->setDoubleValue(settings.perspective);
    gxlOpacity->setDoubleValue(settings.opacity);
    gxlSpeed->setDoubleValue(settings.speed);
}

void OrganizerInspectorPane::clearItem()
{
    nameField->clear();
    noteField->clear();
    startField->clear();
    endField->clear();
    labelsField->clear();
    angleChoice->clear();
    clipInfo->setText("クリップを選択してください");
}

void OrganizerInspectorPane::showItem(const OrganizerItem& item, const OrganizerDocument& document, int selectedCount)
{
    showText(nameField, QString::fromStdString(item.name));
    noteField->setPlainText(QString::fromStdString(item.note));
    showText(startField, organizerSeconds(item.start));
    showText(endField, organizerSeconds(item.end));
    enabled->setChecked(item.enabled);
    fillAngles(item, document);
    QStringList labels;
    for (const std::string& each : item.labels.value_or(std::vector<std::string>{})) {
        labels << QString::fromStdString(each);
    }
    showText(labelsField, labels.join(", "));
    clipInfo->setText(QString::fromStdString(item.name) + "\n" + QString::asprintf("%.2f 秒", item.end - item.start)
                      + " / " + QString::number(selectedCount) + "件選択");
    const OrganizerSource* source = document.source(item.sourceID);
    showText(offsetField, organizerSeconds(source ? source->offset : 0));
}

void OrganizerInspectorPane::fillAngles(const OrganizerItem& item, const OrganizerDocument& document)
{
    angleChoice->clear();
    for (const std::string& id : item.sourceIDs) {
        const OrganizerSource* source = document.source(id);
        angleChoice->addItem(QString::fromStdString(source ? source->name : id), QString::fromStdString(id));
    }
    const auto position = std::find(item.sourceIDs.begin(), item.sourceIDs.end(), item.sourceID);
    const int selected = position == item.sourceIDs.end() ? 0 : static_cast<int>(position - item.sourceIDs.begin());
    if (angleChoice->count() > 0) angleChoice->setCurrentIndex(selected);
}

OrganizerItemFields OrganizerInspectorPane::typedFields() const
{
    return {nameField->text(),  noteField->toPlainText(), labelsField->text(),
            startField->text(), endField->text(),         enabled->isChecked()};
}

QString OrganizerInspectorPane::offsetText() const
{
    return offsetField->text();
}

std::optional<std::string> OrganizerInspectorPane::chosenAngle() const
{
    const QVariant data = angleChoice->currentData();
    if (angleChoice->currentIndex() < 0 || data.typeId() != QMetaType::QString) return std::nullopt;
    return data.toString().toStdString();
}

bool OrganizerInspectorPane::loops() const
{
    return loopButton->isChecked();
}

} // namespace zanto
