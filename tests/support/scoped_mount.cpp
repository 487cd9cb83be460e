#include "scoped_mount.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <sys/mount.h>

namespace {

QByteArray sizeOption(qint64 bytes)
{
    return "size=" + QByteArray::number(bytes);
}

} // namespace

std::unique_ptr<ScopedMount> ScopedMount::tmpfs(qint64 bytes)
{
    std::unique_ptr<ScopedMount> m(new ScopedMount);
    m->m_mountPoint = std::make_unique<QTemporaryDir>();
    m->m_path = m->m_mountPoint->path();
    const QByteArray path = QFile::encodeName(m->m_path);
    m->m_mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, sizeOption(bytes).constData()) == 0;
    if (m->m_mounted) {
        m->m_hadTmpdir = qEnvironmentVariableIsSet("TMPDIR");
        m->m_previousTmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", path);
    }
    return m;
}

std::unique_ptr<ScopedMount> ScopedMount::readOnly(const QString& folder)
{
    std::unique_ptr<ScopedMount> m(new ScopedMount);
    m->m_path = folder;
    const QByteArray path = QFile::encodeName(folder);
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        return m;
    m->m_mounted = true;
    // A bind mount takes read-only only on a remount of itself.
    if (::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        ::umount2(path.constData(), MNT_DETACH);
        m->m_mounted = false;
    }
    return m;
}

ScopedMount::~ScopedMount()
{
    if (!m_mounted)
        return;
    if (m_mountPoint) {
        if (m_hadTmpdir)
            qputenv("TMPDIR", m_previousTmpdir);
        else
            qunsetenv("TMPDIR");
    }
    ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

qint64 ScopedMount::used() const
{
    const QStorageInfo info(m_path);
    return info.bytesTotal() - info.bytesFree();
}

bool ScopedMount::resize(qint64 bytes)
{
    return ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", MS_REMOUNT,
                   sizeOption(bytes).constData()) == 0;
}
