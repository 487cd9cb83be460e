// The safety copies under the root: listed newest first with their time,
// size and kind, and read back against their manifests.
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/restore.h"
#include "step_fixture.h"

#include <QTest>

using namespace rio;

class TestRestoreCopies : public QObject
{
    Q_OBJECT

private slots:
    void copiesAreListedNewestFirst()
    {
        StepFixture f;
        f.install.addCompany(1);
        const QString data = TestInstall::base() + QStringLiteral("dati");
        for (const char* name : {"Copia_dati_07122031", "Copia_dati_31122025", "Copia_dati_07122031_101500",
                                 "copia_dati_08122031"}) {
            fs::Manifest manifest;
            fs::CopyFolder(data, TestInstall::base() + QLatin1String(name), {}, &manifest);
            if (QByteArray(name) != "Copia_dati_31122025")
                fs::writeManifest(TestInstall::base() + QLatin1String(name), manifest);
        }
        const QList<SafetyCopy> copies = listSafetyCopies(TestInstall::base());
        QStringList names;
        for (const SafetyCopy& c : copies)
            names << c.name + QLatin1Char(' ') + c.takenText();
        QCOMPARE(names, QStringList({QStringLiteral("copia_dati_08122031 08/12/2031"),
                                     QStringLiteral("Copia_dati_07122031_101500 07/12/2031 10:15"),
                                     QStringLiteral("Copia_dati_07122031 07/12/2031"),
                                     QStringLiteral("Copia_dati_31122025 31/12/2025")}));
        QVERIFY(copies[0].hasManifest && !copies[3].hasManifest);
        QCOMPARE(copies[3].bytes, copies[0].bytes);
        QVERIFY(copies[0].sizeText().endsWith(QStringLiteral(" MB")));

        QList<qint64> progress;
        const CopyCheck verified =
            checkSafetyCopy(copies[0].path, [&](qint64 done, qint64 total) { progress << done << total; });
        QCOMPARE(verified.state, CopyCheck::State::Verified);
        QCOMPARE(verified.text(), QStringLiteral("verificata (%1 file)").arg(verified.files));
        QCOMPARE(progress.mid(progress.size() - 2), QList<qint64>({copies[0].bytes, copies[0].bytes}));
        QCOMPARE(checkSafetyCopy(copies[3].path).state, CopyCheck::State::NoManifest);
        QCOMPARE(checkSafetyCopy(copies[0].path, {}, [] { return true; }).state, CopyCheck::State::Cancelled);
    }
};

QTEST_GUILESS_MAIN(TestRestoreCopies)
#include "test_restore_copies.moc"
