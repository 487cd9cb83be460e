// The verification report as text: a short summary and one HTML page.
#include "run/verification.h"

#include "context/run_state.h"

#include <QDir>
#include <QSysInfo>

namespace rio {

namespace {

QString esc(const QString& s)
{
    return s.toHtmlEscaped();
}

QString cell(const QString& s, const char* tag = "td")
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), esc(s));
}

QString row(const QStringList& cells, const QString& cls = QString())
{
    QString r = cls.isEmpty() ? QStringLiteral("<tr>") : QStringLiteral("<tr class=\"%1\">").arg(cls);
    for (const QString& c : cells)
        r += cell(c);
    return r + QStringLiteral("</tr>\n");
}

QString header(const QStringList& cells)
{
    QString r = QStringLiteral("<tr>");
    for (const QString& c : cells)
        r += cell(c, "th");
    return r + QStringLiteral("</tr>\n");
}

QString yesNo(bool v)
{
    return v ? QStringLiteral("sì") : QStringLiteral("no");
}

QString userName()
{
    for (const char* variable : {"USERNAME", "USER", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(variable);
        if (!user.isEmpty())
            return user;
    }
    return QDir::home().dirName();
}

QString formatAmount(double v)
{
    return QString::number(v, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

QStringList VerificationReport::summary() const
{
    QStringList lines;
    for (const CompanyVerification& c : companies)
        lines << QStringLiteral("Azienda_%1 %2: %3 discordanze, %4 avvisi")
                     .arg(c.slot)
                     .arg(c.name)
                     .arg(c.mismatches())
                     .arg(c.warnings());
    lines << (mismatches() == 0
                  ? QStringLiteral("VERIFICA SUPERATA: nessuna discordanza (%1 avvisi)").arg(warnings())
                  : QStringLiteral("VERIFICA FALLITA: %1 discordanze, %2 avvisi")
                        .arg(mismatches())
                        .arg(warnings()));
    return lines;
}

QString VerificationReport::html(const RunState& state) const
{
    const RunRecord& run = state.record;
    QString h;
    h += QStringLiteral("<!DOCTYPE html>\n<html lang=\"it\"><head><meta charset=\"utf-8\">"
                        "<title>Verifica riapertura 2024</title>\n<style>"
                        "body{font-family:sans-serif;margin:2em;color:#222}"
                        "table{border-collapse:collapse;margin:0.5em 0 1.5em}"
                        "th,td{border:1px solid #bbb;padding:3px 8px;text-align:left}"
                        "th{background:#e8eef6}tr.ko td{background:#f8d0d0;font-weight:bold}"
                        "tr.warn td{background:#fff2c0}.ok{color:#176b1c}.ko{color:#b00000}"
                        "</style></head><body>\n");
    h += QStringLiteral("<h1>Verifica della riapertura dell'esercizio 2024</h1>\n");
    h += mismatches() == 0
             ? QStringLiteral("<p class=\"ok\"><b>Nessuna discordanza</b> (%1 avvisi).</p>\n").arg(warnings())
             : QStringLiteral("<p class=\"ko\"><b>%1 discordanze</b>, %2 avvisi.</p>\n")
                   .arg(mismatches())
                   .arg(warnings());

    h += QStringLiteral("<h2>Esecuzione</h2>\n<table>\n");
    h += row({QStringLiteral("Data e ora"), run.started.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))});
    h += row({QStringLiteral("Computer"), QSysInfo::machineHostName()});
    h += row({QStringLiteral("Utente"), userName()});
    h += row({QStringLiteral("Sorgente dati"),
              run.dataSource == DataSource::Local ? QStringLiteral("LOCAL") : QStringLiteral("SERVER")});
    h += row({QStringLiteral("Aggiornamento in cartella Zeta"), yesNo(run.zetaFolder)});
    h += row({QStringLiteral("File di log"), yesNo(run.log)});
    h += row({QStringLiteral("Radice dell'installazione"), state.PercorsoBase});
    h += row({QStringLiteral("Copia di salvataggio"), run.safetyCopy});
    h += QStringLiteral("</table>\n");

    h += QStringLiteral("<h2>Passi</h2>\n<table>\n") +
         header({QStringLiteral("Azienda"), QStringLiteral("Passo"), QStringLiteral("Esito"),
                 QStringLiteral("Tempo (ms)")});
    for (const StepRecord& s : run.steps)
        h += row({s.slot == 0 ? QStringLiteral("-") : QStringLiteral("Azienda_%1").arg(s.slot), s.step,
                  s.ok ? QStringLiteral("eseguito") : QStringLiteral("con errori"),
                  QString::number(s.milliseconds)},
                 s.ok ? QString() : QStringLiteral("ko"));
    h += QStringLiteral("</table>\n");

    for (const CompanyVerification& c : companies) {
        h += QStringLiteral("<h2>Azienda_%1 &mdash; %2</h2>\n").arg(c.slot).arg(esc(c.name));
        h += QStringLiteral("<table>\n") +
             header({QStringLiteral("Area"), QStringLiteral("Controllo"), QStringLiteral("Atteso"),
                     QStringLiteral("Trovato"), QStringLiteral("Esito")});
        for (const CheckLine& l : c.checks)
            h += row({l.area, l.what, l.expected, l.found,
                      l.ok ? QStringLiteral("OK") : QStringLiteral("DISCORDANZA")},
                     l.ok ? QString() : QStringLiteral("ko"));
        h += QStringLiteral("</table>\n");
        if (!c.findings.isEmpty()) {
            h += QStringLiteral("<h3>Discordanze e avvisi</h3>\n<table>\n") +
                 header({QStringLiteral("Tipo"), QStringLiteral("Area"), QStringLiteral("Dettaglio")});
            for (const Finding& f : c.findings) {
                const bool ko = f.kind == Finding::Kind::Mismatch;
                h += row({ko ? QStringLiteral("DISCORDANZA") : QStringLiteral("AVVISO"), f.area, f.text},
                         ko ? QStringLiteral("ko") : QStringLiteral("warn"));
            }
            h += QStringLiteral("</table>\n");
        }
        if (!c.parties.isEmpty()) {
            h += QStringLiteral("<h3>Partite aperte per cliente/fornitore</h3>\n<table>\n") +
                 header({QStringLiteral("Tipo"), QStringLiteral("Codice"), QStringLiteral("Partite 2023"),
                         QStringLiteral("Totale 2023"), QStringLiteral("Partite 2024"),
                         QStringLiteral("Totale 2024")});
            for (const PartyLine& p : c.parties)
                h += row({p.tipo, p.codice, QString::number(p.expectedCount), formatAmount(p.expectedTotal),
                          QString::number(p.carriedCount), formatAmount(p.carriedTotal)},
                         p.ok() ? QString() : QStringLiteral("ko"));
            h += QStringLiteral("</table>\n");
        }
    }
    h += QStringLiteral("</body></html>\n");
    return h;
}

} // namespace rio
