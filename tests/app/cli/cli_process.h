#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The built riapertura-cli run to its end with the arguments, standard input
// no terminal: its exit status and what it printed. With strace arguments,
// under strace (to send it a signal at a chosen call).
struct CliResult
{
    int status = -1;
    QString out;
    QString err;
};

inline CliResult runCli(const QStringList& args, const QStringList& strace = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("RIAPERTURA_DRIVE_C"));
    p.setProcessEnvironment(env);
    if (strace.isEmpty())
        p.start(QStringLiteral(RIAPERTURA_CLI), args);
    else
        p.start(QStringLiteral("strace"), strace + QStringList{QStringLiteral(RIAPERTURA_CLI)} + args);
    p.closeWriteChannel(); // standard input is no terminal
    if (!p.waitForFinished(300000))
        qFatal("riapertura-cli did not finish");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
