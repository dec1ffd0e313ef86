#include "marks/MarkerRendererError.h"

namespace zanto {

MarkerRendererError::MarkerRendererError(const std::string& message) : std::runtime_error(message) { }

MarkerRendererError rendererFailure(const std::string& message)
{
    return MarkerRendererError(message);
}

} // namespace zanto
