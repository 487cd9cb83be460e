#include "app/demo/demo_archive.h"
#include "context/years.h"

#include "app/demo/demo_catalogue.h"
#include "app/demo/demo_sql.h"
#include "data/product_schema.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTime>

#include <vector>

namespace rio::demo {

namespace {

const QString Warehouses[] = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                              QStringLiteral("04"), QStringLiteral("05")};

// Mostly the first warehouse; now and then a code the product should never
// have written ("1", "06", "").
QString warehouse(QRandomGenerator& rng)
{
    const int r = rng.bounded(1000);
    if (r == 0)
        return QStringLiteral("1");
    if (r == 1)
        return QStringLiteral("06");
    if (r == 2)
        return QStringLiteral("");
    const int w = r % 100;
    return Warehouses[w < 40 ? 0 : w < 65 ? 1 : w < 80 ? 2 : w < 92 ? 3 : 4];
}

QString isoDate(const QDate& d)
{
    return d.toString(Qt::ISODate);
}

// A time of day as the product keeps it: on Jet's day zero.
QString timeOfDay(QRandomGenerator& rng)
{
    const QTime t(7 + rng.bounded(12), rng.bounded(60), rng.bounded(60));
    return QStringLiteral("1899-12-30 ") + t.toString(QStringLiteral("HH:mm:ss"));
}

QString clientOrSupplier(QRandomGenerator& rng, bool supplier)
{
    return (supplier ? QStringLiteral("F") : QStringLiteral("C")) +
           QStringLiteral("%1").arg(1 + rng.bounded(supplier ? 120 : 600), 5, 10, QLatin1Char('0'));
}

// The customers and the suppliers the items name, with their names; now and
// then a code has no row, as in an archive where one was deleted.
void writeParties(Sql& sql, QRandomGenerator& rng)
{
    for (const bool supplier : {false, true}) {
        QSqlQuery q = sql.prepare(
            QStringLiteral(
                "insert into %1(CodCliFor, Ragione_Sociale1, Partita_IVA, Citta) values(?, ?, ?, ?)")
                .arg(supplier ? QStringLiteral("ANAG_FOR") : QStringLiteral("ANAG_CLI")));
        const int count = supplier ? 120 : 600;
        for (int n = 1; n <= count; ++n) {
            const QString name = makeCompanyName(rng);
            if (n % 41 == 17)
                continue;
            QString vat;
            for (int i = 0; i < 11; ++i)
                vat += QChar(u'0' + rng.bounded(10));
            const QString code =
                QLatin1String(supplier ? "F" : "C") + QStringLiteral("%1").arg(n, 5, 10, QLatin1Char('0'));
            sql.exec(q, {code, name, vat, makeCity(rng)});
        }
    }
}

QDate dayOfOldYear(int day)
{
    return QDate(layout::AnnoInCorso, 1, 1).addDays(day);
}

void writeCompany(Sql& sql, QRandomGenerator& rng, int slot, const QString& name)
{
    QSqlQuery q =
        sql.prepare(QStringLiteral("insert into AZIENDE(ID_Azienda, Ragione_Sociale1, Ragione_Sociale2, "
                                   "Partita_IVA, Indirizzo, Citta) values(?, ?, ?, ?, ?, ?)"));
    QString vat;
    for (int i = 0; i < 11; ++i)
        vat += QChar(u'0' + rng.bounded(10));
    sql.exec(q, {QStringLiteral("Azienda_%1").arg(slot), name, QStringLiteral(""), vat, makeAddress(rng),
                 makeCity(rng)});
}

std::vector<DemoArticle> writeArticles(Sql& sql, QRandomGenerator& rng, int count)
{
    std::vector<DemoArticle> articles;
    articles.reserve(count);
    QSqlQuery q = sql.prepare(QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, UM, Giacenza1, "
                                             "giacenza2, giacenza3, giacenza4, giacenza5, CodIva, "
                                             "CostoStandard, CostoMedio, CostoUltimo, PrezzoVendita, "
                                             "Obsoleto) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < count; ++i) {
        articles.push_back(makeArticle(rng, i, i > 0 ? articles.back().code : QString()));
        const DemoArticle& a = articles.back();
        sql.exec(q, {a.code, a.description, a.unit, a.staleStock[0], a.staleStock[1], a.staleStock[2],
                     a.staleStock[3], a.staleStock[4], a.codIva, a.costoStandard, a.costoMedio, a.costoUltimo,
                     a.prezzoVendita, rng.bounded(50) == 0 ? 1 : 0});
    }
    return articles;
}

void writeWarehouseMovements(Sql& sql, QRandomGenerator& rng, const std::vector<DemoArticle>& articles,
                             int count)
{
    QSqlQuery q =
        sql.prepare(QStringLiteral("insert into MOV_MAG(Progr_Mov_Mag, DataMov, DEP, Carico_Scarico, "
                                   "DescrMov, oRAMov, TipoMov, CodCliFor, "
                                   "TipoCliFor, TipoDoc, DataDoc, CodArt, CodIva, CostoMedio, CostoUltimo, "
                                   "CostoStandard, Qta, NumDoc, Prezzo) "
                                   "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString carico = QStringLiteral("C");
    const QString scarico = QStringLiteral("S");
    for (int i = 0; i < count; ++i) {
        const DemoArticle& a = articles[rng.bounded(int(articles.size()))];
        // Dates rise with the movement number through the year.
        const QString date = isoDate(dayOfOldYear(int(qint64(i) * 365 / count)));
        // Fewer loads than unloads, but larger: most stocks end positive.
        const bool in = rng.bounded(100) < 40;
        const double scale = in ? 3.0 : 1.0;
        double qta = a.fractional ? roundCents((0.25 + rng.generateDouble() * 40.0) * scale)
                                  : double(1 + rng.bounded(int(48 * scale)));
        const int kind = rng.bounded(100);
        QString tipoMov, tipoDoc, descr;
        if (in) {
            tipoMov = kind < 85 ? QStringLiteral("CARICO") : QStringLiteral("RESO CLIENTE");
            tipoDoc = kind < 85 ? QStringLiteral("BF") : QStringLiteral("NC");
            descr = kind < 85 ? QStringLiteral("Carico da fornitore") : QStringLiteral("Reso da cliente");
        } else {
            qta = -qta;
            tipoMov = kind < 90 ? QStringLiteral("SCARICO") : QStringLiteral("RETTIFICA");
            tipoDoc = kind < 90 ? QStringLiteral("DDT") : QString();
            descr =
                kind < 90 ? QStringLiteral("Vendita a cliente") : QStringLiteral("Rettifica d'inventario");
        }
        const bool supplier = in && kind < 85;
        // Now and then a movement names the article in other letters' case.
        const QString code = rng.bounded(500) == 0 ? a.code.toLower() : a.code;
        sql.exec(q,
                 {i + 1, date, warehouse(rng), in ? carico : scarico, descr, timeOfDay(rng), tipoMov,
                  tipoDoc.isEmpty() ? QString() : clientOrSupplier(rng, supplier),
                  tipoDoc.isEmpty() ? QString()
                  : supplier        ? QStringLiteral("F")
                                    : QStringLiteral("C"),
                  tipoDoc, date, code, a.codIva, a.costoMedio, a.costoUltimo, a.costoStandard, qta,
                  tipoDoc.isEmpty() ? QString() : QString::number(1 + i / 7), roundCents(a.prezzoVendita)});
    }
}

// Open items (Null Stato_PArtita) and, about two for every three open, closed ones.
void writeAccountingItems(Sql& sql, QRandomGenerator& rng, int open, ArchiveSummary& summary)
{
    const int closed = open * 2 / 3 + (open > 0 ? 1 : 0);
    QSqlQuery q = sql.prepare(QStringLiteral(
        "insert into MOV_CONT(progr_mov_cont, ID_MOV_CONT, Data_Mov_Cont, DESCRIZIONE_OPERAZIONE, Tipo_Mov, "
        "Tipo_Documento, Numero_Documento, UltimoAggiornamento, TipoCliFor, CodCLIFOR, CodAgente, "
        "ID_Generico, "
        "Sezione, Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, Giorni_Scadenza, ID_PARTITA, "
        "Stato_PArtita, Cod_Cantiere, Cod_SubCantiere, User) "
        "values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    int leftOpen = open;
    int leftClosed = closed;
    for (int i = 0; leftOpen + leftClosed > 0; ++i) {
        const bool isOpen = int(rng.bounded(leftOpen + leftClosed)) < leftOpen;
        (isOpen ? leftOpen : leftClosed)--;
        const bool supplier = rng.bounded(3) == 0;
        const QDate date = dayOfOldYear(rng.bounded(365));
        const int number = 1 + i;
        const double imponibile = roundCents(50 + rng.generateDouble() * 4950);
        const double imposta = roundCents(imponibile * 0.22);
        const QString doc = supplier ? QStringLiteral("Fattura di acquisto n. %1 del %2")
                                     : QStringLiteral("Fattura di vendita n. %1 del %2");
        sql.exec(q, {number,
                     QStringLiteral("MC%1").arg(number, 6, 10, QLatin1Char('0')),
                     isoDate(date),
                     doc.arg(number).arg(date.toString(QStringLiteral("dd/MM/yyyy"))),
                     supplier ? QStringLiteral("FA") : QStringLiteral("FV"),
                     QStringLiteral("FT"),
                     number,
                     QString(isoDate(date) + QStringLiteral(" 18:00:00")),
                     supplier ? QStringLiteral("F") : QStringLiteral("C"),
                     clientOrSupplier(rng, supplier),
                     supplier ? QString()
                              : QStringLiteral("AG%1").arg(1 + rng.bounded(9), 2, 10, QLatin1Char('0')),
                     QString(),
                     supplier ? QStringLiteral("A") : QStringLiteral("D"),
                     imponibile,
                     imposta,
                     roundCents(imponibile + imposta),
                     QStringLiteral("01"),
                     30 * (1 + rng.bounded(4)),
                     QStringLiteral("P%1/%2").arg(layout::AnnoInCorso).arg(number, 6, 10, QLatin1Char('0')),
                     isOpen ? QVariant() : QVariant(QStringLiteral("C")),
                     0,
                     0,
                     QStringLiteral("admin")});
    }
    summary.openItems = open;
    summary.closedItems = closed;
}

// Causals, their document tables, and the other movement tables the new year empties.
void writeDocuments(Sql& sql, QRandomGenerator& rng)
{
    QSqlQuery causal =
        sql.prepare(QStringLiteral("insert into CAUSALI(Tipo_Causale, Descrizione, "
                                   "Nome_Tabella_Archiviazione_dati_documento, Attivazione_causale) "
                                   "values(?, ?, ?, ?)"));
    for (const auto& c : schema::demoCausals()) {
        sql.exec(causal, {c.tipo, QString(QStringLiteral("Causale ") + c.tipo),
                          c.tabella.isEmpty() ? QVariant() : QVariant(c.tabella), c.attiva ? 1 : 0});
        if (c.tabella.isEmpty())
            continue;
        QSqlQuery head =
            sql.prepare(QStringLiteral("insert into T_%1(Numero, Data, CodCliFor, Totale) values(?, ?, ?, ?)")
                            .arg(c.tabella));
        QSqlQuery body = sql.prepare(
            QStringLiteral("insert into C_%1(Numero, Riga, CodArt, Qta) values(?, ?, ?, ?)").arg(c.tabella));
        const int documents = 3 + rng.bounded(10);
        for (int n = 1; n <= documents; ++n) {
            sql.exec(head, {n, isoDate(dayOfOldYear(rng.bounded(365))), clientOrSupplier(rng, false),
                            roundCents(rng.generateDouble() * 2000)});
            const int lines = 1 + rng.bounded(4);
            for (int r = 1; r <= lines; ++r)
                sql.exec(body, {n, r, QStringLiteral("ART%1").arg(r), double(1 + rng.bounded(20))});
        }
    }
    QSqlQuery iva = sql.prepare(QStringLiteral(
        "insert into MOV_IVA(Progr_Mov_Iva, Data_Mov, CodIva, Imponibile, Imposta) values(?, ?, ?, ?, ?)"));
    QSqlQuery provv = sql.prepare(QStringLiteral(
        "insert into MOV_PROVV(Progr_Mov_Provv, Data_Mov, CodAgente, Importo) values(?, ?, ?, ?)"));
    QSqlQuery trasp = sql.prepare(QStringLiteral(
        "insert into MOV_TRASP(Progr_Mov_Trasp, Data_Mov, Vettore, Colli) values(?, ?, ?, ?)"));
    for (int n = 1; n <= 12; ++n) {
        const double imponibile = roundCents(rng.generateDouble() * 3000);
        const QString date = isoDate(dayOfOldYear(rng.bounded(365)));
        sql.exec(iva, {n, date, QStringLiteral("22"), imponibile, roundCents(imponibile * 0.22)});
        sql.exec(provv, {n, date, QStringLiteral("AG%1").arg(1 + n % 9, 2, 10, QLatin1Char('0')),
                         roundCents(imponibile * 0.05)});
        sql.exec(trasp,
                 {n, date, n % 2 ? QStringLiteral("Bartolini") : QStringLiteral("Trasporti Veloci S.r.l."),
                  1 + rng.bounded(30)});
    }
}

void writeCounters(Sql& sql, QRandomGenerator& rng, int movements, int accountingItems)
{
    const QStringList fields = schema::counterFields();
    QStringList marks;
    QVariantList values;
    for (const QString& f : fields) {
        marks << QStringLiteral("?");
        if (f == QLatin1String("Progr_Mov_Mag"))
            values << movements + 1;
        else if (f == QLatin1String("Progr_Mov_Cont"))
            values << accountingItems + 1;
        else
            values << 1 + rng.bounded(999);
    }
    QSqlQuery q = sql.prepare(QStringLiteral("insert into CONTATORI(%1) values(%2)")
                                  .arg(fields.join(QLatin1String(", ")), marks.join(QLatin1String(", "))));
    sql.exec(q, values);
}

} // namespace

ArchiveSummary writeCompanyArchive(const QString& hostFile, int slot, const DemoOptions& options)
{
    // Each company draws from its own stream, so its data do not depend on
    // how many companies are written.
    const quint32 seeds[] = {options.seed, quint32(slot)};
    QRandomGenerator rng(seeds, seeds + 2);

    QStringList tables;
    for (const auto& c : schema::demoCausals())
        if (!c.tabella.isEmpty())
            tables << c.tabella;
    QStringList indexes;
    QStringList create;
    for (const QString& s : schema::archiveStatements(tables))
        (s.startsWith(QLatin1String("create index"), Qt::CaseInsensitive) ? indexes : create) << s;

    ArchiveSummary summary;
    summary.companyName = makeCompanyName(rng);
    summary.articles = options.articles;
    summary.movements = options.movements;

    Sql sql(hostFile);
    sql.begin();
    for (const QString& s : create)
        sql.run(s);
    writeCompany(sql, rng, slot, summary.companyName);
    const auto articles = writeArticles(sql, rng, options.articles);
    writeWarehouseMovements(sql, rng, articles, options.movements);
    writeAccountingItems(sql, rng, options.openItems, summary);
    writeDocuments(sql, rng);
    writeCounters(sql, rng, options.movements, summary.openItems + summary.closedItems);
    // From a stream of their own: the rest of the archive stays as it was
    // before the demo had them.
    const quint32 partySeeds[] = {options.seed, quint32(slot), 1};
    QRandomGenerator partyRng(partySeeds, partySeeds + 3);
    writeParties(sql, partyRng);
    // Indexes after the rows: much faster than keeping them up to date.
    for (const QString& s : indexes)
        sql.run(s);
    sql.commit();
    return summary;
}

} // namespace rio::demo
