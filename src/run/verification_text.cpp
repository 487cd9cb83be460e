// The verification in a few lines: the headline, a line per company, and
// what the end of a run shows in the event list.
#include "run/verification.h"

#include "context/layout.h"
#include "context/run_state.h"
#include "context/wording.h"
#include "data/filesystem.h"
#include "run/company_choice.h"
#include "run/restore.h"

#include <QDir>

namespace rio {

namespace {

// Where a file of the run is on this machine, as the user looks for it.
QString shownPath(const QString& windowsPath)
{
    return QDir::toNativeSeparators(fs::hostPath(windowsPath));
}

} // namespace

QString outcomeText(CompanyVerification::Outcome outcome)
{
    switch (outcome) {
    case CompanyVerification::Outcome::Done:
        return QStringLiteral("eseguita");
    case CompanyVerification::Outcome::DoneWithWarnings:
        return QStringLiteral("eseguita con avvisi");
    case CompanyVerification::Outcome::DoneWithErrors:
        return QStringLiteral("eseguita con errori");
    case CompanyVerification::Outcome::NotDone:
        break;
    }
    return QStringLiteral("non eseguita");
}

QString VerificationReport::warningsToCheck() const
{
    return warningsCounted(warnings()) + QStringLiteral(" da controllare a mano");
}

QString VerificationReport::headline() const
{
    // A rehearsal's report says so before anything else.
    const QString said = rehearsal ? QStringLiteral("SIMULAZIONE - ") : QString();
    // The companies left out are part of what the run did.
    QString left;
    if (!notChosen.isEmpty()) {
        QList<int> numbers;
        for (const CompanyVerification& c : notChosen)
            numbers << c.slot;
        left = (numbers.size() == 1 ? QStringLiteral("; non scelta: ") : QStringLiteral("; non scelte: ")) +
               companyList(numbers);
    }
    switch (outcome()) {
    case CompanyVerification::Outcome::Done:
        return said +
               QStringLiteral("RIAPERTURA ESEGUITA: nessun errore, nessuna discordanza, nessun avviso") +
               left;
    case CompanyVerification::Outcome::DoneWithWarnings:
        return said + QStringLiteral("RIAPERTURA ESEGUITA CON AVVISI: nessun errore, nessuna discordanza, ") +
               warningsToCheck() + left;
    case CompanyVerification::Outcome::DoneWithErrors:
    case CompanyVerification::Outcome::NotDone:
        break;
    }
    QStringList counts;
    if (runErrors > 0)
        counts << errorsCounted(runErrors) + QStringLiteral(" della riapertura");
    counts << mismatchesCounted(mismatches()) << warningsCounted(warnings());
    return said + QStringLiteral("RIAPERTURA ESEGUITA CON ERRORI: ") + counts.join(QStringLiteral(", ")) +
           left;
}

QStringList VerificationReport::summary() const
{
    QStringList lines;
    for (const CompanyVerification& c : companies)
        lines << QStringLiteral("Azienda_%1 %2: %3, %4")
                     .arg(c.slot)
                     .arg(c.name, mismatchesCounted(c.mismatches()), warningsCounted(c.warnings()));
    lines << headline();
    return lines;
}

QStringList VerificationReport::closingLines(const RunState& state, const QString& reportPath) const
{
    QStringList lines;
    for (const CompanyVerification& c : companies) {
        QString line = QStringLiteral("Azienda_%1 %2: %3").arg(c.slot).arg(c.name, outcomeText(c.outcome()));
        if (c.outcome() == CompanyVerification::Outcome::DoneWithWarnings)
            line += QStringLiteral(" (%1 da controllare a mano)").arg(warningsCounted(c.warnings()));
        else if (c.outcome() != CompanyVerification::Outcome::Done)
            line += QStringLiteral(" (%1, %2)")
                        .arg(errorsCounted(c.runErrors), mismatchesCounted(c.mismatches()));
        lines << line;
    }
    for (const CompanyVerification& c : notChosen)
        lines << (c.name.isEmpty() ? QStringLiteral("Azienda_%1").arg(c.slot)
                                   : QStringLiteral("Azienda_%1 %2").arg(c.slot).arg(c.name)) +
                     QStringLiteral(": ") + QLatin1String(NotChosenText);
    const RunRecord& run = state.record;
    if (run.rehearsal()) {
        lines << QStringLiteral(
            "Copia di sicurezza: nessuna (simulazione: l'installazione non è stata modificata)");
        lines << QStringLiteral("File di log: non scritto (simulazione)");
    } else {
        lines << QStringLiteral("Copia di sicurezza: ") +
                     (run.safetyCopy.isEmpty() ? QStringLiteral("nessuna") : shownPath(run.safetyCopy));
        lines << QStringLiteral("File di log: ") +
                     (run.log ? shownPath(layout::logFilePath(state.PercorsoBase))
                              : QStringLiteral("non scritto (Crea file Log non spuntato)"));
    }
    lines << QStringLiteral("Rapporto di verifica: ") +
                 (reportPath.isEmpty() ? QStringLiteral("non scritto") : shownPath(reportPath));
    return lines;
}

} // namespace rio
