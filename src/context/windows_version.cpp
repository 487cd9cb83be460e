#include "context/layout.h"
#include "data/filesystem.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <cstring>
#endif

namespace rio::layout {

OsVersionInfo queryWindowsVersion()
{
    OsVersionInfo info;
    info.size = 148;
    info.servicePack.fill(' ');
#ifdef Q_OS_WIN
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = info.size;
    std::memset(v.szCSDVersion, ' ', sizeof v.szCSDVersion);
    GetVersionExA(&v); // as the product does, a failed query leaves the zeroed fields
    info.majorVersion = v.dwMajorVersion;
    info.minorVersion = v.dwMinorVersion;
    info.buildNumber = v.dwBuildNumber;
    info.platformId = v.dwPlatformId;
    std::memcpy(info.servicePack.data(), v.szCSDVersion, info.servicePack.size());
#endif
    return info;
}

QString NomeSistemaOperativo(const OsVersionInfo& info)
{
    const auto major = info.majorVersion;
    const auto minor = info.minorVersion;
    switch (info.platformId) {
    case 0:
        return QStringLiteral("Windows 3.x");
    case 1:
        if (minor == 0)
            return QStringLiteral("Windows 95");
        if (minor == 10)
            return major == 4 ? QStringLiteral("Windows 98 OSR2") : QStringLiteral("Windows 98");
        if (minor == 90)
            return QStringLiteral("Windows Millenium");
        return {};
    case 2:
        switch (major) {
        case 3:
            return QStringLiteral("Windows NT 3.51");
        case 4:
            return QStringLiteral("Windows NT 4.0");
        case 5:
            return minor == 0 ? QStringLiteral("Windows 2000") : QStringLiteral("Windows XP");
        case 6:
            return minor == 1 ? QStringLiteral("Windows 7") : QStringLiteral("Windows Vista");
        default:
            return {};
        }
    default:
        return QStringLiteral("Failed");
    }
}

QString NomeSistemaOperativo()
{
    return NomeSistemaOperativo(queryWindowsVersion());
}

QString programsFolderName(const QString& systemName)
{
    const QString upper = systemName.toUpper();
    if (upper == QLatin1String("WINDOWS VISTA") || upper == QLatin1String("WINDOWS 7"))
        return QStringLiteral("Program files");
    return QStringLiteral("Programmi");
}

bool has64BitProgramFolder()
{
    return !fs::Dir(QString::fromLatin1(Program64Folder), fs::vbDirectory).isEmpty();
}

} // namespace rio::layout
