#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The list of a copy's files with their SHA-256, kept at the copy's root in
// the format of sha256sum, so that "sha256sum -c" run inside the copy checks
// it by hand too.
namespace rio::fs {

inline constexpr auto ManifestFileName = "copia_di_sicurezza.sha256";

struct ManifestEntry
{
    QString path;      // relative to the copy's root, with "/"
    QByteArray sha256; // lower-case hexadecimal
};
using Manifest = QList<ManifestEntry>;

// One line per file: hash, two blanks, path; a path holding "\" or a line
// break is escaped and its line starts with "\", as sha256sum does.
QByteArray manifestText(const Manifest& manifest);
// Reads that text (also the " *path" form of binary mode); lines that are not
// a hash and a path are left out.
Manifest parseManifest(const QByteArray& text);

// Writes the manifest at the root of the copy (a Windows folder path) and
// makes it reach the disk. Raises the run-time error on failure.
void writeManifest(const QString& windowsFolder, const Manifest& manifest);
// The manifest at the root of a copy; raises 53 when there is none.
Manifest readManifest(const QString& windowsFolder);

// Reads every file the manifest lists again and returns those that are
// missing or differ, each as "path (mancante)" or "path (contenuto diverso)";
// empty when the copy holds what the manifest says.
QStringList verifyManifest(const QString& windowsFolder, const Manifest& manifest,
                           const std::function<void()>& yield = {});

} // namespace rio::fs
