// The restore's report, beside the verification reports in dati\tmp.
#include "context/run_context.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/report_html.h"
#include "run/restore_record.h"

#include <QDateTime>
#include <QSysInfo>

namespace rio {

namespace {

using namespace html;

QString verificationText(const RestoreRecord& record)
{
    if (record.check.state == CopyCheck::State::NoManifest)
        return QStringLiteral("senza manifesto: non verificabile, ripristino confermato dall'utente");
    return QStringLiteral("copia letta e confrontata con %1: %2")
        .arg(QLatin1String(fs::ManifestFileName), record.check.text());
}

QString restoreHtml(const RestoreRecord& record)
{
    QString h = pageStart(QStringLiteral("Ripristino della copia di sicurezza"));
    h += QStringLiteral("<h1>Ripristino della copia di sicurezza</h1>\n");
    h += record.restored
             ? QStringLiteral("<p class=\"headline ok\"><b>%1</b></p>\n").arg(esc(record.outcome))
             : QStringLiteral("<p class=\"headline ko\"><b>%1</b></p>\n").arg(esc(record.outcome));

    h += QStringLiteral("<h2>Ripristino</h2>\n<table>\n");
    h += row({QStringLiteral("Data e ora"), record.started.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))});
    h += row({QStringLiteral("Computer"), QSysInfo::machineHostName()});
    h += row({QStringLiteral("Utente"), userName()});
    h += row({QStringLiteral("Radice dell'installazione"), record.root});
    h += row({QStringLiteral("Copia ripristinata"), record.copy.path});
    h += row({QStringLiteral("Copia fatta il"), record.copy.takenText()});
    h += row({QStringLiteral("Dimensione della copia"), record.copy.sizeText()});
    h += row({QStringLiteral("Verifica della copia"), verificationText(record)});
    h += row({QStringLiteral("File copiati"), QString::number(record.filesCopied)});
    h += row({QStringLiteral("Cartella dati"), record.dataFolder});
    h += row({QStringLiteral("Cartella dati di prima, messa da parte"),
              record.setAside.isEmpty() ? QStringLiteral("-") : record.setAside});
    h += row({QStringLiteral("Log e rapporti (Tmp) conservati"), yesNo(record.tmpCarried)});
    h += row({QStringLiteral("Esito"),
              record.restored ? QStringLiteral("ripristinata") : QStringLiteral("non ripristinata")},
             record.restored ? QString() : QStringLiteral("ko"));
    h += QStringLiteral("</table>\n");

    h += QStringLiteral("<h2>Fasi</h2>\n<table>\n") +
         header({QStringLiteral("Fase"), QStringLiteral("Esito"), QStringLiteral("Tempo (ms)")});
    for (const RestorePhase& p : record.phases)
        h += row({p.name, p.ok ? QStringLiteral("eseguita") : QStringLiteral("non riuscita"),
                  QString::number(p.milliseconds)},
                 p.ok ? QString() : QStringLiteral("ko"));
    h += QStringLiteral("</table>\n</body></html>\n");
    return h;
}

} // namespace

QString writeRestoreReport(RunContext& ctx, const RestoreRecord& record)
{
    const QString path = record.root + QStringLiteral("dati\\tmp\\ripristino_") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")) +
                         QStringLiteral(".html");
    if (writeFile(path, restoreHtml(record).toUtf8()))
        return path;
    ctx.addEventLine(QStringLiteral("Rapporto del ripristino non scritto: ") + path);
    return QString();
}

} // namespace rio
