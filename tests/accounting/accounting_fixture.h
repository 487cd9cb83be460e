#pragma once

#include "support/step_fixture.h"
#include "support/years.h"

#include <QString>

// A company (slot 1) with its old-year archive and its new-year archive as the
// initialisation leaves it: no accounting movements, counter at 0.
struct AccountingFixture : StepFixture
{
    AccountingFixture()
    {
        install.createArchive(1, years::Old);
        install.createArchive(1, years::New);
        TestInstall::exec(oldArchive(), QStringLiteral("delete from MOV_CONT"));
        TestInstall::execAll(newArchive(), {QStringLiteral("delete from MOV_CONT"),
                                            QStringLiteral("update CONTATORI set Progr_Mov_Cont = 0")});
    }

    qlonglong newCount(const QString& table = QStringLiteral("MOV_CONT")) const
    {
        return TestInstall::scalar(newArchive(), QStringLiteral("select count(*) from ") + table)
            .toLongLong();
    }
    qlonglong counter() const
    {
        return TestInstall::scalar(newArchive(), QStringLiteral("select Progr_Mov_Cont from CONTATORI"))
            .toLongLong();
    }
};
