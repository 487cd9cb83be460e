#include "test_install.h"

#include "data/database.h"
#include "data/filesystem.h"
#include "data/product_schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <stdexcept>

namespace {

// Runs f on a private connection to the file, then removes the connection.
template <typename F> auto withDatabase(const QString& hostFile, F f)
{
    const QString name = QStringLiteral("test-") + QUuid::createUuid().toString();
    decltype(f(std::declval<QSqlDatabase&>())) result{};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(hostFile);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
        result = f(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QSqlQuery run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw std::runtime_error(QString(sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    return q;
}

} // namespace

TestInstall::TestInstall()
{
    // Tests registered with ODBC_TOO run a second time through ODBC. Only
    // switched on here: a test may have switched it on itself.
    if (qgetenv("RIO_TEST_DB_DRIVER") == "odbc")
        rio::Connection::setSqliteThroughOdbc(true);
    m_hadPreviousDrive = qEnvironmentVariableIsSet("RIAPERTURA_DRIVE_C");
    m_previousDrive = qgetenv("RIAPERTURA_DRIVE_C");
    qputenv("RIAPERTURA_DRIVE_C", driveC().toUtf8());
    QDir().mkpath(driveC());
    const QStringList workgroup = rio::schema::workgroupStatements();
    createDatabase(host(QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\system.mdw")), workgroup);
    createDatabase(host(mdw()), workgroup);
    createDatabase(host(QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb")),
                   rio::schema::systemStatements(base(), years::Old));
}

TestInstall::~TestInstall()
{
    if (m_hadPreviousDrive)
        qputenv("RIAPERTURA_DRIVE_C", m_previousDrive);
    else
        qunsetenv("RIAPERTURA_DRIVE_C");
}

QString TestInstall::driveC() const
{
    return m_dir.path() + QStringLiteral("/drive_c");
}

QString TestInstall::host(const QString& windowsPath) const
{
    return rio::fs::hostPath(windowsPath);
}

QString TestInstall::archiveWindowsPath(int slot, int year)
{
    return base() + QStringLiteral("dati\\esercizi\\Azienda_%1\\%2\\dati.mdb").arg(slot).arg(year);
}

void TestInstall::addSampleData(const QString& archive)
{
    exec(archive, QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1) values "
                                 "('A1', 'Viti', 0), ('B2', 'Bulloni', 0)"));
    exec(archive, QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) values "
                                 "('A1', '01', 5), ('A1', '02', 2.5), ('B2', '01', -1)"));
    exec(archive,
         years::fill(QStringLiteral(
             "insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
             "Numero_Documento, Totale_Mov_Cont) values ('{old}-03-01', 'C', '001', 'FT', 12, 100)")));
}

void TestInstall::addTwinArticles(const QString& archive)
{
    exec(archive, QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1) values "
                                 "('d4', 'Rondelle', 0), ('D4', 'Rondelle grandi', 7)"));
    exec(archive,
         QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) values ('D4', '02', 3), ('d4', '01', 1)"));
}

void TestInstall::addRefusedOpenItem(const QString& archive)
{
    exec(archive, years::fill(QStringLiteral("insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, "
                                             "Tipo_Documento, Numero_Documento, Totale_Mov_Cont) values "
                                             "('{old}-05-02', 'F', '900', 'FA', '   ', 30)")));
}

QString TestInstall::addCompany(int slot)
{
    const QString archive = createArchive(slot);
    addSampleData(archive);
    return archive;
}

QString TestInstall::archiveHost(int slot, int year) const
{
    return host(archiveWindowsPath(slot, year));
}

QString TestInstall::createArchive(int slot, int year)
{
    QStringList tables;
    const auto causals = rio::schema::demoCausals();
    for (const auto& c : causals)
        if (!c.tabella.isEmpty())
            tables << c.tabella;
    QStringList s = rio::schema::archiveStatements(tables);
    s << QStringLiteral(
             "insert into AZIENDE(ID_Azienda, Ragione_Sociale1) values('Azienda_%1', 'Azienda %1 S.r.l.')")
             .arg(slot);
    QStringList setCounters;
    const qsizetype counters = rio::schema::counterFields().size();
    for (qsizetype i = 0; i < counters; ++i)
        setCounters << QString::number(7 + i);
    s << QStringLiteral("insert into CONTATORI values(%1)").arg(setCounters.join(QLatin1Char(',')));
    for (const auto& c : causals) {
        s << QStringLiteral(
                 "insert into CAUSALI(Tipo_Causale, Descrizione, Nome_Tabella_Archiviazione_dati_documento, "
                 "Attivazione_causale) values('%1', 'Causale %1', %2, %3)")
                 .arg(c.tipo, c.tabella.isEmpty() ? QStringLiteral("NULL")
                                                  : QLatin1Char('\'') + c.tabella + QLatin1Char('\''))
                 .arg(c.attiva ? 1 : 0);
    }
    const QString file = archiveHost(slot, year);
    createDatabase(file, s);
    return file;
}

void TestInstall::createDatabase(const QString& hostFile, const QStringList& statements)
{
    QDir().mkpath(QFileInfo(hostFile).absolutePath());
    QFile::remove(hostFile);
    execAll(hostFile, statements);
}

QMap<QString, QByteArray> TestInstall::fingerprint(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(path),
                         QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

void TestInstall::exec(const QString& hostFile, const QString& sql)
{
    withDatabase(hostFile, [&](QSqlDatabase& db) {
        run(db, sql);
        return 0;
    });
}

void TestInstall::execAll(const QString& hostFile, const QStringList& statements)
{
    withDatabase(hostFile, [&](QSqlDatabase& db) {
        db.transaction();
        for (const QString& sql : statements)
            run(db, sql);
        db.commit();
        return 0;
    });
}

void TestInstall::overwriteMiddlePage(const QString& hostFile)
{
    constexpr qint64 Page = 4096;
    QFile file(hostFile);
    if (!file.open(QIODevice::ReadWrite) || file.size() < 3 * Page)
        qFatal("overwriteMiddlePage: %s is not a database of several pages", qPrintable(hostFile));
    file.seek(file.size() / Page / 2 * Page);
    file.write(QByteArray(Page, '\x5a'));
}

void TestInstall::leaveInterruptedWrite(const QString& hostFile, const QString& sql)
{
    // The write runs on a scratch copy with a tiny page cache, so that the
    // engine spills changed pages into the file after journalling them; the
    // pair of files taken at that moment is what a kill leaves behind.
    const auto require = [](bool ok, const char* what) {
        if (!ok)
            qFatal("leaveInterruptedWrite: %s", what);
    };
    const QString scratch = hostFile + QStringLiteral(".scratch");
    QFile::remove(scratch);
    require(QFile::copy(hostFile, scratch), "copy");
    withDatabase(scratch, [&](QSqlDatabase& db) {
        run(db, QStringLiteral("pragma cache_size = 2"));
        run(db, QStringLiteral("begin"));
        run(db, sql);
        run(db, QStringLiteral("create table zz_spill(x)"));
        run(db, QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 64) "
                               "insert into zz_spill select randomblob(4000) from n"));
        require(QFile::exists(scratch + QStringLiteral("-journal")), "no journal");
        QFile::remove(hostFile);
        require(QFile::copy(scratch, hostFile), "copy back");
        require(QFile::copy(scratch + QStringLiteral("-journal"), hostFile + QStringLiteral("-journal")),
                "journal copy");
        run(db, QStringLiteral("rollback"));
        return 0;
    });
    QFile::remove(scratch);
}

QVariant TestInstall::scalar(const QString& hostFile, const QString& sql)
{
    return withDatabase(hostFile, [&](QSqlDatabase& db) {
        QSqlQuery q = run(db, sql);
        return q.next() ? q.value(0) : QVariant();
    });
}

QList<QVariantList> TestInstall::rows(const QString& hostFile, const QString& sql)
{
    return withDatabase(hostFile, [&](QSqlDatabase& db) {
        QSqlQuery q = run(db, sql);
        QList<QVariantList> out;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out << row;
        }
        return out;
    });
}
