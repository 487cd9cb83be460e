// How a started run ends: through, with its outcome in three words; or
// stopped by the person at the console, with where and what was done; and
// what the front ends say when something unexpected ends it.
#include "run/run_end.h"
#include "context/years.h"

#include "context/run_context.h"
#include "context/wording.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "run/verification.h"

#include <QDir>
#include <QHash>

#include <algorithm>

namespace rio {

namespace {

using Outcome = CompanyVerification::Outcome;

Tone toneOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return Tone::Plain;
    case Outcome::DoneWithWarnings:
        return Tone::Warning;
    case Outcome::DoneWithErrors:
    case Outcome::NotDone:
        break;
    }
    return Tone::Error;
}

// Where the warnings are: "12 avvisi da controllare a mano, elencati nel rapporto ...".
QString warningsListed(const VerificationReport& report)
{
    return report.warningsToCheck() +
           (report.warnings() == 1 ? QStringLiteral(", elencato") : QStringLiteral(", elencati")) +
           QStringLiteral(" nel rapporto di verifica, sezione \"Discordanze e avvisi\"");
}

// The status panel's words: the outcome, with what to look at.
QString panelText(const VerificationReport& report, Outcome outcome)
{
    const qsizetype companies = report.companies.size();
    switch (outcome) {
    case Outcome::Done:
        return QStringLiteral("Riapertura eseguita (%1)").arg(counted(companies, "azienda", "aziende"));
    case Outcome::DoneWithWarnings:
        return QStringLiteral("Riapertura eseguita con avvisi: ") + warningsListed(report);
    case Outcome::DoneWithErrors:
    case Outcome::NotDone:
        break;
    }
    int withErrors = 0;
    for (const CompanyVerification& c : report.companies)
        if (toneOf(c.outcome()) == Tone::Error)
            ++withErrors;
    // An error outside every company: the copy, the new-year folders, a report.
    if (withErrors == 0)
        return QStringLiteral("Riapertura eseguita con errori: %1 (righe in rosso nell'elenco eventi)")
            .arg(errorsCounted(std::max(report.runErrors, 1)));
    return QStringLiteral("Riapertura eseguita con errori in %1 su %2")
        .arg(counted(withErrors, "azienda", "aziende"))
        .arg(companies);
}

void showClosingLines(RunContext& ctx, const VerificationReport& report, const QString& reportPath,
                      Outcome outcome)
{
    const QStringList summary = report.summary();
    for (qsizetype i = 0; i < summary.size(); ++i) {
        if (i == summary.size() - 1) {
            ctx.addClosingLine(summary[i], toneOf(outcome));
            break;
        }
        const CompanyVerification& c = report.companies[i];
        ctx.addClosingLine(summary[i], c.mismatches() ? Tone::Error
                                       : c.warnings() ? Tone::Warning
                                                      : Tone::Plain);
    }
    const QStringList closing = report.closingLines(ctx.state(), reportPath);
    for (qsizetype i = 0; i < closing.size(); ++i) {
        Tone tone = Tone::Plain;
        if (i < report.companies.size())
            tone = toneOf(report.companies[i].outcome());
        else if (i == closing.size() - 1 && reportPath.isEmpty())
            tone = Tone::Error; // the report was not written
        ctx.addClosingLine(closing[i], tone);
    }
    const QString said = ctx.state().record.rehearsal() ? QStringLiteral("Simulazione: ") : QString();
    ctx.host().showRunOutcome(said + panelText(report, outcome), toneOf(outcome));
}

// What was going on when the run stopped, as the line says it.
QString stepWords(const QString& step)
{
    static const QHash<QString, QString> words{
        {QStringLiteral("CONTROLLO_AZIENDE"), QStringLiteral("la ricerca delle aziende")},
        {QStringLiteral("COPIO_CARTELLA_SALVATAGGIO"), QStringLiteral("la copia di sicurezza")},
        {QStringLiteral("COPIA_DI_LAVORO"), QStringLiteral("la copia di lavoro")},
        {QStringLiteral("CREO_NUOVO_ANNO"),
         QStringLiteral("la creazione delle cartelle %1").arg(layout::AnnoDaAprire)},
        {QStringLiteral("RIPRISTINA_MAGAZZINO"),
         QStringLiteral("il ricalcolo delle giacenze %1").arg(layout::AnnoInCorso)},
        {QStringLiteral("INIZIALIZZAZIONE_FILE"), QStringLiteral("l'inizializzazione del nuovo archivio")},
        {QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO"),
         QStringLiteral("la creazione dei movimenti di magazzino")},
        {QStringLiteral("CREAZIONE_MOVIMENTI_CONTABILI"), QStringLiteral("il riporto delle partite aperte")},
        {QStringLiteral("VERIFICA"), QStringLiteral("la verifica finale")}};
    return words.value(step, QStringLiteral("la preparazione della riapertura"));
}

// "Azienda_1", "Azienda_1 e Azienda_2", "Azienda_1, Azienda_2 e Azienda_3".
QString listed(const QList<int>& companies)
{
    QStringList names;
    for (int slot : companies)
        names << QStringLiteral("Azienda_%1").arg(slot);
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" e ") + last;
}

// "Errore <n> (<descrizione>)" for the program's errors, "Errore imprevisto
// (<what>)" for anything else, then what was interrupted.
QString unexpectedText(const std::exception& error, const QString& tail)
{
    if (const auto* e = dynamic_cast<const Error*>(&error))
        return QStringLiteral("Errore %1 (%2)").arg(e->number()).arg(e->description()) + tail;
    return QStringLiteral("Errore imprevisto (%1)").arg(QString::fromLocal8Bit(error.what())) + tail;
}

} // namespace

QString interruptionText(const std::exception& error)
{
    return unexpectedText(error, QStringLiteral(": la riapertura è stata interrotta."));
}

QString checkFailureText(const std::exception& error)
{
    return unexpectedText(error, QStringLiteral(" durante la verifica."));
}

RunOutcome endFinishedRun(RunContext& ctx, const VerificationReport& report, const QString& reportPath)
{
    Host& host = ctx.host();
    // Every error the run counted is the outcome's, whether or not the
    // report could hold it.
    const Outcome outcome = ctx.runHadErrors() ? Outcome::DoneWithErrors : report.outcome();
    showClosingLines(ctx, report, reportPath, outcome);
    host.verificationReady(reportPath, report.summary());
    host.verificationDetails(report);
    ctx.finishProgress();
    host.allowClose(true);
    const QString title = QStringLiteral("Ventor 2005");
    // A rehearsal says so in its last lines and boxes: nothing was opened.
    const QString said = ctx.state().record.rehearsal() ? QStringLiteral("SIMULAZIONE - ") : QString();
    switch (outcome) {
    case Outcome::Done:
        ctx.setProgress(said + QStringLiteral("RIAPERTURA ARCHIVI CONCLUSA CON SUCCESSO!"));
        ctx.message(said + QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CORRETTAMENTE"), Buttons::Ok,
                    Icon::Information, title);
        return RunOutcome::Done;
    case Outcome::DoneWithWarnings:
        ctx.setProgress(said + QStringLiteral("RIAPERTURA ARCHIVI CONCLUSA CON AVVISI DA CONTROLLARE!"));
        ctx.message(said +
                        QStringLiteral("APERTURA NUOVO ESERCIZIO ESEGUITA CON AVVISI: %1:\r\n%2")
                            .arg(warningsListed(report), QDir::toNativeSeparators(fs::hostPath(reportPath))),
                    Buttons::Ok, Icon::Exclamation, title);
        return RunOutcome::DoneWithWarnings;
    case Outcome::DoneWithErrors:
    case Outcome::NotDone:
        break;
    }
    ctx.setProgress(said + QStringLiteral("RIAPERTURA ARCHIVI CONCLUSA CON ERRORI!"));
    ctx.message(
        said + QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"),
        Buttons::Ok, Icon::Exclamation, title);
    return RunOutcome::DoneWithErrors;
}

QString interruptedRunText(const RunState& state, const Interrupted& stop)
{
    const bool rehearsal = state.record.rehearsal();
    QString text = (rehearsal ? QStringLiteral("Simulazione") : QStringLiteral("Riapertura")) +
                   QStringLiteral(" interrotta dall'utente durante ") + stepWords(stop.step);
    if (stop.slot > 0)
        text += QStringLiteral(" di Azienda_%1").arg(stop.slot);
    if (rehearsal)
        return text + QStringLiteral(": l'installazione non è stata modificata");
    // A company is open once all its steps are done.
    const QList<int> opened = state.record.companyErrors.keys();
    QList<int> notOpened;
    for (const ListedCompany& company : state.activeCompanies())
        if (!opened.contains(company.slot))
            notOpened << company.slot;
    if (opened.isEmpty()) {
        text += QStringLiteral(": nessuna azienda è stata aperta; una nuova riapertura rifà tutto da capo");
        return text;
    }
    text += opened.size() == 1 ? QStringLiteral(": l'azienda %1 è stata aperta").arg(listed(opened))
                               : QStringLiteral(": le aziende %1 sono state aperte").arg(listed(opened));
    if (!notOpened.isEmpty())
        text += QStringLiteral(", %1 no").arg(listed(notOpened));
    else
        text += QStringLiteral(" ma non verificate");
    return text + QStringLiteral("; una nuova riapertura le rifà tutte da capo, a partire dagli archivi %1")
                      .arg(layout::AnnoInCorso);
}

RunOutcome endInterruptedRun(RunContext& ctx, const Interrupted& stop)
{
    const QString text = interruptedRunText(ctx.state(), stop);
    Host& host = ctx.host();
    // Half a copy is no copy, as when the copy fails: it would pass for one.
    const RunRecord& record = ctx.state().record;
    if (stop.step == QLatin1String("COPIO_CARTELLA_SALVATAGGIO") && !record.safetyCopyVerified &&
        !record.safetyCopy.isEmpty()) {
        bool removed = false;
        try {
            removed = fs::FolderExists(record.safetyCopy) && fs::RemoveFolder(record.safetyCopy);
        } catch (const Error&) {
            // A link put in its place since: what it leads to is not ours.
        }
        if (removed)
            try {
                ctx.addEventLine(
                    QStringLiteral("Copia di sicurezza incompleta rimossa: %1").arg(record.safetyCopy));
            } catch (const Error&) {
                // The log cannot take it: the screen has it.
            }
    }
    try {
        // Written at once, after the lines held until now.
        ctx.addErrorLine(text);
    } catch (const Error&) {
        // The log cannot take it: the screen has it.
    }
    ctx.writeHeldLogLines();
    ctx.state().release();
    host.showBusy(false);
    host.showRunOutcome(ctx.state().record.rehearsal() ? QStringLiteral("Simulazione interrotta dall'utente")
                                                       : QStringLiteral("Riapertura interrotta dall'utente"),
                        Tone::Error);
    host.allowClose(true);
    host.allowNewRun(true);
    return RunOutcome::Interrupted;
}

} // namespace rio
