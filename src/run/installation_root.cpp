// Where the installation lies: the root the window's choices and the
// system database give, and the lock that keeps one run or restore at a time
// on it.
#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/installation_lock.h"
#include "run/run.h"

namespace rio {

Value readSystemRoot(Connection& system, bool server)
{
    Query row(system, QStringLiteral("select * from system order by rowid"));
    row.exec();
    row.moveFirst();
    const Value percorso = server ? row.value(QStringLiteral("Percorso")) : Value();
    row.finish();
    return percorso;
}

QString readInstallationRoot(const Host& host, const QString& programsFolder)
{
    Connection system;
    system.open(layout::systemConnectionString());
    const Value percorso = readSystemRoot(system, host.dataSource() == DataSource::Server);
    system.close();
    return settleInstallationRoot(host, programsFolder, percorso);
}

QString settleInstallationRoot(const Host& host, const QString& programsFolder, const Value& percorso)
{
    if (host.dataSource() == DataSource::Local) {
        const bool splus = host.zetaFolderChosen();
        const bool x86 = !splus && layout::has64BitProgramFolder();
        return layout::installationRoot(DataSource::Local, splus, x86, QString(), programsFolder);
    }
    const QString root = textOf(percorso);
    if (root.isEmpty())
        throw Error(err::PathNotFound, QStringLiteral("il campo Percorso della tabella system è vuoto: "
                                                      "radice dell'installazione sconosciuta"));
    return layout::installationRoot(DataSource::Server, false, false, root, programsFolder);
}

std::unique_ptr<InstallationLock> lockInstallation(RunContext& ctx, const QString& root)
{
    QString refusal;
    try {
        InstallationLock::Holder holder;
        if (std::unique_ptr<InstallationLock> lock = InstallationLock::take(root, &holder))
            return lock;
        refusal = InstallationLock::busyText(holder);
    } catch (const Error& e) {
        refusal =
            QStringLiteral("Impossibile riservare l'installazione con il file %1%2: errore %3 (%4). Nessun "
                           "file è stato modificato.")
                .arg(root, QLatin1String(InstallationLockName))
                .arg(e.number())
                .arg(e.description());
    }
    ctx.host().addMarkedEvent(refusal, {Tone::Error, false});
    ctx.host().message(refusal, Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
    return nullptr;
}

bool lockInstallationForRun(RunContext& ctx, std::unique_ptr<InstallationLock>& lock)
{
    QString root;
    try {
        root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
        // Nothing can be written under a root that is not there.
        if (!fs::FolderExists(root))
            return true;
    } catch (const Error&) {
        return true;
    }
    lock = lockInstallation(ctx, root);
    if (!lock)
        ctx.host().allowNewRun(true);
    return lock != nullptr;
}

} // namespace rio
