#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct evp_md_ctx_st;

namespace rio::fs {

// SHA-256 through OpenSSL, which uses the processor's SHA instructions where
// there are some: hashing a copy must cost little beside the copy itself.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const char* data, qsizetype size);
    // The digest in lower-case hexadecimal, as sha256sum prints it; ends the hash.
    QByteArray hexDigest();

private:
    evp_md_ctx_st* m_context;
};

// SHA-256 of a host file in lower-case hexadecimal; yield runs every few
// megabytes. Raises the run-time error of a file that cannot be read.
QByteArray sha256OfFile(const QString& hostFile, const QString& windowsPath,
                        const std::function<void()>& yield = {});

} // namespace rio::fs
