#pragma once

#include "context/years.h"

#include <QString>

// The pair of years of the build, for the tests: every path, text and date
// of a test that names a year takes it from here, so that the suite runs
// unchanged when the program is built for another year.
namespace years {

inline constexpr int Old = rio::layout::AnnoInCorso;  // the year being closed
inline constexpr int New = rio::layout::AnnoDaAprire; // the year opened

inline QString oldText()
{
    return QString::number(Old);
}
inline QString newText()
{
    return QString::number(New);
}

// The text with every "{old}" and "{new}" replaced by the year, so that an
// expected message reads as the user sees it: fill(QStringLiteral("archivio {old}")).
inline QString fill(QString text)
{
    return text.replace(QLatin1String("{old}"), oldText()).replace(QLatin1String("{new}"), newText());
}

} // namespace years
