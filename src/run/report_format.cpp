#include "run/report_format.h"
#include "context/years.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace rio {

namespace {

const QLocale& italian()
{
    static const QLocale locale(QLocale::Italian, QLocale::Italy);
    return locale;
}

// Six decimals are more than any stock or amount of the product holds; past
// them there is only the noise of adding binary fractions.
double withoutNoise(double v)
{
    const double r = std::round(v * 1e6) / 1e6;
    return r == 0 ? 0.0 : r; // no "-0"
}

} // namespace

QString formatAmount(double v)
{
    return italian().toString(withoutNoise(v), 'f', 2);
}

QString formatQuantity(double v)
{
    return italian().toString(withoutNoise(v), 'f', QLocale::FloatingPointShortest);
}

QString formatCsvNumber(double v)
{
    char text[CsvNumberRoom];
    return QString::fromLatin1(text, writeCsvNumber(text, v) - text);
}

char* writeCsvNumber(char* out, double v)
{
    // The Italian form without grouping is the plain one with a comma: a
    // spreadsheet line per article and item, so no locale on the way.
    char* const end = out + CsvNumberRoom;
    // A whole quantity, the most common cell, has no noise to take away.
    if (std::trunc(v) == v && std::fabs(v) < 1e9)
        return std::to_chars(out, end, qint64(v)).ptr;
    const double r = withoutNoise(v);
    std::to_chars_result written{};
    if (std::fabs(r) < 1e15) {
        // Without noise, nothing below 1e-6 but 0: at most 24 bytes.
        written = std::trunc(r) == r ? std::to_chars(out, end, qint64(r))
                                     : std::to_chars(out, end, r, std::chars_format::fixed);
    } else {
        // Beyond what the product holds, or not a number: Qt's form, whose
        // digits past the shortest ones are zeros.
        const QByteArray text = QString::number(r, 'f', QLocale::FloatingPointShortest).toLatin1();
        written.ptr = std::copy_n(text.constData(), std::min(text.size(), CsvNumberRoom), out);
    }
    Q_ASSERT(written.ec == std::errc());
    std::replace(out, written.ptr, '.', ',');
    return written.ptr;
}

} // namespace rio

namespace rio {

QString stepTitle(const QString& step)
{
    static const QHash<QString, QString> titles{
        {QStringLiteral("CONTROLLO_AZIENDE"), QStringLiteral("Ricerca delle aziende")},
        {QStringLiteral("COPIO_CARTELLA_SALVATAGGIO"), QStringLiteral("Copia di sicurezza")},
        {QStringLiteral("COPIA_DI_LAVORO"), QStringLiteral("Copia di lavoro della simulazione")},
        {QStringLiteral("CREO_NUOVO_ANNO"),
         QStringLiteral("Creazione delle cartelle %1").arg(layout::AnnoDaAprire)},
        {QStringLiteral("RIPRISTINA_MAGAZZINO"),
         QStringLiteral("Ricalcolo delle giacenze %1").arg(layout::AnnoInCorso)},
        {QStringLiteral("INIZIALIZZAZIONE_FILE"), QStringLiteral("Azzeramento del nuovo archivio")},
        {QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO"),
         QStringLiteral("Giacenze di apertura %1").arg(layout::AnnoDaAprire)},
        {QStringLiteral("CREAZIONE_MOVIMENTI_CONTABILI"), QStringLiteral("Riporto delle partite aperte")},
        {QStringLiteral("VERIFICA"), QStringLiteral("Verifica finale")}};
    return titles.value(step, step);
}

QString counterTitle(const QString& field)
{
    static const QHash<QString, QString> titles{
        {QStringLiteral("PROGR_FATTURE"), QStringLiteral("Numerazione delle fatture")},
        {QStringLiteral("PROGR_DDT"), QStringLiteral("Numerazione dei DDT")},
        {QStringLiteral("PROGR_ORDCLI"), QStringLiteral("Numerazione degli ordini dei clienti")},
        {QStringLiteral("PROGR_ORDFOR"), QStringLiteral("Numerazione degli ordini ai fornitori")},
        {QStringLiteral("PROGR_CARICO_MERCE"), QStringLiteral("Numerazione dei carichi di merce")},
        {QStringLiteral("PROGR_PREVENTIVO"), QStringLiteral("Numerazione dei preventivi")},
        {QStringLiteral("PROGR_BOLLA"), QStringLiteral("Numerazione delle bolle")},
        {QStringLiteral("CODICE_LIBERO"), QStringLiteral("Codice libero")},
        {QStringLiteral("CONTATORE_CORPO_DOCUMENTI"), QStringLiteral("Righe dei documenti")},
        {QStringLiteral("PROGR_MOV_MAG"), QStringLiteral("Progressivi di magazzino")},
        {QStringLiteral("PROGR_MOV_CONT"), QStringLiteral("Progressivi contabili")},
        {QStringLiteral("PROGR_MOV_PROVV"), QStringLiteral("Progressivi delle provvigioni")},
        {QStringLiteral("PROGR_MOV_TRASP"), QStringLiteral("Progressivi dei trasporti")},
        {QStringLiteral("PROGR_MOV_IVA"), QStringLiteral("Progressivi IVA")}};
    const QString key = field.toUpper();
    const auto found = titles.constFind(key);
    if (found != titles.cend())
        return *found;
    // Progr_1 to Progr_20: the numberings the user names in the product.
    if (key.startsWith(QLatin1String("PROGR_"))) {
        bool isNumber = false;
        const int n = key.mid(6).toInt(&isNumber);
        if (isNumber)
            return QStringLiteral("Numerazione libera n. %1").arg(n);
    }
    return field;
}

QString tableTitle(const QString& table)
{
    static const QHash<QString, QString> titles{
        {QStringLiteral("MOV_MAG"), QStringLiteral("Movimenti di magazzino")},
        {QStringLiteral("MOV_CONT"), QStringLiteral("Movimenti contabili")},
        {QStringLiteral("MOV_IVA"), QStringLiteral("Movimenti IVA")},
        {QStringLiteral("MOV_PROVV"), QStringLiteral("Movimenti delle provvigioni")},
        {QStringLiteral("MOV_TRASP"), QStringLiteral("Movimenti dei trasporti")}};
    const QString key = table.toUpper();
    const auto found = titles.constFind(key);
    if (found != titles.cend())
        return *found;
    // The document tables of a causal: T_<name> its heads, C_<name> its lines.
    if (table.size() > 2 && (key.startsWith(QLatin1String("T_")) || key.startsWith(QLatin1String("C_")))) {
        const QString name = table.mid(2).replace(QLatin1Char('_'), QLatin1Char(' ')).toLower();
        return QStringLiteral("Documenti %1: %2")
            .arg(name, key.front() == QLatin1Char('T') ? QStringLiteral("testate") : QStringLiteral("righe"));
    }
    return table;
}

} // namespace rio
