#include "child_process.h"

#include <QProcessEnvironment>

void start(QProcess& p, const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("RIAPERTURA_DRIVE_C"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    p.closeWriteChannel();
}

Outcome finish(QProcess& p)
{
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return {QProcess::CrashExit, -1, p.program() + QStringLiteral(" did not finish")};
    }
    return {p.exitStatus(), p.exitCode(), QString::fromUtf8(p.readAll())};
}

Outcome run(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess p;
    start(p, program, arguments, folder);
    return finish(p);
}

QString copyOfDrive(const QString& folder, const QString& base, int& counter)
{
    const QString drive = base + QStringLiteral("/drive_%1").arg(counter++, 3, 10, QLatin1Char('0'));
    if (!run(QStringLiteral("cp"), {QStringLiteral("-a"), folder, drive}).exitedWith(0))
        return {};
    return drive;
}

Outcome cli(const QString& drive, const QString& option)
{
    return run(QStringLiteral(RIAPERTURA_CLI), {QStringLiteral("--drive-c"), drive, option});
}

QStringList tracedArguments(const QString& drive, const QStringList& expressions,
                            const QStringList& cliArguments, const QString& onlyFile)
{
    QStringList arguments{QStringLiteral("-f"),
                          QStringLiteral("-qq"),
                          QStringLiteral("-y"),
                          QStringLiteral("-s"),
                          QStringLiteral("80"),
                          QStringLiteral("-o"),
                          drive + QStringLiteral(".trace")};
    for (const QString& e : expressions)
        arguments << QStringLiteral("-e") << e;
    if (!onlyFile.isEmpty())
        arguments << QStringLiteral("-P") << onlyFile;
    arguments << QStringLiteral(RIAPERTURA_CLI) << QStringLiteral("--drive-c") << drive << cliArguments;
    return arguments;
}

Outcome traced(const QString& drive, const QStringList& expressions, const QStringList& cliArguments,
               const QString& onlyFile)
{
    return run(QStringLiteral("strace"), tracedArguments(drive, expressions, cliArguments, onlyFile));
}
