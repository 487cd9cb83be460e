#include "context/local_zone.h"

#include <QFileInfo>
#include <QtGlobal>

namespace rio {

void cacheLocalZone()
{
#ifndef Q_OS_WIN
    // The same zone the library uses without TZ, named so that it stays cached.
    const QString zone = QStringLiteral("/etc/localtime");
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo(zone).isFile())
        return;
    qputenv("TZ", ":" + zone.toLocal8Bit());
#endif
}

} // namespace rio
