#include "data/sha256.h"

#include "data/fs_detail.h"

#include <QFile>

#include <openssl/evp.h>

#include <cerrno>
#include <new>

namespace rio::fs {

Sha256::Sha256() : m_context(EVP_MD_CTX_new())
{
    if (!m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_context);
}

void Sha256::add(const char* data, qsizetype size)
{
    EVP_DigestUpdate(m_context, data, size_t(size));
}

QByteArray Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, digest, &length);
    return QByteArray(reinterpret_cast<const char*>(digest), qsizetype(length)).toHex();
}

QByteArray sha256OfFile(const QString& hostFile, const QString& windowsPath,
                        const std::function<void()>& yield)
{
    QFile in(hostFile);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        detail::raiseSystemError(errno, hostFile, windowsPath);
    Sha256 hash;
    constexpr qint64 Chunk = 1 << 20;
    QByteArray buffer(Chunk, Qt::Uninitialized);
    for (int chunk = 1;; ++chunk) {
        errno = 0;
        const qint64 read = in.read(buffer.data(), Chunk);
        if (read < 0)
            detail::raiseSystemError(errno, hostFile, windowsPath);
        if (read == 0)
            break;
        hash.add(buffer.constData(), read);
        if (yield && chunk % 8 == 0)
            yield();
    }
    return hash.hexDigest();
}

} // namespace rio::fs
