#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// What a run leaves, in forms that compare: the files of a folder by their
// content, and the archives by what they hold.

// Relative path -> SHA-256 of the content (TestInstall::fingerprint).
using Fingerprint = QMap<QString, QByteArray>;

// The same files less those under tmp/, which every run writes anew.
Fingerprint withoutTmp(Fingerprint files);

// The files that differ, joined with commas: those of before changed or
// missing in after by name, those new in after as "+name"; empty when equal.
QString differences(const Fingerprint& before, const Fingerprint& after);

// Every table of an archive, its schema line first, then its rows in rowid
// order as text, leaving out the values the run takes from the clock. One
// read-only connection: opening never recovers, so never changes, the file.
using Dump = QMap<QString, QStringList>;

// The dump of an archive on the host; throws std::runtime_error with the
// driver's text when it cannot be read.
Dump dumpArchive(const QString& file);

// The first difference between two dumps, empty when equal.
QString firstDifference(const Dump& got, const Dump& expected);
