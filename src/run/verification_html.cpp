// The verification report as one HTML page: the outcome of each company and
// what needs attention at the top, the run, then each company's full tables.
#include "run/verification.h"

#include "context/layout.h"
#include "context/run_state.h"
#include "context/wording.h"
#include "run/report_format.h"
#include "run/report_html.h"

#include <QSysInfo>

namespace rio {

namespace {

using namespace html;

QString company(int slot)
{
    return QStringLiteral("Azienda_%1").arg(slot);
}

// The row's colour: none, amber, red.
QString outcomeClass(CompanyVerification::Outcome outcome)
{
    switch (outcome) {
    case CompanyVerification::Outcome::Done:
        return QString();
    case CompanyVerification::Outcome::DoneWithWarnings:
        return QStringLiteral("warn");
    case CompanyVerification::Outcome::DoneWithErrors:
    case CompanyVerification::Outcome::NotDone:
        break;
    }
    return QStringLiteral("ko");
}

QString topTable(const VerificationReport& report)
{
    QString h = QStringLiteral("<h2>Esito per azienda</h2>\n<table>\n") +
                header({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Esito"),
                        QStringLiteral("Errori"), QStringLiteral("Discordanze"), QStringLiteral("Avvisi")},
                       3);
    for (const CompanyVerification& c : report.companies)
        h += row({company(c.slot), c.name, outcomeText(c.outcome()), QString::number(c.runErrors),
                  QString::number(c.mismatches()), QString::number(c.warnings())},
                 outcomeClass(c.outcome()), 3);
    if (report.companies.isEmpty())
        h += QStringLiteral("<tr><td colspan=\"6\">Nessuna azienda trovata.</td></tr>\n");
    return h + QStringLiteral("</table>\n");
}

// Only what needs attention: mismatches first, then warnings.
QString attention(const VerificationReport& report)
{
    QString h = QStringLiteral("<h2>Discordanze e avvisi</h2>\n");
    if (report.mismatches() + report.warnings() == 0)
        return h + QStringLiteral("<p>Nessuna discordanza e nessun avviso.</p>\n");
    h += QStringLiteral("<table>\n") + header({QStringLiteral("Tipo"), QStringLiteral("Azienda"),
                                               QStringLiteral("Area"), QStringLiteral("Dettaglio")});
    for (const Finding::Kind kind : {Finding::Kind::Mismatch, Finding::Kind::Warning})
        for (const CompanyVerification& c : report.companies)
            for (const Finding& f : c.findings) {
                if (f.kind != kind)
                    continue;
                const bool ko = kind == Finding::Kind::Mismatch;
                h += row({ko ? QStringLiteral("DISCORDANZA") : QStringLiteral("AVVISO"), company(c.slot),
                          f.area, f.text},
                         ko ? QStringLiteral("ko") : QStringLiteral("warn"));
            }
    return h + QStringLiteral("</table>\n");
}

QString runSection(const RunState& state, const QStringList& csvFiles)
{
    const RunRecord& run = state.record;
    QString h = QStringLiteral("<h2>Esecuzione</h2>\n<table>\n");
    h += row({QStringLiteral("Data e ora"), run.started.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))});
    h += row({QStringLiteral("Versione del programma"), programVersion()});
    h += row({QStringLiteral("Computer"), QSysInfo::machineHostName()});
    h += row({QStringLiteral("Utente"), userName()});
    h += row({QStringLiteral("Sorgente dati"),
              run.dataSource == DataSource::Local ? QStringLiteral("LOCAL") : QStringLiteral("SERVER")});
    h += row({QStringLiteral("Aggiornamento in cartella Zeta"), yesNo(run.zetaFolder)});
    h += row({QStringLiteral("Radice dell'installazione"), state.PercorsoBase});
    h += row({QStringLiteral("Copia di salvataggio"),
              run.safetyCopy.isEmpty() ? QStringLiteral("nessuna") : run.safetyCopy});
    h += row({QStringLiteral("File di log"),
              run.log ? layout::logFilePath(state.PercorsoBase) : QStringLiteral("non scritto")});
    h += QStringLiteral("<tr><td>Fogli di calcolo</td><td>");
    for (const QString& name : csvFiles)
        h += QStringLiteral("<a href=\"%1\">%1</a><br>").arg(esc(name));
    h += QStringLiteral("</td></tr>\n</table>\n");

    h += QStringLiteral("<h2>Passi</h2>\n<table>\n") +
         header({QStringLiteral("Azienda"), QStringLiteral("Passo"), QStringLiteral("Esito"),
                 QStringLiteral("Tempo (ms)")},
                3);
    for (const StepRecord& s : run.steps)
        h += row({s.slot == 0 ? QStringLiteral("-") : company(s.slot), s.step,
                  s.ok ? QStringLiteral("eseguito") : QStringLiteral("con errori"),
                  QString::number(s.milliseconds)},
                 s.ok ? QString() : QStringLiteral("ko"), 3);
    return h + QStringLiteral("</table>\n");
}

QString companySection(const CompanyVerification& c)
{
    QString h = QStringLiteral("<div class=\"company\">\n<h2>%1 &mdash; %2: %3</h2>\n")
                    .arg(company(c.slot), esc(c.name), esc(outcomeText(c.outcome())));
    h += QStringLiteral("<table>\n") +
         header({QStringLiteral("Area"), QStringLiteral("Controllo"), QStringLiteral("Atteso"),
                 QStringLiteral("Trovato"), QStringLiteral("Esito")});
    for (const CheckLine& l : c.checks)
        h += row({l.area, l.what, l.expected, l.found,
                  l.ok ? QStringLiteral("OK") : QStringLiteral("DISCORDANZA")},
                 l.ok ? QString() : QStringLiteral("ko"));
    h += QStringLiteral("</table>\n");
    if (!c.parties.isEmpty()) {
        h += QStringLiteral("<h3>Partite aperte per cliente/fornitore</h3>\n<table>\n") +
             header({QStringLiteral("Tipo"), QStringLiteral("Codice"), QStringLiteral("Partite 2023"),
                     QStringLiteral("Totale 2023"), QStringLiteral("Partite 2024"),
                     QStringLiteral("Totale 2024")},
                    2);
        for (const PartyLine& p : c.parties)
            h += row({p.tipo, p.codice, QString::number(p.expectedCount), formatAmount(p.expectedTotal),
                      QString::number(p.carriedCount), formatAmount(p.carriedTotal)},
                     p.ok() ? QString() : QStringLiteral("ko"), 2);
        h += QStringLiteral("</table>\n");
    }
    return h + QStringLiteral("</div>\n");
}

} // namespace

using Outcome = CompanyVerification::Outcome;

QString VerificationReport::html(const RunState& state, const QStringList& csvFiles,
                                 const std::function<void()>& betweenCompanies) const
{
    QString h = pageStart(QStringLiteral("Verifica riapertura 2024"));
    h += QStringLiteral("<h1>Verifica della riapertura dell'esercizio 2024</h1>\n");
    const Outcome ending = outcome();
    h += QStringLiteral("<p class=\"headline %1\"><b>%2</b>%3</p>\n")
             .arg(ending == Outcome::Done ? QStringLiteral("ok") : outcomeClass(ending), esc(headline()),
                  ending == Outcome::DoneWithWarnings
                      ? QStringLiteral("<br>L'elenco degli avvisi è qui sotto, in &laquo;Discordanze e "
                                       "avvisi&raquo;: per ciascuno, che cosa controllare.")
                      : QString());
    h += topTable(*this);
    h += attention(*this);
    h += runSection(state, csvFiles);
    for (const CompanyVerification& c : companies) {
        if (betweenCompanies)
            betweenCompanies();
        h += companySection(c);
    }
    h += QStringLiteral("</body></html>\n");
    return h;
}

} // namespace rio
