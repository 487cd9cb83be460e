#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A mount that lives as long as the object: a small tmpfs to run out of space
// for real, or a folder bound over itself read-only. Mounting needs root;
// when it is refused, isMounted() is false and the test skips.
class ScopedMount
{
public:
    // A tmpfs of `bytes` on a fresh folder. While it lives, TMPDIR points
    // into it, so a TestInstall made meanwhile has its drive on it.
    static std::unique_ptr<ScopedMount> tmpfs(qint64 bytes);
    // `folder` itself seen read-only (writes fail with EROFS, even for root).
    static std::unique_ptr<ScopedMount> readOnly(const QString& folder);

    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_path; }
    // Bytes in use on the tmpfs.
    qint64 used() const;
    // Gives the tmpfs a new size; false when the kernel refuses it (below
    // what is used).
    bool resize(qint64 bytes);

private:
    ScopedMount() = default;

    QString m_path;
    bool m_mounted = false;
    std::unique_ptr<QTemporaryDir> m_mountPoint;
    bool m_hadTmpdir = false;
    QByteArray m_previousTmpdir;
};
