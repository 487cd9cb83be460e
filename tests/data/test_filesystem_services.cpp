#include "data/error.h"
#include "data/filesystem.h"
#include "data/fs_detail.h"
#include "drive_fixture.h"
#include "support/raised_error.h"
#include "support/scoped_mount.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace fs = rio::fs;

class TestFilesystemServices : public DriveFixture
{
    Q_OBJECT

private slots:
    void init() { makeDrive(); }
    void cleanup() { dropDrive(); }

    void copyFolderCopiesTheWholeTree()
    {
        write(QStringLiteral("Zeta/dati/esercizi/Azienda_1/2023/dati.mdb"), "archivio");
        write(QStringLiteral("Zeta/dati/esercizi/Azienda_1/2023/note.txt"), "note");
        write(QStringLiteral("Zeta/dati/esercizi/Azienda_1/2023/Stampe/vuota/.keep"), "");
        write(QStringLiteral("Zeta/dati/Tmp/log_Riapertura_2024.txt"), "\"riga\"\r\n");
        int yields = 0;
        fs::CopyFolder(QStringLiteral("c:\\zeta\\DATI"), QStringLiteral("c:\\Zeta\\Copia_dati_07122026"),
                       [&] { ++yields; });
        QCOMPARE(read(QStringLiteral("Zeta/Copia_dati_07122026/esercizi/Azienda_1/2023/dati.mdb")),
                 QByteArray("archivio"));
        QCOMPARE(read(QStringLiteral("Zeta/Copia_dati_07122026/esercizi/Azienda_1/2023/note.txt")),
                 QByteArray("note"));
        QVERIFY(
            QFileInfo(host(QStringLiteral("Zeta/Copia_dati_07122026/esercizi/Azienda_1/2023/Stampe/vuota")))
                .isDir());
        QCOMPARE(read(QStringLiteral("Zeta/Copia_dati_07122026/Tmp/log_Riapertura_2024.txt")),
                 QByteArray("\"riga\"\r\n"));
        QVERIFY(yields >= 4); // once per file at least
    }

    void copyFolderOverwritesWithoutRegardToCaseAndKeepsOthers()
    {
        write(QStringLiteral("dati/esercizi/Azienda_1/2023/dati.mdb"), "nuovo");
        write(QStringLiteral("dati/esercizi/Azienda_1/2023/Sub/a.txt"), "A nuovo");
        write(QStringLiteral("dati/Esercizi/Azienda_1/2024/DATI.MDB"), "vecchio contenuto piu lungo");
        write(QStringLiteral("dati/Esercizi/Azienda_1/2024/SUB/A.TXT"), "A vecchio");
        write(QStringLiteral("dati/Esercizi/Azienda_1/2024/solo2024.txt"), "resta");
        fs::CopyFolder(QStringLiteral("C:\\dati\\esercizi\\Azienda_1\\2023"),
                       QStringLiteral("C:\\dati\\Esercizi\\Azienda_1\\2024"));
        const QString target = host(QStringLiteral("dati/Esercizi/Azienda_1/2024"));
        QStringList names = QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        QCOMPARE(names, QStringList({QStringLiteral("DATI.MDB"), QStringLiteral("SUB"),
                                     QStringLiteral("solo2024.txt")}));
        QCOMPARE(read(QStringLiteral("dati/Esercizi/Azienda_1/2024/DATI.MDB")), QByteArray("nuovo"));
        QCOMPARE(read(QStringLiteral("dati/Esercizi/Azienda_1/2024/SUB/A.TXT")), QByteArray("A nuovo"));
        QCOMPARE(QDir(target + QStringLiteral("/SUB")).entryList(QDir::Files),
                 QStringList{QStringLiteral("A.TXT")});
        QCOMPARE(read(QStringLiteral("dati/Esercizi/Azienda_1/2024/solo2024.txt")), QByteArray("resta"));
    }

    void copyFolderOfBigFile()
    {
        QByteArray big(5 * 1024 * 1024 + 123, Qt::Uninitialized);
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>(i * 7 + i / 1000);
        write(QStringLiteral("a/big.bin"), big);
        write(QStringLiteral("b/big.bin"), QByteArray(9 * 1024 * 1024, 'x'));
        fs::CopyFolder(QStringLiteral("C:\\a"), QStringLiteral("C:\\b"));
        QCOMPARE(read(QStringLiteral("b/big.bin")), big);
        QCOMPARE(QFileInfo(host(QStringLiteral("b/big.bin"))).lastModified(),
                 QFileInfo(host(QStringLiteral("a/big.bin"))).lastModified());
    }

    void copyFolderOntoAFullDisk_data()
    {
        QTest::addColumn<bool>("sourceOnTheSameDisk");
        QTest::newRow("the kernel's copy") << true;
        QTest::newRow("from another file system: read and write") << false;
    }

    // The copy stops at the file that does not fit, with the disk full and
    // that file named, whether the kernel copies or the data go through here;
    // the files before it are whole.
    void copyFolderOntoAFullDisk()
    {
        QFETCH(bool, sourceOnTheSameDisk);
        const auto disk = ScopedMount::tmpfs(4 * 1024 * 1024);
        if (!disk->isMounted())
            QSKIP("mounting is not allowed here");
        // Drive D: beside drive C on the small disk, or a link to a folder on another one.
        const QString driveD = disk->path() + QStringLiteral("/drive_d");
        if (sourceOnTheSameDisk)
            QVERIFY(QDir().mkpath(driveD));
        else
            QVERIFY(QFile::link(m_drive, driveD));
        QByteArray big(5 * 1024 * 1024 / (sourceOnTheSameDisk ? 2 : 1), Qt::Uninitialized);
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>(i * 7 + i / 1000);
        m_drive = driveD;
        write(QStringLiteral("sorgente/a.txt"), "prima");
        write(QStringLiteral("sorgente/b.bin"), big);
        m_drive = disk->path() + QStringLiteral("/drive_c");
        QDir().mkpath(m_drive);
        qputenv("RIAPERTURA_DRIVE_C", m_drive.toUtf8());

        QString text;
        int yields = 0;
        QCOMPARE(errorOf(
                     [&] {
                         fs::CopyFolder(QStringLiteral("D:\\sorgente"), QStringLiteral("C:\\copia"),
                                        [&] { ++yields; });
                     },
                     &text),
                 rio::err::DiskFull);
        QVERIFY2(text.endsWith(QStringLiteral("C:\\copia\\b.bin")), qPrintable(text));
        QCOMPARE(read(QStringLiteral("copia/a.txt")), QByteArray("prima"));
        QVERIFY(yields >= 2);
    }

    void copyFolderIntoAFolderEndingInBackslash()
    {
        write(QStringLiteral("dati/esercizi/Azienda_1/2023/dati.mdb"), "archivio");
        QDir().mkpath(host(QStringLiteral("Archivio")));
        fs::CopyFolder(QStringLiteral("C:\\DATI\\esercizi"), QStringLiteral("c:\\archivio\\"));
        QCOMPARE(read(QStringLiteral("Archivio/esercizi/Azienda_1/2023/dati.mdb")), QByteArray("archivio"));
        QCOMPARE(errorOf([] { fs::CopyFolder(QStringLiteral("C:\\dati"), QStringLiteral("C:\\manca\\")); }),
                 rio::err::PathNotFound);
        QVERIFY(!QFileInfo::exists(host(QStringLiteral("manca"))));
    }

    void copyFolderFailures()
    {
        QCOMPARE(errorOf([] { fs::CopyFolder(QStringLiteral("C:\\manca"), QStringLiteral("C:\\copia")); }),
                 rio::err::PathNotFound);
        QVERIFY(!QFileInfo::exists(host(QStringLiteral("copia"))));
        write(QStringLiteral("src/x.txt"), "x");
        QCOMPARE(
            errorOf([] { fs::CopyFolder(QStringLiteral("C:\\src"), QStringLiteral("C:\\nessuno\\copia")); }),
            rio::err::PathNotFound);
        QCOMPARE(
            errorOf([] { fs::CopyFolder(QStringLiteral("C:\\src"), QStringLiteral("C:\\SRC\\dentro")); }),
            rio::err::PathFileAccess);
        write(QStringLiteral("file"), "f");
        QCOMPARE(errorOf([] { fs::CopyFolder(QStringLiteral("C:\\src"), QStringLiteral("C:\\file")); }),
                 rio::err::PathFileAccess);
        // A file the copy cannot overwrite.
        write(QStringLiteral("ro/x.txt"), "ro");
        QFile::setPermissions(host(QStringLiteral("ro/x.txt")), QFileDevice::ReadOwner);
        if (QFile(host(QStringLiteral("ro/x.txt"))).open(QIODevice::WriteOnly))
            QSKIP("running with rights that ignore permissions");
        QCOMPARE(errorOf([] { fs::CopyFolder(QStringLiteral("C:\\src"), QStringLiteral("C:\\ro")); }),
                 rio::err::PermissionDenied);
    }

    void folderExists()
    {
        write(QStringLiteral("Programmi/Zeta/Dati/system/systemzeta.mdb"), "s");
        QVERIFY(fs::FolderExists(QStringLiteral("c:\\programmi\\zeta\\dati\\Tmp\\..\\system\\")));
        QVERIFY(fs::FolderExists(QStringLiteral("C:\\PROGRAMMI")));
        QVERIFY(!fs::FolderExists(QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb")));
        QVERIFY(!fs::FolderExists(QStringLiteral("C:\\Programmi\\Ventor Sistemi\\dati\\Tmp\\")));
        QVERIFY(!fs::FolderExists(QStringLiteral("Q:\\dati")));
    }

    void dirQuery()
    {
        write(QStringLiteral("Programmi/Ventor Sistemi/dati/esercizi/Azienda_1/2023/dati.mdb"), "a");
        write(QStringLiteral("Programmi/Ventor Sistemi/dati/esercizi/Azienda_1/2023/.nascosto"), "h");
        QDir().mkpath(host(QStringLiteral("Program Files (x86)")));
        QDir().mkpath(host(QStringLiteral("Programmi/Ventor Sistemi/dati/esercizi/Azienda_3/2024")));
        const QString base = QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\esercizi\\");
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_1\\2023\\dati.mdb")), QStringLiteral("dati.mdb"));
        QCOMPARE(fs::Dir(base + QStringLiteral("AZIENDA_1\\2023\\DATI.MDB"), fs::vbNormal),
                 QStringLiteral("dati.mdb"));
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_3\\2023\\dati.mdb")), QString());
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_7\\2023\\dati.mdb")), QString());
        // Folders only with vbDirectory.
        QCOMPARE(fs::Dir(QStringLiteral("C:\\Program Files (x86)"), fs::vbDirectory),
                 QStringLiteral("Program Files (x86)"));
        QCOMPARE(fs::Dir(QStringLiteral("C:\\program files (X86)"), fs::vbDirectory),
                 QStringLiteral("Program Files (x86)"));
        QCOMPARE(fs::Dir(QStringLiteral("C:\\Program Files (x86)")), QString());
        QCOMPARE(fs::Dir(QStringLiteral("C:\\Program Files"), fs::vbDirectory), QString());
        // Wildcards and folder listings; hidden names only when asked.
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_1\\2023\\*.MDB")), QStringLiteral("dati.mdb"));
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_1\\2023\\")), QStringLiteral("dati.mdb"));
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_1\\2023\\.nascosto")), QString());
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_1\\2023\\.nascosto"), fs::vbHidden),
                 QStringLiteral(".nascosto"));
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_?")), QString());
        QCOMPARE(fs::Dir(base + QStringLiteral("Azienda_?"), fs::vbDirectory), QStringLiteral("Azienda_1"));
        // A drive that is not there.
        QCOMPARE(errorOf([] { fs::Dir(QStringLiteral("Q:\\archivi\\dati.mdb")); }),
                 rio::err::DeviceUnavailable);
        QCOMPARE(errorOf([] { fs::Dir(QStringLiteral("\\\\server\\share\\dati.mdb")); }),
                 rio::err::DeviceUnavailable);
        QDir().mkpath(m_dir->path() + QStringLiteral("/drive_q/archivi"));
        QCOMPARE(fs::Dir(QStringLiteral("Q:\\archivi\\dati.mdb")), QString());
    }

    void mkDirMakesOneLevel()
    {
        QDir().mkpath(host(QStringLiteral("Programmi/Ventor Sistemi/Dati")));
        fs::MkDir(QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\Tmp\\"));
        QVERIFY(QFileInfo(host(QStringLiteral("Programmi/Ventor Sistemi/Dati/Tmp"))).isDir());
        QVERIFY(fs::FolderExists(QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\tmp\\")));
        QCOMPARE(errorOf([] { fs::MkDir(QStringLiteral("c:\\Programmi\\Ventor Sistemi\\DATI\\TMP")); }),
                 rio::err::PathFileAccess);
        QCOMPARE(errorOf([] { fs::MkDir(QStringLiteral("c:\\Programmi\\Zeta\\dati\\Tmp\\")); }),
                 rio::err::PathNotFound);
        QVERIFY(!QFileInfo::exists(host(QStringLiteral("Programmi/Zeta"))));
    }

    void systemErrorsMapToRunTimeNumbers_data()
    {
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("number");
        QTest::newRow("missing file") << ENOENT << "dati/x.mdb" << rio::err::FileNotFound;
        QTest::newRow("missing folder") << ENOENT << "manca/x.mdb" << rio::err::PathNotFound;
        QTest::newRow("not a folder") << ENOTDIR << "dati/x.mdb" << rio::err::PathNotFound;
        QTest::newRow("access") << EACCES << "dati/x.mdb" << rio::err::PermissionDenied;
        QTest::newRow("read-only disk") << EROFS << "dati/x.mdb" << rio::err::PermissionDenied;
        QTest::newRow("disk full") << ENOSPC << "dati/x.mdb" << rio::err::DiskFull;
        QTest::newRow("busy") << EBUSY << "dati/x.mdb" << rio::err::FileAlreadyOpen;
        QTest::newRow("name taken") << ENOTEMPTY << "dati" << rio::err::FileAlreadyExists;
        QTest::newRow("another disk") << EXDEV << "dati" << rio::err::RenameAcrossDisks;
        QTest::newRow("other") << EIO << "dati/x.mdb" << rio::err::PathFileAccess;
        QTest::newRow("is a folder") << EISDIR << "dati" << rio::err::PathFileAccess;
    }

    void systemErrorsMapToRunTimeNumbers()
    {
        QFETCH(int, systemError);
        QFETCH(QString, file);
        QFETCH(qint64, number);
        QDir().mkpath(host(QStringLiteral("dati")));
        try {
            rio::fs::detail::raiseSystemError(systemError, host(file), QStringLiteral("C:\\x"));
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), number);
            QVERIFY(e.description().endsWith(QStringLiteral(": C:\\x")));
        }
    }

    // A rename moves the whole folder under its new name; it never goes over
    // a name that is taken, even by an empty folder, nor to another drive.
    void nameRenamesAFolder()
    {
        write(QStringLiteral("Zeta/Dati/esercizi/Azienda_1/2023/dati.mdb"), "archivio");
        fs::Name(QStringLiteral("c:\\zeta\\dati"), QStringLiteral("c:\\Zeta\\Dati_prima_del_ripristino_1"));
        QVERIFY(!QDir(host(QStringLiteral("Zeta/Dati"))).exists());
        QCOMPARE(read(QStringLiteral("Zeta/Dati_prima_del_ripristino_1/esercizi/Azienda_1/2023/dati.mdb")),
                 QByteArray("archivio"));

        QDir().mkpath(host(QStringLiteral("Zeta/vuota")));
        QCOMPARE(errorOf([] {
                     fs::Name(QStringLiteral("c:\\Zeta\\Dati_prima_del_ripristino_1"),
                              QStringLiteral("c:\\Zeta\\VUOTA"));
                 }),
                 rio::err::FileAlreadyExists);
        QVERIFY(QDir(host(QStringLiteral("Zeta/Dati_prima_del_ripristino_1"))).exists());
        QCOMPARE(
            errorOf([] { fs::Name(QStringLiteral("c:\\Zeta\\manca"), QStringLiteral("c:\\Zeta\\altro")); }),
            rio::err::FileNotFound);
        QDir().mkpath(m_dir->path() + QStringLiteral("/drive_d"));
        QCOMPARE(errorOf([] {
                     fs::Name(QStringLiteral("c:\\Zeta\\Dati_prima_del_ripristino_1"),
                              QStringLiteral("d:\\dati"));
                 }),
                 rio::err::RenameAcrossDisks);
    }

    void errorsCarryNumberAndItalianText()
    {
        try {
            fs::MkDir(QStringLiteral("c:\\manca\\Tmp"));
            QFAIL("no error");
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), rio::err::PathNotFound);
            QCOMPARE(e.description(), QStringLiteral("Impossibile trovare il percorso: c:\\manca\\Tmp"));
        }
    }
};

QTEST_GUILESS_MAIN(TestFilesystemServices)
#include "test_filesystem_services.moc"
