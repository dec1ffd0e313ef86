// Telestration exports draw every frame through the marks engine.
#include "playlist/OrganizerExporterComposition.h"

#include "services/ExportFailure.h"

namespace zanto {

CompositorCallback telestrationCompositor(const std::vector<ComposedItem>&)
{
    // This build carries no telestration engine.
    return [](const CompositorRequest&) -> QImage { throw failure("GXL描画エンジンを読み込めません。"); };
}

} // namespace zanto
