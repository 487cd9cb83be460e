#include "app/cli/console_json.h"

#include "context/layout.h"
#include "context/run_state.h"
#include "data/filesystem.h"
#include "run/company_choice.h"
#include "run/preliminary_check.h"
#include "run/restore.h"
#include "run/verification.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>

namespace rio::cli {

namespace {

// Paths as this machine knows them: what another program opens.
QJsonValue shownPath(const QString& windowsPath)
{
    if (windowsPath.isEmpty())
        return QJsonValue::Null;
    return QDir::toNativeSeparators(fs::hostPath(windowsPath));
}

// The company a line names ("Azienda_3: ..."), 0 when none.
int namedCompany(const QString& text)
{
    static const QRegularExpression company(QStringLiteral("\\bAzienda_(\\d+)\\b"));
    const QRegularExpressionMatch match = company.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QJsonValue slotValue(int slot)
{
    return slot > 0 ? QJsonValue(slot) : QJsonValue(QJsonValue::Null);
}

QString levelWord(PreliminaryFinding::Level level)
{
    switch (level) {
    case PreliminaryFinding::Level::Ok:
        return QStringLiteral("ok");
    case PreliminaryFinding::Level::Warning:
        return QStringLiteral("attenzione");
    case PreliminaryFinding::Level::Error:
        break;
    }
    return QStringLiteral("errore");
}

QString checkWord(CopyCheck::State state)
{
    switch (state) {
    case CopyCheck::State::Verified:
        return QStringLiteral("verificata");
    case CopyCheck::State::NoManifest:
        return QStringLiteral("senza manifesto");
    case CopyCheck::State::Differs:
        return QStringLiteral("diversa");
    case CopyCheck::State::Unreadable:
        return QStringLiteral("illeggibile");
    case CopyCheck::State::Cancelled:
        break;
    }
    return QStringLiteral("annullata");
}

// A company the user's choice left out: nothing was done or counted.
QJsonObject notChosenCompany(int slot, const QString& name)
{
    return QJsonObject{{QStringLiteral("azienda"), slot},
                       {QStringLiteral("nome"), name},
                       {QStringLiteral("esito"), QLatin1String(NotChosenText)},
                       {QStringLiteral("errori"), QJsonValue::Null},
                       {QStringLiteral("avvisi"), QJsonValue::Null},
                       {QStringLiteral("discrepanze"), QJsonValue::Null}};
}

} // namespace

JsonReport::JsonReport(QString command) : m_command(std::move(command)) {}

void JsonReport::finding(const QString& level, int slot, const QString& area, const QString& text)
{
    m_findings.append(QJsonObject{{QStringLiteral("livello"), level},
                                  {QStringLiteral("azienda"), slotValue(slot)},
                                  {QStringLiteral("area"), area},
                                  {QStringLiteral("testo"), text}});
}

void JsonReport::eventLine(const QString& line, EventMark mark)
{
    if (mark.closing || mark.tone == Tone::Plain)
        return;
    const int named = namedCompany(line);
    finding(mark.tone == Tone::Error ? QStringLiteral("errore") : QStringLiteral("attenzione"),
            named > 0 ? named : m_slotInWork, QString(), line);
}

void JsonReport::companyInWork(const QString& slotText)
{
    m_slotInWork = slotText.toInt();
}

void JsonReport::message(const QString& title, const QString& text, Icon icon)
{
    QString kind;
    switch (icon) {
    case Icon::Critical:
        kind = QStringLiteral("errore");
        break;
    case Icon::Exclamation:
        kind = QStringLiteral("attenzione");
        break;
    case Icon::Information:
        kind = QStringLiteral("informazione");
        break;
    case Icon::None:
        break;
    }
    m_messages.append(QJsonObject{
        {QStringLiteral("titolo"), title}, {QStringLiteral("testo"), text}, {QStringLiteral("tipo"), kind}});
}

void JsonReport::outcome(const QString& text)
{
    m_outcome = text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

void JsonReport::verification(const VerificationReport& report)
{
    m_haveReport = true;
    m_companies = {};
    for (const CompanyVerification& c : report.companies) {
        m_companies.append(QJsonObject{{QStringLiteral("azienda"), c.slot},
                                       {QStringLiteral("nome"), c.name},
                                       {QStringLiteral("esito"), outcomeText(c.outcome())},
                                       {QStringLiteral("errori"), c.runErrors},
                                       {QStringLiteral("avvisi"), c.warnings()},
                                       {QStringLiteral("discrepanze"), c.mismatches()}});
        for (const Finding& f : c.findings)
            finding(f.kind == Finding::Kind::Mismatch ? QStringLiteral("discrepanza")
                                                      : QStringLiteral("attenzione"),
                    c.slot, f.area, f.text);
    }
    for (const CompanyVerification& c : report.notChosen)
        m_companies.append(notChosenCompany(c.slot, c.name));
}

void JsonReport::reportPath(const QString& windowsPath)
{
    m_report = shownPath(windowsPath);
    m_csv = {};
    if (!windowsPath.endsWith(QLatin1String(".html")))
        return;
    // The spreadsheets lie beside the report, each whole or not at all.
    const QString stem = windowsPath.chopped(5);
    for (const QString& suffix : {QStringLiteral("_giacenze.csv"), QStringLiteral("_partite.csv")})
        if (QFileInfo::exists(fs::hostPath(stem + suffix)))
            m_csv.append(shownPath(stem + suffix));
}

void JsonReport::restoreEnded(const QString& outcome, bool restored, const QString& path)
{
    m_restore.insert(QStringLiteral("ripristinato"), restored);
    m_restore.insert(QStringLiteral("esito"), outcome);
    m_report = shownPath(path);
}

void JsonReport::restoreDone(bool done)
{
    if (!m_restore.contains(QStringLiteral("ripristinato")))
        m_restore.insert(QStringLiteral("ripristinato"), done);
}

void JsonReport::check(const PreliminaryCheck& check)
{
    for (const PreliminaryFinding& f : check.findings)
        finding(levelWord(f.level), namedCompany(f.text), QString(), f.text);
}

void JsonReport::copy(const SafetyCopy& copy, const CopyCheck& check, bool takenByDefault)
{
    QJsonArray opened;
    for (int slot : copy.opened)
        opened.append(slot);
    m_copies.append(QJsonObject{
        {QStringLiteral("nome"), copy.name},
        {QStringLiteral("percorso"), shownPath(copy.path)},
        {QStringLiteral("data"), copy.timeKnown ? copy.taken.toString(Qt::ISODate)
                                                : copy.taken.toString(QStringLiteral("yyyy-MM-dd"))},
        {QStringLiteral("ora_nota"), copy.timeKnown},
        {QStringLiteral("byte"), double(copy.bytes)},
        {QStringLiteral("prima_della_riapertura"), copy.beforeOpening()},
        {QStringLiteral("aziende_con_anno_nuovo"), opened},
        {QStringLiteral("verifica"), checkWord(check.state)},
        {QStringLiteral("file"), check.files},
        {QStringLiteral("problemi"), QJsonArray::fromStringList(check.problems)},
        {QStringLiteral("predefinita"), takenByDefault}});
}

void JsonReport::setAside(const QString& windowsPath)
{
    m_setAside = shownPath(windowsPath);
}

void JsonReport::restoredCopy(const QString& name, const QString& windowsPath)
{
    m_restore.insert(QStringLiteral("copia"), name);
    m_safetyCopy = shownPath(windowsPath);
}

void JsonReport::run(const RunState& state)
{
    const RunRecord& record = state.record;
    // A copy an interrupted run left unfinished has been removed.
    if (!record.safetyCopy.isEmpty() && QFileInfo::exists(fs::hostPath(record.safetyCopy)))
        m_safetyCopy = shownPath(record.safetyCopy);
    if (m_haveReport)
        return;
    // Stopped before its report: what the record knows of each company.
    for (int slot : record.companies)
        m_companies.append(QJsonObject{{QStringLiteral("azienda"), slot},
                                       {QStringLiteral("nome"), QString()},
                                       {QStringLiteral("esito"), QJsonValue::Null},
                                       {QStringLiteral("errori"), record.companyErrors.value(slot)},
                                       {QStringLiteral("avvisi"), QJsonValue::Null},
                                       {QStringLiteral("discrepanze"), QJsonValue::Null}});
    for (int slot : companiesNotChosen(state))
        m_companies.append(notChosenCompany(slot, QString()));
}

void JsonReport::logUnder(const QString& root)
{
    if (root.isEmpty())
        return;
    const QString log = layout::logFilePath(root);
    if (QFileInfo::exists(fs::hostPath(log)))
        m_log = shownPath(log);
}

QByteArray JsonReport::document(int exitStatus) const
{
    QJsonObject restore = m_restore;
    if (!restore.isEmpty()) {
        for (const QString& key : {QStringLiteral("copia"), QStringLiteral("esito")})
            if (!restore.contains(key))
                restore.insert(key, QJsonValue::Null);
        if (!restore.contains(QStringLiteral("ripristinato")))
            restore.insert(QStringLiteral("ripristinato"), false);
    }
    const bool restoring =
        m_command == QLatin1String("ripristina") || m_command == QLatin1String("annulla-ripristino");
    const QJsonObject paths{{QStringLiteral("copia_di_sicurezza"), m_safetyCopy},
                            {QStringLiteral("log"), m_log},
                            {QStringLiteral("rapporto"), m_report},
                            {QStringLiteral("csv"), m_csv},
                            {QStringLiteral("cartella_messa_da_parte"), m_setAside}};
    const QJsonObject object{
        {QStringLiteral("schema"), 1},
        {QStringLiteral("comando"),
         m_command.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(m_command)},
        {QStringLiteral("stato_uscita"), exitStatus},
        {QStringLiteral("simulazione"), m_rehearsal},
        {QStringLiteral("esito"), m_outcome},
        {QStringLiteral("rilievi"), m_findings},
        {QStringLiteral("aziende"), m_companies},
        {QStringLiteral("percorsi"), paths},
        {QStringLiteral("copie"), m_copies},
        {QStringLiteral("ripristino"),
         restoring ? QJsonValue(restore.isEmpty() ? QJsonObject{{QStringLiteral("copia"), QJsonValue::Null},
                                                                {QStringLiteral("ripristinato"), false},
                                                                {QStringLiteral("esito"), QJsonValue::Null}}
                                                  : restore)
                   : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("messaggi"), m_messages}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool jsonAsked(const QStringList& arguments)
{
    return arguments.mid(1).contains(QStringLiteral("--json"));
}

} // namespace rio::cli
