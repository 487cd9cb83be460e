// The verification report as one HTML page: the outcome of each company and
// what needs attention at the top, the run, then each company's full tables.
// Printed, each company starts a page and each of its pages carries its name
// and the table's header.
#include "run/verification.h"

#include "context/layout.h"
#include "context/run_state.h"
#include "context/wording.h"
#include "run/company_choice.h"
#include "run/report_format.h"
#include "run/report_html.h"

#include <QMap>
#include <QSysInfo>

namespace rio {

namespace {

using namespace html;

QString company(int slot)
{
    return QStringLiteral("Azienda_%1").arg(slot);
}

// "Azienda_1 — Rossi S.r.l.": whose table it is, on every printed page.
QString companyCaption(const CompanyVerification& c)
{
    return c.name.isEmpty() ? company(c.slot) : company(c.slot) + QStringLiteral(" \u2014 ") + c.name;
}

// A code as it is, blanks around it included.
QString codeCell(const QString& code)
{
    return QStringLiteral("<span class=\"code\">&quot;%1&quot;</span>").arg(esc(code));
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
    QString h =
        QStringLiteral("<h2>Esito per azienda</h2>\n") +
        tableStart({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Esito"),
                    QStringLiteral("Errori"), QStringLiteral("Discordanze"), QStringLiteral("Avvisi")},
                   3);
    // In slot order, the companies left out by the choice among the others.
    QMap<int, QString> rows;
    for (const CompanyVerification& c : report.companies)
        rows.insert(c.slot,
                    row({company(c.slot), c.name, outcomeText(c.outcome()), QString::number(c.runErrors),
                         QString::number(c.mismatches()), QString::number(c.warnings())},
                        outcomeClass(c.outcome()), 3));
    for (const CompanyVerification& c : report.notChosen)
        rows.insert(c.slot, row({company(c.slot), c.name, QLatin1String(NotChosenText), QString(), QString(),
                                 QString()},
                                QString(), 3));
    for (const QString& r : rows)
        h += r;
    if (rows.isEmpty())
        h += QStringLiteral("<tr><td colspan=\"6\">Nessuna azienda trovata.</td></tr>\n");
    return h + tableEnd();
}

// What a kind of stock warning is, and what to do about it: said once above
// the kind's table.
struct WarningKind
{
    StockWarning::Reason reason;
    const char* title;
    const char* todo;
};

const WarningKind warningKinds[] = {
    {StockWarning::Reason::Twin, "codici gemelli (differiscono solo per maiuscole/minuscole o spazi)",
     "Il ricalcolo delle giacenze non distingue i codici gemelli e dà i movimenti di tutti a uno solo. "
     "Che cosa fare: controllare a mano la giacenza %1 degli articoli elencati e dei loro gemelli, "
     "rettificarla se serve e rendere distinti i codici in Zeta."},
    {StockWarning::Reason::Blanks, "codici con spazi all'inizio o alla fine",
     "Il ricalcolo delle giacenze non trova i movimenti di un codice con spazi. Che cosa fare: controllare "
     "a mano la giacenza %1 degli articoli elencati, rettificarla se serve e togliere gli spazi dal "
     "codice in Zeta."},
};

// The stock warnings of one kind as one compact table: a row per article and
// warehouse; empty when there are none. yield runs every few hundred
// warnings: the companies of a big installation can have thousands.
QString stockWarnings(const VerificationReport& report, const WarningKind& kind,
                      const std::function<void()>& yield)
{
    constexpr qsizetype WarningsBetweenYields = 512;
    const bool twins = kind.reason == StockWarning::Reason::Twin;
    QString rows;
    qsizetype seen = 0;
    for (const CompanyVerification& c : report.companies)
        for (const Finding& f : c.findings)
            for (const StockWarning& w : f.stock) {
                if (yield && ++seen % WarningsBetweenYields == 0)
                    yield();
                if (f.kind != Finding::Kind::Warning || w.reason != kind.reason)
                    continue;
                QStringList cells{esc(company(c.slot)), codeCell(w.code)};
                if (twins) {
                    QStringList others;
                    for (const QString& t : w.twins)
                        others << codeCell(t);
                    cells << others.join(QStringLiteral(", "));
                }
                cells << esc(w.description) << esc(w.dep) << esc(formatQuantity(w.expected))
                      << esc(formatQuantity(w.found));
                rows += rowHtml(cells, QStringLiteral("warn"), int(cells.size()) - 2);
            }
    if (rows.isEmpty())
        return QString();
    QStringList heads{QStringLiteral("Azienda"), QStringLiteral("Articolo")};
    if (twins)
        heads << QStringLiteral("Gemelli");
    heads << QStringLiteral("Descrizione") << QStringLiteral("Deposito")
          << QStringLiteral("Attesa %1").arg(layout::AnnoDaAprire)
          << QStringLiteral("Trovata %1").arg(layout::AnnoDaAprire);
    return QStringLiteral("<h3>Avvisi: %1</h3>\n<p class=\"todo\">%2</p>\n")
               .arg(esc(QString::fromUtf8(kind.title)),
                    esc(QString::fromUtf8(kind.todo).arg(layout::AnnoDaAprire))) +
           tableStart(heads, int(heads.size()) - 2) + rows + tableEnd();
}

// Only what needs attention: mismatches first, then warnings, those on stock
// as compact tables, a kind at a time.
QString attention(const VerificationReport& report, const std::function<void()>& yield)
{
    QString h = QStringLiteral("<h2>Discordanze e avvisi</h2>\n");
    if (report.mismatches() + report.warnings() == 0)
        return h + QStringLiteral("<p>Nessuna discordanza e nessun avviso.</p>\n");
    QString other;
    for (const Finding::Kind kind : {Finding::Kind::Mismatch, Finding::Kind::Warning})
        for (const CompanyVerification& c : report.companies)
            for (const Finding& f : c.findings) {
                if (f.kind != kind || !f.stock.isEmpty())
                    continue;
                const bool ko = kind == Finding::Kind::Mismatch;
                other += row({ko ? QStringLiteral("DISCORDANZA") : QStringLiteral("AVVISO"), company(c.slot),
                              f.area, f.text},
                             ko ? QStringLiteral("ko") : QStringLiteral("warn"));
            }
    if (!other.isEmpty())
        h += tableStart({QStringLiteral("Tipo"), QStringLiteral("Azienda"), QStringLiteral("Area"),
                         QStringLiteral("Dettaglio")}) +
             other + tableEnd();
    for (const WarningKind& kind : warningKinds)
        h += stockWarnings(report, kind, yield);
    return h;
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
    h += row({QStringLiteral("Radice dell'installazione"),
              run.rehearsal() ? run.rehearsalRoot : state.PercorsoBase});
    if (run.rehearsal())
        h += row({QStringLiteral("Simulazione"),
                  QStringLiteral("eseguita sulla copia di lavoro %1, poi rimossa").arg(run.scratchFolder)});
    h += row({QStringLiteral("Copia di salvataggio"),
              run.safetyCopy.isEmpty() ? QStringLiteral("nessuna") : run.safetyCopy});
    h += row({QStringLiteral("File di log"),
              run.log ? layout::logFilePath(state.PercorsoBase) : QStringLiteral("non scritto")});
    h += QStringLiteral("<tr><td>Fogli di calcolo</td><td>");
    for (const QString& name : csvFiles)
        h += QStringLiteral("<a href=\"%1\">%1</a><br>").arg(esc(name));
    h += QStringLiteral("</td></tr>\n</table>\n");

    h += QStringLiteral("<h2>Passi</h2>\n") +
         tableStart({QStringLiteral("Azienda"), QStringLiteral("Passo"), QStringLiteral("Esito"),
                     QStringLiteral("Tempo (ms)")},
                    3);
    for (const StepRecord& s : run.steps)
        h += rowHtml({s.slot == 0 ? QStringLiteral("-") : company(s.slot), named(stepTitle(s.step), s.step),
                      s.ok ? QStringLiteral("eseguito") : QStringLiteral("con errori"),
                      QString::number(s.milliseconds)},
                     s.ok ? QString() : QStringLiteral("ko"), 3);
    return h + tableEnd();
}

// The open items of one kind of party (customers, suppliers, other), a row
// per party and their total; empty when the company has none. yield runs
// every few hundred parties: a big company has tens of thousands.
QString partiesTable(const CompanyVerification& c, PartyLine::Kind kind, const std::function<void()>& yield)
{
    constexpr qsizetype PartiesBetweenYields = 512;
    QString rows;
    PartyLine total;
    qsizetype seen = 0;
    for (const PartyLine& p : c.parties) {
        if (yield && ++seen % PartiesBetweenYields == 0)
            yield();
        if (p.kind() != kind)
            continue;
        // A blank code, or blanks around one, shown between quotes.
        QString code =
            p.codice.trimmed() == p.codice && !p.codice.isEmpty() ? esc(p.codice) : codeCell(p.codice);
        if (kind == PartyLine::Kind::Other)
            code = esc(p.tipo) + QLatin1Char(' ') + code;
        rows +=
            rowHtml({code, esc(p.name), QString::number(p.expectedCount), esc(formatAmount(p.expectedTotal)),
                     QString::number(p.carriedCount), esc(formatAmount(p.carriedTotal))},
                    p.ok() ? QString() : QStringLiteral("ko"), 2);
        total.expectedCount += p.expectedCount;
        total.expectedTotal += p.expectedTotal;
        total.carriedCount += p.carriedCount;
        total.carriedTotal += p.carriedTotal;
    }
    if (rows.isEmpty())
        return QString();
    QString title = QStringLiteral("Altre partite (né cliente né fornitore)");
    QString party = QStringLiteral("Nome");
    if (kind == PartyLine::Kind::Customer) {
        title = QStringLiteral("Crediti verso clienti: partite aperte per cliente");
        party = QStringLiteral("Cliente");
    } else if (kind == PartyLine::Kind::Supplier) {
        title = QStringLiteral("Debiti verso fornitori: partite aperte per fornitore");
        party = QStringLiteral("Fornitore");
    }
    rows += row({QStringLiteral("Totale"), QString(), QString::number(total.expectedCount),
                 formatAmount(total.expectedTotal), QString::number(total.carriedCount),
                 formatAmount(total.carriedTotal)},
                QStringLiteral("total"), 2);
    return QStringLiteral("<h3>%1</h3>\n").arg(esc(title)) +
           tableStart({QStringLiteral("Codice"), party, QStringLiteral("Partite %1").arg(layout::AnnoInCorso),
                       QStringLiteral("Totale %1").arg(layout::AnnoInCorso),
                       QStringLiteral("Partite %1").arg(layout::AnnoDaAprire),
                       QStringLiteral("Totale %1").arg(layout::AnnoDaAprire)},
                      2, companyCaption(c)) +
           rows + tableEnd();
}

QString companySection(const CompanyVerification& c, const std::function<void()>& yield)
{
    QString h = QStringLiteral("<div class=\"company\">\n<h2>%1 &mdash; %2: %3</h2>\n")
                    .arg(company(c.slot), esc(c.name), esc(outcomeText(c.outcome())));
    h += tableStart({QStringLiteral("Area"), QStringLiteral("Controllo"), QStringLiteral("Atteso"),
                     QStringLiteral("Trovato"), QStringLiteral("Esito")},
                    -1, companyCaption(c));
    for (const CheckLine& l : c.checks)
        h += rowHtml({esc(l.area), named(l.what, l.id), esc(l.expected), esc(l.found),
                      l.ok ? QStringLiteral("OK") : QStringLiteral("DISCORDANZA")},
                     l.ok ? QString() : QStringLiteral("ko"));
    h += tableEnd();
    for (const PartyLine::Kind kind :
         {PartyLine::Kind::Customer, PartyLine::Kind::Supplier, PartyLine::Kind::Other})
        h += partiesTable(c, kind, yield);
    return h + QStringLiteral("</div>\n");
}

} // namespace

using Outcome = CompanyVerification::Outcome;

QString VerificationReport::html(const RunState& state, const QStringList& csvFiles,
                                 const std::function<void()>& betweenCompanies) const
{
    QString h = pageStart(QStringLiteral("Verifica riapertura %1").arg(layout::AnnoDaAprire));
    h += QStringLiteral("<h1>%1 della riapertura dell'esercizio %2</h1>\n")
             .arg(rehearsal ? QStringLiteral("SIMULAZIONE") : QStringLiteral("Verifica"))
             .arg(layout::AnnoDaAprire);
    const Outcome ending = outcome();
    h += QStringLiteral("<p class=\"headline %1\"><b>%2</b>%3</p>\n")
             .arg(ending == Outcome::Done ? QStringLiteral("ok") : outcomeClass(ending), esc(headline()),
                  ending == Outcome::DoneWithWarnings
                      ? QStringLiteral("<br>L'elenco degli avvisi è qui sotto, in &laquo;Discordanze e "
                                       "avvisi&raquo;: per ciascun tipo, che cosa fare.")
                      : QString());
    h += topTable(*this);
    h += attention(*this, betweenCompanies);
    h += runSection(state, csvFiles);
    for (const CompanyVerification& c : companies) {
        if (betweenCompanies)
            betweenCompanies();
        h += companySection(c, betweenCompanies);
    }
    h += QStringLiteral("</body></html>\n");
    return h;
}

} // namespace rio
