#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace rio {

// The file of the lock, in the installation root: beside the data folder,
// never inside it, since the safety copy copies that folder whole.
inline constexpr auto InstallationLockName = "riapertura.lock";

// One year opening or restore at a time on an installation: an exclusive
// advisory lock on InstallationLockName in its root, held while the object
// lives. The system lets it go when the process ends however it ends, so a
// killed run never blocks the next one (its file stays, unlocked, until the
// next holder lets go). The holder removes the file as it lets go, so that
// a run refused by its check leaves the root as it was; a process that locks
// a file no longer under the name tries again. The file holds when and by
// which process the lock was taken.
class InstallationLock
{
public:
    struct Holder
    {
        QString started; // "hh:mm:ss"
        qint64 pid = 0;
    };

    // Takes the lock for this process on the root (a Windows path ending in
    // "\"). Null when another process (or another lock of this one) holds
    // it; then holder, when given, says who. Raises the file services'
    // errors (a symbolic link at the name is not followed: 75).
    static std::unique_ptr<InstallationLock> take(const QString& windowsRoot, Holder* holder = nullptr);

    // Who holds the lock, when another process does; writes nothing.
    static std::optional<Holder> heldElsewhere(const QString& windowsRoot);

    // "Una riapertura o un ripristino è già in corso su questa installazione
    // (avviato alle hh:mm:ss, processo N): attendere che finisca."
    static QString busyText(const Holder& holder);

    ~InstallationLock();
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

private:
    InstallationLock(qintptr handle, const QString& hostPath) : m_handle(handle), m_hostPath(hostPath) {}
    qintptr m_handle; // the open file (a descriptor, or a Windows handle)
    QString m_hostPath;
};

} // namespace rio
