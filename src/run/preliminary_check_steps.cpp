// What the steps will refuse or leave to be put right by hand, found with the
// steps' own rules before anything is written.
#include "accounting/genero_movimento_contabile.h"
#include "accounting/movimenti_contabili.h"
#include "context/years.h"
#include "data/database.h"
#include "init/inizializzazione.h" // tables are found as the initialisation finds them
#include "run/preliminary_check_archive.h"
#include "warehouse/ripristino_magazzino.h"

#include <QScopeGuard>
#include <QSet>

#include <chrono>
#include <future>
#include <optional>

namespace rio {

namespace {

constexpr int RowsNamed = 5;

// "n articoli ...: "A" , "B", ... e altri k".
QString named(const QStringList& rows, qint64 total)
{
    QString text = rows.mid(0, RowsNamed).join(QStringLiteral(", "));
    if (total > RowsNamed)
        text += QStringLiteral(" e altri %1").arg(total - RowsNamed);
    return text;
}

QString quoted(const QString& code)
{
    return QLatin1Char('"') + code + QLatin1Char('"');
}

// The first codes, quoted, then how many more.
QString namedCodes(const QStringList& codes)
{
    QStringList rows;
    for (const QString& code : codes.mid(0, RowsNamed))
        rows << quoted(code);
    return named(rows, codes.size());
}

// The article codes as the stock recomputation finds them: a code it cannot
// read stops it; twins and codes with blanks leave stock to correct by hand.
void checkArticleCodes(Checker& check, Connection& archive, const QString& company, CompanyVolume& volume)
{
    // The run's recomputation takes over the stock read here (through ODBC
    // the file cannot say whether it is still as read).
    const ArticleCodeReview review = reviewArticleCodes(
        archive, archive.driver() == Connection::Driver::Sqlite ? check.stockReadings() : nullptr);
    volume.articles = review.articles;
    if (review.firstWithoutCode > 0)
        check.add(Level::Error,
                  QStringLiteral("%1: l'articolo alla riga %2 di ANAG_ART non ha codice (CodArt "
                                 "vuoto): la riapertura si interromperebbe")
                      .arg(company)
                      .arg(review.firstWithoutCode));
    if (!review.twins.isEmpty()) {
        QStringList rows;
        for (const auto& [code, rowCode] : review.twins.mid(0, RowsNamed))
            rows << QStringLiteral("%1 (come %2)").arg(quoted(code), quoted(rowCode));
        check.add(Level::Warning,
                  QStringLiteral("%2: %3 articoli con codice gemello di un altro (differiscono solo per "
                                 "maiuscole/minuscole o spazi): il ricalcolo delle giacenze dà i loro "
                                 "movimenti a un solo articolo e la giacenza %1 andrà controllata a mano: %4")
                      .arg(layout::AnnoDaAprire)
                      .arg(company)
                      .arg(review.twins.size())
                      .arg(named(rows, review.twins.size())));
    }
    if (!review.skipped.isEmpty()) {
        check.add(Level::Warning,
                  QStringLiteral("%2: %3 articoli con codice vuoto o con spazi all'inizio o alla fine: il "
                                 "ricalcolo delle giacenze li salta e la giacenza %1 andrà controllata a "
                                 "mano: %4")
                      .arg(layout::AnnoDaAprire)
                      .arg(company)
                      .arg(review.skipped.size())
                      .arg(namedCodes(review.skipped)));
    }
    if (review.movementsWithoutCode > 0)
        check.add(Level::Warning,
                  QStringLiteral("%1: %2 movimenti di magazzino senza codice articolo: il ricalcolo delle "
                                 "giacenze non li conta")
                      .arg(company)
                      .arg(review.movementsWithoutCode));
    if (!review.unmatchedMovementCodes.isEmpty()) {
        check.add(Level::Warning,
                  QStringLiteral("%1: movimenti di magazzino di %2 codici che nessun articolo ha (o che un "
                                 "articolo ha solo con spazi all'inizio o alla fine): il ricalcolo delle "
                                 "giacenze non li conta: %3")
                      .arg(company)
                      .arg(review.unmatchedMovementCodes.size())
                      .arg(namedCodes(review.unmatchedMovementCodes)));
    }
    volume.namedRows += review.twins.size() + review.skipped.size();
    Query text(archive, QStringLiteral("select coalesce(sum(length(cast(CodArt as blob))), 0), "
                                       "coalesce(sum(length(cast(DescrArt as blob))), 0) from ANAG_ART"));
    text.exec();
    text.moveFirst();
    volume.articleTextBytes = qint64(numberOf(text.value(0))) + qint64(numberOf(text.value(1)));
    text.finish();
}

// An item as the user finds it in Zeta: its customer or supplier, its
// document and date.
QString itemName(const AccountingMovement& m)
{
    const auto shown = [](const Value& v) {
        return isNull(v) ? QStringLiteral("Null") : quoted(textOrEmpty(v));
    };
    return QStringLiteral("%1 %2, documento %3 n. %4 del %5")
        .arg(shown(m.Tp_CLI_FOR), shown(m.Cod_CLIFOR), shown(m.Tipo_Documento), shown(m.Num_Documento),
             shown(m.Data_Movimento));
}

// The open items as the check counts them, and those the accounting writer
// will refuse.
struct OpenItemsReview
{
    qint64 items = 0;
    qint64 textBytes = 0;
    qint64 parties = 0;
    qint64 refused = 0;
    QStringList named; // the first refused, with why
};

// Each item read as the carry-forward reads it and judged by the writer's
// own rule. Raises the engine's errors, review then holding the items
// counted up to there.
void reviewOpenItems(Connection& archive, OpenItemsReview& review)
{
    OpenItems items(archive);
    // The new year's table is the old one copied: its columns take the same values.
    AccountingMovementProbe writer(archive, QStringLiteral("MOV_CONT"));
    QSet<QString> parties;
    while (items.next()) {
        const AccountingMovement m = items.movement();
        ++review.items;
        parties.insert(textOrEmpty(m.Tp_CLI_FOR) + QLatin1Char('\n') + textOrEmpty(m.Cod_CLIFOR).toUpper());
        for (const Value* v :
             {&m.Data_Movimento, &m.Tp_CLI_FOR, &m.Cod_CLIFOR, &m.Tipo_Documento, &m.Num_Documento})
            review.textBytes += 3 * textOrEmpty(*v).size(); // UTF-8 at most
        if (const std::optional<QString> why = writer.refusalOf(m)) {
            if (++review.refused <= RowsNamed)
                review.named << itemName(m) + QStringLiteral(" (") + *why + QLatin1Char(')');
        }
    }
    review.parties = parties.size();
}

// The items counted before a failure count in the space all the same.
void countOpenItems(const OpenItemsReview& review, CompanyVolume& volume)
{
    volume.openItems += review.items;
    volume.openItemTextBytes += review.textBytes;
}

void reportOpenItems(Checker& check, const QString& company, const OpenItemsReview& review,
                     CompanyVolume& volume)
{
    countOpenItems(review, volume);
    volume.parties = review.parties;
    volume.refusedItems = review.refused;
    volume.namedRows += review.refused;
    if (review.refused > 0)
        check.add(Level::Warning,
                  QStringLiteral("%2: %3 partite aperte non saranno riportate nel %1 (il programma le "
                                 "rifiuta): andranno registrate a mano: %4")
                      .arg(layout::AnnoDaAprire)
                      .arg(company)
                      .arg(review.refused)
                      .arg(named(review.named, review.refused)));
}

void reportUnreadableOpenItems(Checker& check, const QString& company, const Error& e)
{
    check.add(Level::Warning, QStringLiteral("%1: partite aperte non leggibili, il loro riporto fallirà: %2")
                                  .arg(company, describe(e)));
}

// The open items read on a second thread over a connection of its own
// (opened, read and closed there) while the articles are read here.
// Unset when the archive does not open there: it is then read here.
struct AsideOpenItems
{
    bool read = false;
    OpenItemsReview review;
    std::optional<Error> failure;
};

AsideOpenItems reviewOpenItemsAside(const QString& connectionString)
{
    AsideOpenItems outcome;
    Connection archive;
    try {
        archive.open(connectionString);
        useCheckCache(archive);
    } catch (...) {
        return outcome;
    }
    try {
        reviewOpenItems(archive, outcome.review);
    } catch (const Error& e) {
        outcome.failure = e;
    } catch (...) {
        return AsideOpenItems{};
    }
    archive.release();
    outcome.read = true;
    return outcome;
}

} // namespace

void checkWhatStepsFlag(Checker& check, Connection& archive, const QString& company, CompanyVolume& volume,
                        const QString& asideConnection)
{
    volume.rowsRead = true;
    const auto has = [&archive](const char* table) {
        return gEsistenza_Tabella(&archive, Value(QLatin1String(table)));
    };
    const bool openItems = has("MOV_CONT");
    std::future<AsideOpenItems> aside;
    if (openItems && !asideConnection.isEmpty()) {
        try {
            aside = std::async(std::launch::async, reviewOpenItemsAside, asideConnection);
        } catch (...) {
            // No thread to be had: the open items are read here, after the articles.
        }
    }
    // Ended before it is left, whatever is raised here: it reads the archive.
    const auto waitAside = qScopeGuard([&aside] {
        if (aside.valid())
            aside.wait();
    });
    try {
        if (has("ANAG_ART"))
            checkArticleCodes(check, archive, company, volume);
    } catch (const Error& e) {
        check.add(Level::Warning, QStringLiteral("%1: articoli non leggibili per il controllo dei codici: %2")
                                      .arg(company, describe(e)));
    }
    if (!openItems)
        return;
    if (aside.valid()) {
        while (aside.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
            check.yield();
        const AsideOpenItems outcome = aside.get();
        if (outcome.read && !outcome.failure) {
            reportOpenItems(check, company, outcome.review, volume);
            return;
        }
        if (outcome.read) {
            countOpenItems(outcome.review, volume);
            reportUnreadableOpenItems(check, company, *outcome.failure);
            return;
        }
    }
    OpenItemsReview review;
    try {
        reviewOpenItems(archive, review);
        reportOpenItems(check, company, review, volume);
    } catch (const Error& e) {
        countOpenItems(review, volume);
        reportUnreadableOpenItems(check, company, e);
    }
}

} // namespace rio
