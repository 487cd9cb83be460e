// Opening some companies only: which the user chose, which the run leaves
// as they are, and which a run with errors offers again.
#include "run/company_choice.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/interrupted_write.h"
#include "run/restore.h"
#include "run/run.h"
#include "run/verification.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace rio {

namespace {

constexpr int FirstSlot = 1;
constexpr int LastSlot = 10;

QString entryState(const QString& entry)
{
    return entry.section(QLatin1Char('*'), 1, 1);
}

// What the report escapes in a cell, back to text.
QString unescaped(QString s)
{
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&#39;"), QLatin1String("'"));
    return s.replace(QLatin1String("&amp;"), QLatin1String("&"));
}

// The outcome of each company in a report's table "Esito per azienda", read
// from the head of the file: the table comes before any company's tables.
QMap<int, QString> reportOutcomes(const QString& hostFile)
{
    QMap<int, QString> outcomes;
    QFile file(hostFile);
    if (!file.open(QIODevice::ReadOnly))
        return outcomes;
    const QString head = QString::fromUtf8(file.read(128 * 1024));
    const qsizetype start = head.indexOf(QLatin1String("<h2>Esito per azienda</h2>"));
    if (start < 0)
        return outcomes;
    const qsizetype end = head.indexOf(QLatin1String("</table>"), start);
    const QString table = head.mid(start, end < 0 ? -1 : end - start);
    static const QRegularExpression row(
        QStringLiteral("<tr[^>]*><td>Azienda_(\\d+)</td><td>[^<]*</td><td>([^<]*)</td>"));
    for (auto it = row.globalMatch(table); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        outcomes.insert(match.captured(1).toInt(), unescaped(match.captured(2)));
    }
    return outcomes;
}

} // namespace

SlotListParse parseSlotList(const QString& text)
{
    SlotListParse result;
    if (text.trimmed().isEmpty()) {
        result.error = QStringLiteral("nessuna azienda indicata (esempio: 1,3,7)");
        return result;
    }
    for (const QString& raw : text.split(QLatin1Char(','))) {
        const QString item = raw.trimmed();
        bool number = false;
        const int slot = item.toInt(&number);
        // Digits only: "+3", "03" and " " are not slots as the folders name them.
        static const QRegularExpression digits(QStringLiteral("^(0|[1-9][0-9]*)$"));
        if (!number || !digits.match(item).hasMatch()) {
            result.error = QStringLiteral("\"%1\" non è un numero di azienda (da %2 a %3)")
                               .arg(item)
                               .arg(FirstSlot)
                               .arg(LastSlot);
            result.numbers.clear();
            return result;
        }
        if (slot < FirstSlot || slot > LastSlot) {
            result.error = QStringLiteral("l'azienda %1 non esiste: le aziende vanno da %2 a %3")
                               .arg(slot)
                               .arg(FirstSlot)
                               .arg(LastSlot);
            result.numbers.clear();
            return result;
        }
        if (result.numbers.contains(slot)) {
            result.error = QStringLiteral("l'azienda %1 è indicata due volte").arg(slot);
            result.numbers.clear();
            return result;
        }
        result.numbers << slot;
    }
    std::sort(result.numbers.begin(), result.numbers.end());
    return result;
}

QString slotListText(const QList<int>& numbers)
{
    QStringList items;
    for (int slot : numbers)
        items << QString::number(slot);
    return items.join(QLatin1Char(','));
}

QList<int> companiesFound(const QString& root)
{
    QList<int> found;
    for (int n = FirstSlot; n <= LastSlot; ++n)
        if (!fs::Dir(layout::oldArchivePath(root, n), fs::vbNormal).isEmpty())
            found << n;
    return found;
}

QList<int> chosenButMissing(const QList<int>& chosen, const QList<int>& found)
{
    QList<int> missing;
    for (int slot : chosen)
        if (!found.contains(slot))
            missing << slot;
    return missing;
}

QString missingChoiceText(const QString& root, int slot)
{
    return QStringLiteral("%1 scelta ma senza archivio %2 (%3)")
        .arg(layout::companyFolderName(slot))
        .arg(layout::AnnoInCorso)
        .arg(layout::oldArchivePath(root, slot));
}

bool acceptCompanyChoice(RunContext& ctx)
{
    const QList<int> chosen = ctx.host().chosenCompanies();
    if (chosen.isEmpty())
        return true;
    QString root;
    QList<int> missing;
    try {
        root = readInstallationRoot(ctx.host(), ctx.state().CartellaProgrammi);
        // No data folder (a restore stopped half-way): the run offers to put
        // it back first, and its check says what is missing.
        if (!fs::FolderExists(layout::dataFolder(root)))
            return true;
        missing = chosenButMissing(chosen, companiesFound(root));
    } catch (const Error&) {
        return true; // the check says what is wrong with the system database or the root
    }
    if (missing.isEmpty())
        return true;
    QStringList texts;
    for (int slot : missing) {
        texts << missingChoiceText(root, slot);
        ctx.host().addMarkedEvent(QStringLiteral("ERRORE ") + texts.last(), {Tone::Error, false});
    }
    ctx.host().message(QStringLiteral("Impossibile iniziare la riapertura: ") +
                           texts.join(QStringLiteral("; ")) +
                           QStringLiteral(".\r\nNessun file è stato modificato."),
                       Buttons::Ok, Icon::Critical, QLatin1String(ApplicationTitle));
    return false;
}

void leaveOutCompaniesNotChosen(RunContext& ctx)
{
    const QList<int> chosen = ctx.host().chosenCompanies();
    if (chosen.isEmpty())
        return;
    RunState& state = ctx.state();
    QList<int> left;
    for (const ListedCompany& company : state.activeCompanies()) {
        if (chosen.contains(company.slot))
            continue;
        state.ElencoAziende[company.slot] =
            company.archivePath + QLatin1Char('*') + QLatin1String(NotChosenState);
        left << company.slot;
    }
    ctx.host().showCompanyInfo(CompanyInfo::Count, QString::number(state.activeCompanies().size()));
    if (!left.isEmpty())
        ctx.addEventLine(QStringLiteral("Aziende non scelte, lasciate come sono: ") + companyList(left));
}

QList<int> companiesNotChosen(const RunState& state)
{
    QList<int> numbers;
    for (int n = FirstSlot; n < int(state.ElencoAziende.size()); ++n)
        if (entryState(state.ElencoAziende[n]) == QLatin1String(NotChosenState))
            numbers << n;
    return numbers;
}

QString companyNameIfSafe(const QString& root, const QString& workgroup, int slot)
{
    const QString folder = layout::companyFolderName(slot);
    const QString archive = layout::oldArchivePath(root, slot);
    try {
        // Held by another program, the read would wait for it.
        if (fs::hasArchiveSideFiles(archive) || archiveHeldElsewhere(archive))
            return QString();
        Connection connection;
        connection.open(layout::archiveConnectionString(archive, workgroup));
        Query row(connection,
                  QStringLiteral("select Ragione_Sociale1 from AZIENDE where ID_Azienda='%1'").arg(folder));
        row.exec();
        const QString name = row.next() ? textOrEmpty(row.value(0)).trimmed() : QString();
        row.finish();
        return name;
    } catch (const Error&) {
        return QString();
    }
}

QList<int> companiesToRetry(const VerificationReport& report)
{
    QList<int> numbers;
    for (const CompanyVerification& c : report.companies)
        if (c.outcome() == CompanyVerification::Outcome::DoneWithErrors ||
            c.outcome() == CompanyVerification::Outcome::NotDone)
            numbers << c.slot;
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QMap<int, LastOutcome> lastOutcomes(const QString& root)
{
    QMap<int, LastOutcome> last;
    const QDir tmp(fs::hostPath(layout::tempFolder(root)));
    const QString prefix = QStringLiteral("verifica_Riapertura_%1_").arg(layout::AnnoDaAprire);
    // yyyyMMdd_HHmmss in the name: the newest sorts first.
    QStringList reports = tmp.entryList({prefix + QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    std::reverse(reports.begin(), reports.end());
    for (const QString& name : reports) {
        const QDateTime when =
            QDateTime::fromString(name.mid(prefix.size(), 15), QStringLiteral("yyyyMMdd_HHmmss"));
        const QMap<int, QString> outcomes = reportOutcomes(tmp.filePath(name));
        for (auto it = outcomes.begin(); it != outcomes.end(); ++it)
            if (!last.contains(it.key()) && it.value() != QLatin1String(NotChosenText))
                last.insert(it.key(), {it.value(), when});
        if (last.size() == LastSlot)
            break;
    }
    return last;
}

QList<CompanyOverview> companyOverview(const QString& root, const QString& workgroup)
{
    const QMap<int, LastOutcome> last = lastOutcomes(root);
    QList<CompanyOverview> companies;
    for (int slot : companiesFound(root)) {
        CompanyOverview c;
        c.slot = slot;
        c.name = companyNameIfSafe(root, workgroup, slot);
        c.newYear = fs::FolderExists(layout::newCompanyFolder(root, slot));
        if (last.contains(slot)) {
            const LastOutcome& o = last[slot];
            c.lastOutcome = o.when.isValid()
                                ? QStringLiteral("%1 il %2 alle %3")
                                      .arg(o.outcome, o.when.toString(QStringLiteral("dd/MM/yyyy")),
                                           o.when.toString(QStringLiteral("HH:mm")))
                                : o.outcome;
        } else {
            c.lastOutcome =
                c.newYear ? QStringLiteral("nessun esito registrato") : QStringLiteral("mai aperta");
        }
        companies << c;
    }
    return companies;
}

} // namespace rio
