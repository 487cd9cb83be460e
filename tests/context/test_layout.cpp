#include "context/layout.h"
#include "support/years.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace rio::layout;

namespace {

OsVersionInfo version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor)
{
    OsVersionInfo v;
    v.size = 148;
    v.platformId = platform;
    v.majorVersion = major;
    v.minorVersion = minor;
    return v;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void versionNames_data()
    {
        QTest::addColumn<uint>("platform");
        QTest::addColumn<uint>("major");
        QTest::addColumn<uint>("minor");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cartella");
        const QString programmi = QStringLiteral("Programmi");
        const QString programFiles = QStringLiteral("Program files");
        QTest::newRow("3.x") << 0u << 3u << 11u << "Windows 3.x" << programmi;
        QTest::newRow("failed query, zeroed") << 0u << 0u << 0u << "Windows 3.x" << programmi;
        QTest::newRow("95") << 1u << 4u << 0u << "Windows 95" << programmi;
        QTest::newRow("95 any major") << 1u << 7u << 0u << "Windows 95" << programmi;
        QTest::newRow("98 OSR2") << 1u << 4u << 10u << "Windows 98 OSR2" << programmi;
        QTest::newRow("98") << 1u << 5u << 10u << "Windows 98" << programmi;
        QTest::newRow("Me") << 1u << 4u << 90u << "Windows Millenium" << programmi;
        QTest::newRow("9x other minor") << 1u << 4u << 3u << "" << programmi;
        QTest::newRow("NT 3.51") << 2u << 3u << 51u << "Windows NT 3.51" << programmi;
        QTest::newRow("NT 4") << 2u << 4u << 0u << "Windows NT 4.0" << programmi;
        QTest::newRow("2000") << 2u << 5u << 0u << "Windows 2000" << programmi;
        QTest::newRow("XP") << 2u << 5u << 1u << "Windows XP" << programmi;
        QTest::newRow("XP 64 / 2003") << 2u << 5u << 2u << "Windows XP" << programmi;
        QTest::newRow("Vista") << 2u << 6u << 0u << "Windows Vista" << programFiles;
        QTest::newRow("7") << 2u << 6u << 1u << "Windows 7" << programFiles;
        QTest::newRow("8 reports 6.2") << 2u << 6u << 2u << "Windows Vista" << programFiles;
        QTest::newRow("8.1 reports 6.3") << 2u << 6u << 3u << "Windows Vista" << programFiles;
        QTest::newRow("10 as 10.0") << 2u << 10u << 0u << "" << programmi;
        QTest::newRow("NT major 2") << 2u << 2u << 0u << "" << programmi;
        QTest::newRow("CE") << 3u << 6u << 1u << "Failed" << programmi;
    }

    void versionNames()
    {
        QFETCH(uint, platform);
        QFETCH(uint, major);
        QFETCH(uint, minor);
        QFETCH(QString, name);
        QFETCH(QString, cartella);
        const QString got = NomeSistemaOperativo(version(platform, major, minor));
        QCOMPARE(got, name);
        QCOMPARE(programsFolderName(got), cartella);
    }

    void cartellaProgrammiComparesUpperCase()
    {
        QCOMPARE(programsFolderName(QStringLiteral("windows 7")), QStringLiteral("Program files"));
        QCOMPARE(programsFolderName(QStringLiteral("WINDOWS VISTA")), QStringLiteral("Program files"));
        QCOMPARE(programsFolderName(QStringLiteral("Windows 7 ")), QStringLiteral("Programmi"));
        QCOMPARE(programsFolderName(QStringLiteral("Failed")), QStringLiteral("Programmi"));
        QCOMPARE(programsFolderName(QString()), QStringLiteral("Programmi"));
    }

    void queryOnThisPlatform()
    {
        const OsVersionInfo v = queryWindowsVersion();
        QCOMPARE(v.size, 148u);
#ifndef Q_OS_WIN
        // The query fails here: the record keeps its zeroed fields.
        QCOMPARE(v.majorVersion, 0u);
        QCOMPARE(v.minorVersion, 0u);
        QCOMPARE(v.buildNumber, 0u);
        QCOMPARE(v.platformId, 0u);
        for (char c : v.servicePack)
            QCOMPARE(c, ' ');
        QCOMPARE(NomeSistemaOperativo(), QStringLiteral("Windows 3.x"));
        QCOMPARE(programsFolderName(NomeSistemaOperativo()), QStringLiteral("Programmi"));
#endif
    }

    void installationRootTable_data()
    {
        QTest::addColumn<int>("sorgente");
        QTest::addColumn<bool>("splus");
        QTest::addColumn<bool>("x86");
        QTest::addColumn<QString>("percorso");
        QTest::addColumn<QString>("cartella");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("mdw");
        const QString p = QStringLiteral("Programmi");
        const QString pf = QStringLiteral("Program files");
        const QString mdw64 =
            QStringLiteral("C:\\Program Files (x86)\\Ventor Sistemi\\Dati\\system\\System.mdw");
        const QString mdwP = QStringLiteral("c:\\Programmi\\Ventor Sistemi\\Dati\\system\\System.mdw");
        const QString mdwPf = QStringLiteral("c:\\Program files\\Ventor Sistemi\\Dati\\system\\System.mdw");
        QTest::newRow("64-bit 7, LOCAL")
            << 0 << false << true << "" << pf << "C:\\Program Files (x86)\\Ventor Sistemi\\" << mdw64;
        QTest::newRow("64-bit XP, LOCAL")
            << 0 << false << true << "" << p << "C:\\Program Files (x86)\\Ventor Sistemi\\" << mdw64;
        QTest::newRow("32-bit XP, LOCAL")
            << 0 << false << false << "" << p << "c:\\Programmi\\Ventor Sistemi\\" << mdwP;
        QTest::newRow("32-bit 7, LOCAL")
            << 0 << false << false << "" << pf << "c:\\Program files\\Ventor Sistemi\\" << mdwPf;
        QTest::newRow("32-bit XP, splus") << 0 << true << false << "" << p << "c:\\Programmi\\Zeta\\" << mdwP;
        QTest::newRow("64-bit 7, splus")
            << 0 << true << true << "" << pf << "c:\\Program files\\Zeta\\" << mdw64;
        QTest::newRow("64-bit XP, splus") << 0 << true << true << "" << p << "c:\\Programmi\\Zeta\\" << mdw64;
        QTest::newRow("LOCAL ignores Percorso")
            << 0 << false << false << "X:\\archivi\\" << p << "c:\\Programmi\\Ventor Sistemi\\" << mdwP;
        QTest::newRow("SERVER") << 1 << false << false << "X:\\archivi\\" << p << "X:\\archivi\\" << mdwP;
        QTest::newRow("SERVER ignores splus and x86")
            << 1 << true << true << "\\\\srv\\Zeta\\" << pf << "\\\\srv\\Zeta\\" << mdw64;
        QTest::newRow("SERVER, any other index")
            << 5 << false << false << "X:\\archivi\\" << p << "X:\\archivi\\" << mdwP;
        QTest::newRow("SERVER, Percorso without final backslash")
            << 1 << false << false << "X:\\archivi" << p << "X:\\archivi\\" << mdwP;
        QTest::newRow("SERVER, Percorso ending in slash")
            << 1 << false << false << "X:/archivi/" << p << "X:/archivi/" << mdwP;
        QTest::newRow("SERVER, empty Percorso") << 1 << false << false << "" << p << "" << mdwP;
    }

    void installationRootTable()
    {
        QFETCH(int, sorgente);
        QFETCH(bool, splus);
        QFETCH(bool, x86);
        QFETCH(QString, percorso);
        QFETCH(QString, cartella);
        QFETCH(QString, base);
        QFETCH(QString, mdw);
        QCOMPARE(installationRoot(sorgente ? rio::DataSource::Server : rio::DataSource::Local, splus, x86,
                                  percorso, cartella),
                 base);
        QCOMPARE(workgroupFilePath(x86, cartella), mdw);
    }

    void pathsUnderTheRoot()
    {
        const QString r = QStringLiteral("c:\\Programmi\\Ventor Sistemi\\");
        QCOMPARE(companyFolderName(3), QStringLiteral("Azienda_3"));
        QCOMPARE(companyFolderName(10), QStringLiteral("Azienda_10"));
        QCOMPARE(dataFolder(r), QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati"));
        QCOMPARE(tempFolder(r), QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\Tmp\\"));
        QCOMPARE(logFilePath(r), years::fill(QStringLiteral(
                                     "c:\\Programmi\\Ventor Sistemi\\dati\\tmp\\log_Riapertura_{new}.txt")));
        QCOMPARE(oldArchivePath(r, 10),
                 years::fill(QStringLiteral(
                     "c:\\Programmi\\Ventor Sistemi\\dati\\esercizi\\Azienda_10\\{old}\\dati.mdb")));
        QCOMPARE(
            oldCompanyFolder(r, 4),
            years::fill(QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\esercizi\\Azienda_4\\{old}")));
        QCOMPARE(
            newCompanyFolder(r, 4),
            years::fill(QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\Esercizi\\Azienda_4\\{new}")));
        QCOMPARE(archivePath(r, companyFolderName(2), years::Old),
                 years::fill(QStringLiteral(
                     "c:\\Programmi\\Ventor Sistemi\\Dati\\Esercizi\\Azienda_2\\{old}\\dati.mdb")));
        QCOMPARE(archivePath(r, QStringLiteral("Azienda_2"), AnnoDaAprire),
                 years::fill(QStringLiteral(
                     "c:\\Programmi\\Ventor Sistemi\\Dati\\Esercizi\\Azienda_2\\{new}\\dati.mdb")));
        QCOMPARE(safetyCopyName(QDate(2026, 12, 7)), QStringLiteral("Copia_dati_07122026"));
        QCOMPARE(safetyCopyName(QDate(2024, 1, 31)), QStringLiteral("Copia_dati_31012024"));
        // From a SERVER root: plain concatenation.
        QCOMPARE(oldArchivePath(installationRoot(rio::DataSource::Server, false, false,
                                                 QStringLiteral("X:\\archivi\\"), QString()),
                                1),
                 years::fill(QStringLiteral("X:\\archivi\\dati\\esercizi\\Azienda_1\\{old}\\dati.mdb")));
        QCOMPARE(oldArchivePath(installationRoot(rio::DataSource::Server, false, false,
                                                 QStringLiteral("X:\\archivi"), QString()),
                                1),
                 years::fill(QStringLiteral("X:\\archivi\\dati\\esercizi\\Azienda_1\\{old}\\dati.mdb")));
        QCOMPARE(QString::fromLatin1(SystemDatabasePath),
                 QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb"));
    }

    void connectionStrings()
    {
        // Character by character, as the product's provider reads them.
        const QString form1 = QStringLiteral(
            "Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;"
            "Data Source=C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb;Persist Security Info=True;"
            "Jet OLEDB:System database=c:\\programmi\\zeta\\dati\\system\\system.mdw");
        QCOMPARE(systemConnectionString(), form1);
        QCOMPARE(systemConnectionString().size(), 221);

        const QString r = QStringLiteral("C:\\Program Files (x86)\\Ventor Sistemi\\");
        const QString mdw = workgroupFilePath(true, QStringLiteral("Program files"));
        const QString form2 = years::fill(QStringLiteral(
            "Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;"
            "Data Source=C:\\Program Files (x86)\\Ventor Sistemi\\Dati\\Esercizi\\Azienda_7\\{new}\\dati.mdb;"
            "Persist Security Info=True;"
            "Jet OLEDB:System database=C:\\Program Files (x86)\\Ventor Sistemi\\Dati\\system\\System.mdw"));
        QCOMPARE(archiveConnectionString(archivePath(r, companyFolderName(7), years::New), mdw), form2);
        QCOMPARE(archiveConnectionString(oldArchivePath(r, 1), mdw),
                 years::fill(QStringLiteral(
                     "Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;"
                     "Data Source=C:\\Program Files (x86)\\Ventor Sistemi\\dati\\esercizi\\Azienda_1\\{old}\\"
                     "dati.mdb;Persist Security Info=True;Jet OLEDB:System database=C:\\Program Files "
                     "(x86)\\Ventor Sistemi\\Dati\\system\\System.mdw")));
        // Nothing is trimmed or inserted around the pieces.
        QCOMPARE(archiveConnectionString(QStringLiteral(" a "), QStringLiteral(" b ")),
                 QStringLiteral(
                     "Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;Data Source= a "
                     ";Persist Security Info=True;Jet OLEDB:System database= b "));
    }

    void sixtyFourBitFolderTest()
    {
        QTemporaryDir dir;
        const QString drive = dir.path() + QStringLiteral("/drive_c");
        qputenv("RIAPERTURA_DRIVE_C", drive.toUtf8());
        QVERIFY(QDir().mkpath(drive + QStringLiteral("/Programmi")));
        QVERIFY(!has64BitProgramFolder());
        QVERIFY(QDir().mkpath(drive + QStringLiteral("/program files (X86)")));
        QVERIFY(has64BitProgramFolder());
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "test_layout.moc"
