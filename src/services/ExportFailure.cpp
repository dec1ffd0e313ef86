#include "services/ExportFailure.h"

namespace zanto {

ExportFailure failure(std::string message)
{
    return ExportFailure(std::move(message));
}

} // namespace zanto
