// The file services never go through a link: met where they read, write,
// rename or remove (as a link made after the check would be), it is refused
// by its path and nothing outside changes.
#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "drive_fixture.h"
#include "support/outside_folder.h"
#include "support/raised_error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace fs = rio::fs;

class TestFilesystemLinks : public DriveFixture
{
    Q_OBJECT

private slots:
    void init() { makeDrive(); }
    void cleanup() { dropDrive(); }

    // A link met where a service reads, writes, renames or removes, as if
    // made after the check: refused with its path, nothing outside changed.
    // A link inside a folder being removed is removed itself.
    void aLinkIsNeverFollowed_data()
    {
        QTest::addColumn<QString>("operation"); // copy, hashed copy, remove, rename, log
        QTest::addColumn<QString>("link");      // under drive C:
        QTest::addColumn<QString>("target");    // in the outside folder; ".." as it is
        QTest::addColumn<QString>("refused");   // the path named, empty: done
        const QString copy = QStringLiteral("copy");
        const QString hashed = QStringLiteral("hashed copy");
        for (const QString& how : {copy, hashed}) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(how + QLatin1String(name)));
            };
            row(": a file of the source")
                << how << QStringLiteral("src/leggimi.txt") << QStringLiteral("fuori.txt")
                << QStringLiteral("C:\\src\\leggimi.txt");
            row(": a folder of the source, back up the tree")
                << how << QStringLiteral("src/sub/giro") << QStringLiteral("..")
                << QStringLiteral("C:\\src\\sub\\giro");
            row(": a file of the destination")
                << how << QStringLiteral("dst/a.txt") << QStringLiteral("fuori.txt")
                << QStringLiteral("C:\\dst\\a.txt");
            row(": an archive of the destination")
                << how << QStringLiteral("dst/sub/dati.mdb") << QStringLiteral("fuori.mdb")
                << QStringLiteral("C:\\dst\\sub\\dati.mdb");
            row(": a folder of the destination")
                << how << QStringLiteral("dst/sub") << QStringLiteral("cartella")
                << QStringLiteral("C:\\dst\\sub");
            row(": the destination itself, leading nowhere")
                << how << QStringLiteral("dst") << QStringLiteral("manca") << QStringLiteral("C:\\dst");
            row(": a journal beside an archive of the destination")
                << how << QStringLiteral("dst/sub/dati.mdb-journal") << QStringLiteral("fuori.txt")
                << QStringLiteral("C:\\dst\\sub\\dati.mdb-journal");
        }
        QTest::newRow("remove: the folder itself") << QStringLiteral("remove") << QStringLiteral("dst")
                                                   << QStringLiteral("cartella") << QStringLiteral("C:\\dst");
        QTest::newRow("remove: a folder inside, removed as a link")
            << QStringLiteral("remove") << QStringLiteral("dst/sub") << QStringLiteral("cartella")
            << QString();
        QTest::newRow("rename: from a link") << QStringLiteral("rename") << QStringLiteral("src")
                                             << QStringLiteral("cartella") << QStringLiteral("C:\\src");
        QTest::newRow("rename: onto a link leading nowhere")
            << QStringLiteral("rename") << QStringLiteral("dst") << QStringLiteral("manca")
            << QStringLiteral("C:\\dst");
        QTest::newRow("log: at a link") << QStringLiteral("log") << QStringLiteral("dst/log.txt")
                                        << QStringLiteral("fuori.txt") << QStringLiteral("C:\\dst\\log.txt");
    }

    void aLinkIsNeverFollowed()
    {
        QFETCH(QString, operation);
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(QString, refused);
        OutsideFolder outside;
        write(QStringLiteral("src/a.txt"), "sorgente");
        write(QStringLiteral("src/sub/dati.mdb"), "archivio");
        write(QStringLiteral("dst/a.txt"), "vecchio");
        write(QStringLiteral("dst/sub/dati.mdb"), "vecchio archivio");
        QDir(host(link)).removeRecursively();
        QFile::remove(host(link));
        QVERIFY(QFile::link(target == QLatin1String("..") ? target : outside.path(target), host(link)));
        const QStringList before = outside.state();

        QString text;
        const qint64 number = errorOf(
            [&] {
                if (operation == QLatin1String("remove")) {
                    QVERIFY(fs::RemoveFolder(QStringLiteral("C:\\dst")));
                } else if (operation == QLatin1String("rename")) {
                    fs::Name(QStringLiteral("C:\\src"), QStringLiteral("C:\\dst"));
                } else if (operation == QLatin1String("log")) {
                    fs::LogFile(QStringLiteral("C:\\dst\\log.txt")).writeLine(QStringLiteral("riga"));
                } else {
                    QList<fs::ManifestEntry> manifest;
                    fs::CopyFolder(QStringLiteral("C:\\src"), QStringLiteral("C:\\dst"), {},
                                   operation == QLatin1String("copy") ? nullptr : &manifest);
                }
            },
            &text);
        QCOMPARE(outside.state(), before);
        if (refused.isEmpty()) {
            QCOMPARE(number, 0);
            QVERIFY(!QFileInfo::exists(host(QStringLiteral("dst"))));
            return;
        }
        QCOMPARE(number, rio::err::PathFileAccess);
        QCOMPARE(text, refused + QStringLiteral(" è un collegamento: non viene seguito"));
        QVERIFY(QFileInfo(host(link)).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestFilesystemLinks)
#include "test_filesystem_links.moc"
