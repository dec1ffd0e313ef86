#include "platform/Identifier.h"

#include <QUuid>

namespace zanto {

std::string newIdentifier()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace zanto
