#include "data/filesystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using rio::fs::driveCFolder;
using rio::fs::hostPath;

class TestFilesystemPaths : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_drive;

    void makeDir(const QString& relative) { QVERIFY(QDir().mkpath(m_drive + QLatin1Char('/') + relative)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_drive = m_dir.path() + QStringLiteral("/drive_c");
        qputenv("RIAPERTURA_DRIVE_C", m_drive.toUtf8());
        makeDir(QStringLiteral("Programmi/Ventor Sistemi/Dati/Esercizi/Azienda_1/2023"));
    }

    void driveFolderFromEnvironment()
    {
        QCOMPARE(driveCFolder(), m_drive);
        qputenv("RIAPERTURA_DRIVE_C", "");
        QCOMPARE(driveCFolder(), QDir::homePath() + QStringLiteral("/.local/share/riapertura/drive_c"));
        qputenv("RIAPERTURA_DRIVE_C", m_drive.toUtf8());
    }

    void componentsResolvedWithoutCase_data()
    {
        QTest::addColumn<QString>("windows");
        QTest::addColumn<QString>("host");
        const QString base = QStringLiteral("/Programmi/Ventor Sistemi/Dati/Esercizi/Azienda_1/2023");
        QTest::newRow("exact") << "C:\\Programmi\\Ventor Sistemi\\Dati\\Esercizi\\Azienda_1\\2023" << base;
        QTest::newRow("lower drive and names")
            << "c:\\programmi\\ventor sistemi\\dati\\esercizi\\azienda_1\\2023" << base;
        QTest::newRow("trailing backslash")
            << "c:\\Programmi\\Ventor Sistemi\\DATI\\esercizi\\Azienda_1\\2023\\" << base;
        QTest::newRow("doubled backslash")
            << "c:\\Programmi\\\\Ventor Sistemi\\dati\\\\esercizi\\Azienda_1\\2023" << base;
        QTest::newRow("forward slashes")
            << "C:/programmi/Ventor Sistemi/dati/esercizi/Azienda_1/2023" << base;
        QTest::newRow("missing keeps spelling")
            << "c:\\programmi\\ventor sistemi\\dati\\Tmp\\log_Riapertura_2024.txt"
            << "/Programmi/Ventor Sistemi/Dati/Tmp/log_Riapertura_2024.txt";
        QTest::newRow("missing in the middle") << "C:\\programmi\\Nuova\\dati\\x.mdb"
                                               << "/Programmi/Nuova/dati/x.mdb";
        QTest::newRow("dot dot") << "c:\\programmi\\zeta\\..\\ventor sistemi"
                                 << "/Programmi/Ventor Sistemi";
        QTest::newRow("drive root") << "C:\\"
                                    << "";
        QTest::newRow("rooted without drive") << "\\programmi"
                                              << "/Programmi";
    }

    void componentsResolvedWithoutCase()
    {
        QFETCH(QString, windows);
        QFETCH(QString, host);
        QCOMPARE(hostPath(windows), m_drive + host);
    }

    void exactSpellingWinsOverCaseTwins()
    {
        makeDir(QStringLiteral("Twins/dati"));
        makeDir(QStringLiteral("Twins/Dati"));
        makeDir(QStringLiteral("Twins/DATI"));
        QCOMPARE(hostPath(QStringLiteral("C:\\Twins\\Dati")), m_drive + QStringLiteral("/Twins/Dati"));
        QCOMPARE(hostPath(QStringLiteral("C:\\Twins\\dati")), m_drive + QStringLiteral("/Twins/dati"));
        // No exact match: the first in sorted order.
        QCOMPARE(hostPath(QStringLiteral("C:\\Twins\\dAti")), m_drive + QStringLiteral("/Twins/DATI"));
    }

    void otherDrivesAndUncAreSiblings()
    {
        QCOMPARE(hostPath(QStringLiteral("X:\\archivi\\dati")),
                 m_dir.path() + QStringLiteral("/drive_x/archivi/dati"));
        QCOMPARE(hostPath(QStringLiteral("x:\\")), m_dir.path() + QStringLiteral("/drive_x"));
        QCOMPARE(hostPath(QStringLiteral("\\\\server\\share\\Zeta\\dati")),
                 m_dir.path() + QStringLiteral("/unc/server/share/Zeta/dati"));
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/unc/Server/Dati")));
        QCOMPARE(hostPath(QStringLiteral("\\\\SERVER\\dati\\x")),
                 m_dir.path() + QStringLiteral("/unc/Server/Dati/x"));
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/drive_x/Archivi")));
        QCOMPARE(hostPath(QStringLiteral("X:\\ARCHIVI\\")),
                 m_dir.path() + QStringLiteral("/drive_x/Archivi"));
    }

    void concatenationAsTheCoreFormsIt()
    {
        // "c:\" & CartellaProgrammi & "\Ventor Sistemi\" & "dati\esercizi\..."
        const QString windows = QStringLiteral("c:\\") + QStringLiteral("Programmi") +
                                QStringLiteral("\\Ventor Sistemi\\") +
                                QStringLiteral("dati\\esercizi\\Azienda_1\\2023");
        QCOMPARE(hostPath(windows),
                 m_drive + QStringLiteral("/Programmi/Ventor Sistemi/Dati/Esercizi/Azienda_1/2023"));
    }

    void filesResolveLikeFolders()
    {
        QFile f(m_drive + QStringLiteral("/Programmi/Ventor Sistemi/Dati/Esercizi/Azienda_1/2023/DATI.MDB"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(hostPath(QStringLiteral(
                     "c:\\programmi\\ventor sistemi\\dati\\esercizi\\Azienda_1\\2023\\dati.mdb")),
                 f.fileName());
    }
};

QTEST_GUILESS_MAIN(TestFilesystemPaths)
#include "test_filesystem_paths.moc"
