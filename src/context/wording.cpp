#include "context/wording.h"

namespace rio {

QString counted(qint64 n, const char* singular, const char* plural)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? singular : plural);
}

QString programVersion()
{
    return QStringLiteral(RIAPERTURA_VERSION);
}

} // namespace rio
