#pragma once

#include "support/fake_host.h"
#include "support/test_install.h"

#include "context/run_context.h"
#include "context/run_state.h"

#include <QString>

// A company (slot 1) with its 2023 archive and its 2024 archive as the
// initialisation leaves it: no accounting movements, counter at 0.
struct AccountingFixture
{
    AccountingFixture()
    {
        install.createArchive(1, 2023);
        install.createArchive(1, 2024);
        TestInstall::exec(oldArchive(), QStringLiteral("delete from MOV_CONT"));
        TestInstall::exec(newArchive(), QStringLiteral("delete from MOV_CONT"));
        TestInstall::exec(newArchive(), QStringLiteral("update CONTATORI set Progr_Mov_Cont = 0"));
        state.PercorsoBase = TestInstall::base();
        state.PercorsoSystemMdw = TestInstall::mdw();
    }

    QString oldArchive() const { return install.archiveHost(1, 2023); }
    QString newArchive() const { return install.archiveHost(1, 2024); }

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

    TestInstall install;
    FakeHost host;
    rio::RunState state;
    rio::RunContext ctx{host, state};
};
