#pragma once

#include "run/preliminary_check.h"
#include "run/run.h"
#include "step_fixture.h"

#include <QStringList>
#include <QTest>

// The texts of a check's findings of one level, in order.
inline QStringList findingTexts(const rio::PreliminaryCheck& check, rio::PreliminaryFinding::Level level)
{
    QStringList out;
    for (const auto& f : check.findings)
        if (f.level == level)
            out << f.text;
    return out;
}

// What the tests of the check start from: companies 1 and 3, each with an
// archive that holds the product's tables and no rows.
struct CheckFixture : StepFixture
{
    CheckFixture()
    {
        install.createArchive(1);
        install.createArchive(3);
    }

    // VERIFICA finds the ERRORE once, and ESEGUI refuses with it in its box
    // and writes nothing on the drive.
    void refusedWith(const QString& expected)
    {
        const auto before = TestInstall::fingerprint(install.driveC());
        const QStringList errors =
            findingTexts(rio::runPreliminaryCheck(host, state), rio::PreliminaryFinding::Level::Error);
        QVERIFY2(errors.filter(expected).size() == 1, qPrintable(errors.join(QLatin1Char('\n'))));
        QCOMPARE(rio::runYearOpening(ctx), rio::RunOutcome::NotStarted);
        QVERIFY(host.boxes.last().text.contains(expected));
        QCOMPARE(TestInstall::fingerprint(install.driveC()), before);
    }
};
