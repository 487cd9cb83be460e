// An old safety copy removed at the user's request.
#include "data/error.h"
#include "data/filesystem.h"
#include "data/installation_lock.h"
#include "run/preliminary_check_archive.h"
#include "run/restore.h"

namespace rio {

const SafetyCopy* newestCompleteCopy(const QList<SafetyCopy>& copies)
{
    for (const SafetyCopy& copy : copies)
        if (copy.hasManifest)
            return &copy;
    return nullptr;
}

QString removeSafetyCopy(const QString& root, const QString& name)
{
    const QList<SafetyCopy> copies = listSafetyCopies(root);
    const SafetyCopy* copy = nullptr;
    for (const SafetyCopy& c : copies)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            copy = &c;
    if (!copy)
        return QStringLiteral("la copia %1 non è più in %2").arg(name, root);
    if (copy == newestCompleteCopy(copies))
        return QStringLiteral("%1 è la copia completa più recente: non viene rimossa").arg(copy->name);
    try {
        // A restore or a run may be reading it, or writing a copy beside it.
        InstallationLock::Holder holder;
        const std::unique_ptr<InstallationLock> lock = InstallationLock::take(root, &holder);
        if (!lock)
            return InstallationLock::busyText(holder);
        if (!fs::RemoveFolder(copy->path))
            return QStringLiteral("la copia %1 è stata rimossa solo in parte").arg(copy->path);
    } catch (const Error& e) {
        return QStringLiteral("la copia %1 non è stata rimossa del tutto: %2").arg(copy->path, describe(e));
    }
    return {};
}

} // namespace rio
