#pragma once
#include "playlist/OrganizerDocument.h"

#include <QImage>

namespace zanto {

// The still of a freeze item: its source's frame at `freezeTime` + the
// source's offset (time scale 60000), upright. Throws ExportFailure
// "静止画の元映像が見つかりません。" when the item's source is not in
// `document` or the item has no freeze time, and MediaError when the frame
// cannot be cut (a missing file, or a pipe or device, refused without opening
// it). GUI thread or any other.
QImage freezeImage(const OrganizerItem& item, const OrganizerDocument& document);

} // namespace zanto
