#pragma once

#include <QString>

namespace rio {

// "1 errore", "2 errori": a count with the noun in the number it takes
// (one: the singular; any other count, zero too: the plural).
QString counted(qint64 n, const char* singular, const char* plural);

inline QString errorsCounted(qint64 n)
{
    return counted(n, "errore", "errori");
}
inline QString mismatchesCounted(qint64 n)
{
    return counted(n, "discordanza", "discordanze");
}
inline QString warningsCounted(qint64 n)
{
    return counted(n, "avviso", "avvisi");
}

// The program's version, as the build gives it (the CMake project version).
QString programVersion();

} // namespace rio
