#pragma once

#include "fake_host.h"
#include "test_install.h"

#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

// What a step or a whole run works on: a temporary installation, a recording
// screen, and the run's state with the root and the workgroup file already
// settled, as the run settles them before its first step.
struct StepFixture
{
    TestInstall install;
    FakeHost host;
    rio::RunState state;
    rio::RunContext ctx{host, state};

    StepFixture();

    // Host path of a file or folder under the installation root.
    QString file(const QString& relative) const { return install.host(TestInstall::base() + relative); }
    QString root() const { return file(QString()); }
    QString logPath() const
    {
        return file(years::fill(QStringLiteral("dati\\Tmp\\log_Riapertura_{new}.txt")));
    }
    // Host paths of a company's archives of the year in course and of the new year.
    QString oldArchive(int slot = 1) const { return install.archiveHost(slot, years::Old); }
    QString newArchive(int slot = 1) const { return install.archiveHost(slot, years::New); }
    // An open connection to a company's archive of that year, as the steps open it.
    static std::unique_ptr<rio::Connection> open(int year, int slot = 1);

    // The texts of the boxes shown, in order.
    QStringList boxTexts() const;
    // The same on one line, for a failure message.
    QByteArray shownBoxes() const { return boxTexts().join(QLatin1Char('|')).toUtf8(); }
};
