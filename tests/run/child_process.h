#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>

// How a program run by the crash tests ended, and what it wrote.
struct Outcome
{
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QString output;

    bool exitedWith(int expected) const { return status == QProcess::NormalExit && code == expected; }
    // The error lines, or else the last lines: what a failure shows.
    QString gist() const
    {
        const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList shown = lines.filter(QStringLiteral("error"), Qt::CaseInsensitive).mid(0, 3);
        if (shown.isEmpty())
            shown = lines.mid(std::max<qsizetype>(0, lines.size() - 3));
        return QStringLiteral("exit %1%2: %3")
            .arg(code)
            .arg(status == QProcess::CrashExit ? QStringLiteral(" (crash)") : QString())
            .arg(shown.join(QStringLiteral(" | ")));
    }
};

// Runs a program in the folder (the current one when empty) with the test's
// environment less RIAPERTURA_DRIVE_C, its two outputs merged, and waits for
// it; one that has not finished after two minutes is killed and reported as
// a crash.
Outcome run(const QString& program, const QStringList& arguments, const QString& folder = {});

// The same in two halves: started, then waited for, so that the test can act
// while it runs.
void start(QProcess& p, const QString& program, const QStringList& arguments, const QString& folder = {});
Outcome finish(QProcess& p);

// A copy (cp -a) of the folder as <base>/drive_NNN, NNN the counter, which
// goes up: every such path has the same length, so that the console's output
// takes as many writes in every run. Empty when the copy fails.
QString copyOfDrive(const QString& folder, const QString& base, int& counter);

// The built riapertura-cli on the drive with one option (--yes, --check).
Outcome cli(const QString& drive, const QString& option);

// riapertura-cli on the drive (with --yes, or the arguments given) under
// strace with the given -e expressions, the calls traced written to
// <drive>.trace; with -y each call names its file. With onlyFile, only the
// calls on that file are traced and counted (-P). No --seccomp-bpf: with it
// strace injects nothing.
Outcome traced(const QString& drive, const QStringList& expressions,
               const QStringList& cliArguments = {QStringLiteral("--yes")}, const QString& onlyFile = {});
// The arguments of strace for traced().
QStringList tracedArguments(const QString& drive, const QStringList& expressions,
                            const QStringList& cliArguments = {QStringLiteral("--yes")},
                            const QString& onlyFile = {});
