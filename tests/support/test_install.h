#pragma once

#include "years.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// A throw-away product installation under a temporary drive C: (set through
// RIAPERTURA_DRIVE_C for the life of the object): the system database, both
// workgroup files, and company archives built on demand. Files are written
// with Qt's SQLite driver directly, independent of the code under test.
class TestInstall
{
public:
    TestInstall();
    ~TestInstall();

    QString driveC() const; // host folder of C:
    // The local root of a 32-bit machine without chkSplus, and its workgroup file.
    static QString base() { return QStringLiteral("c:\\Programmi\\Ventor Sistemi\\"); }
    static QString mdw() { return QStringLiteral("c:\\Programmi\\Ventor Sistemi\\Dati\\system\\System.mdw"); }
    // Host path of a Windows path (folders resolved without regard to case).
    QString host(const QString& windowsPath) const;

    // An archive with the product's tables, its AZIENDE row ("Azienda_<slot>",
    // name "Azienda <slot> S.r.l."), one CONTATORI row of non-zero counters and
    // the demo causals; returns its host path.
    QString createArchive(int slot, int year = years::Old);
    static QString archiveWindowsPath(int slot, int year);
    // Two articles, three stock movements and one open item, so that a whole
    // run has something to carry.
    static void addSampleData(const QString& archiveHost);
    // A company ready for a run: its old-year archive with the sample data.
    QString addCompany(int slot);
    // What makes a run end with something to check by hand: two articles
    // whose codes differ only in case, both with movements (the stock rules
    // give both to one: a warning, no mismatch).
    static void addTwinArticles(const QString& archiveHost);
    // What makes a run end with errors: an open item without its document
    // number, which the accounting writer refuses.
    static void addRefusedOpenItem(const QString& archiveHost);
    QString archiveHost(int slot, int year = years::Old) const;

    // Relative path -> SHA-256 of the content, for every file under a folder.
    static QMap<QString, QByteArray> fingerprint(const QString& folder);

    // Plain SQL on a host file (Qt's SQLite driver, nothing translated).
    static void exec(const QString& hostFile, const QString& sql);
    // Many statements in one transaction (one file sync instead of one each).
    static void execAll(const QString& hostFile, const QStringList& statements);
    // Leaves a database as a process killed in the middle of running the
    // statement would: part of the write in the file, a hot journal beside it.
    static void leaveInterruptedWrite(const QString& hostFile, const QString& sql);
    // Overwrites the page in the middle of a database file with garbage, as a
    // failing disk or a stray write would: the file still opens.
    static void overwriteMiddlePage(const QString& hostFile);
    static QVariant scalar(const QString& hostFile, const QString& sql);
    static QList<QVariantList> rows(const QString& hostFile, const QString& sql);
    static void createDatabase(const QString& hostFile, const QStringList& statements);

private:
    QTemporaryDir m_dir;
    QByteArray m_previousDrive;
    bool m_hadPreviousDrive = false;
};
