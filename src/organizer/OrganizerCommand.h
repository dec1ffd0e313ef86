#pragma once
// The names of the Organizer's commands and menus, for the views that report
// gestures as commands without knowing the Organizer. Each command is one row
// of OrganizerActions; a command without its row does not compile.
#include <cstddef>

namespace zanto {

enum class OrganizerCommand {
    // Toolbar.
    newDocument,
    openDocument,
    saveDocument,
    showLayout,
    showMore,
    showExport,
    toggleInspector,
    // Transport and its keys.
    previousClip,
    togglePlayback,
    nextClip,
    playRow,
    playAll,
    playSelection,
    markIn,
    markOut,
    shuttleBackward,
    shuttlePause,
    shuttleForward,
    previousItem,
    nextItem,
    drawingOff,
    // Rows.
    addRow,
    renameRow,
    rowUp,
    rowDown,
    removeRow,
    // Items and slides.
    addTitle,
    addImage,
    duplicate,
    removeItems,
    insertBefore,
    insertAfter,
    selectAllItems,
    undoOrganizer,
    redoOrganizer,
    // Exports.
    chooseXMLExport,
    exportRowXML,
    exportCurrentVideo,
    exportAll,
    exportSelection,
    cancelExport,
    // Inspector.
    apply,
    angleChanged,
    relink,
    applyOffset,
    toggleDrawing,
    deleteSelectedMark,
    undoMark,
    gxlSettingsChanged,
    // Arrangement.
    enlargePreview,
    resetLayout,
    inspectorTabChanged,
    zoomTimeline,
    // The material strip, by index of GXLSettings::tools().
    material0,
    material1,
    material2,
    material3,
    material4,
    material5,
    material6,
    material7,
    material8,
    material9,
    material10,
    material11,
    material12,
    material13,
    material14,
};

inline constexpr std::size_t organizerCommandCount = std::size_t(OrganizerCommand::material14) + 1;
inline constexpr int organizerMaterialCount = int(OrganizerCommand::material14) - int(OrganizerCommand::material0) + 1;

// The material button's command of material `index` (0 to 14).
constexpr OrganizerCommand organizerMaterialCommand(int index)
{
    return OrganizerCommand(int(OrganizerCommand::material0) + index);
}

// The pop-up menus: the three of the toolbar and the timeline's two.
enum class OrganizerMenu {
    layout,
    more,
    exportVideo,
    timelineRow,
    timelineItem,
};

} // namespace zanto
