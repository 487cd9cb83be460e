#include "accounting/genero_movimento_contabile.h"
#include "context/years.h"

#include "accounting/vb_val.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/date_text.h"
#include "data/error.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QTime>

#include <cmath>
#include <iterator>

namespace rio {

namespace {

const auto ProcedureLabel = QStringLiteral("GENERO_MOVIMENTO_CONTABILE");
const auto RefusalTitle = QStringLiteral("CONTATTARE IL GESTORE - ");
constexpr qsizetype DescriptionLength = 254;

enum AmountBit : unsigned { TaxableBit = 1, TaxBit = 2, TotalBit = 4 };

// Character by character, so that the length never changes (no "ß" -> "SS").
QString upperEachChar(QString s)
{
    for (QChar& c : s)
        c = c.toUpper();
    return s;
}

// The date as dd/mm/yyyy text, as Format(value, "dd/mm/yyyy") gives it.
Value dateField(const Value& v)
{
    if (isNull(v))
        return v;
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return dayMonthYearText(v.toDateTime().date());
    case QMetaType::QDate:
        return dayMonthYearText(v.toDate());
    case QMetaType::QString: {
        const QString text = trimBlanks(v.toString());
        for (const auto& pattern : {QStringLiteral("d/M/yyyy H:mm:ss"), QStringLiteral("d/M/yyyy"),
                                    QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
                                    QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd")}) {
            const QDateTime parsed = QDateTime::fromString(text, pattern);
            if (parsed.isValid())
                return dayMonthYearText(parsed.date());
        }
        return v; // not a date: the text as it is
    }
    case QMetaType::Bool:
        return v;
    default:
        break;
    }
    bool ok = false;
    const double serial = v.toDouble(&ok);
    // A day number counted from 30/12/1899, within the dates VB can hold
    // (01/01/100 to 31/12/9999).
    if (ok && serial >= -657434.0 && serial < 2958466.0)
        return dayMonthYearText(QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(serial))));
    if (ok)
        throw Error(err::Overflow, QStringLiteral("Overflow"));
    return v;
}

// An amount is assigned only when it is not 0; Null compares as unknown and
// is not assigned either.
bool isAssignedAmount(const Value& v)
{
    return !isNull(v) && numberOf(v) != 0;
}

Value incremented(const Value& counter)
{
    switch (counter.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return counter.toLongLong() + 1;
    default:
        return numberOf(counter) + 1; // Null raises 94: no movement without a number
    }
}

QStringList movementFields(unsigned amountMask)
{
    QStringList fields{QStringLiteral("progr_mov_cont"),   QStringLiteral("ID_MOV_CONT"),
                       QStringLiteral("Data_Mov_Cont"),    QStringLiteral("DESCRIZIONE_OPERAZIONE"),
                       QStringLiteral("Tipo_Mov"),         QStringLiteral("Tipo_Documento"),
                       QStringLiteral("Numero_Documento"), QStringLiteral("UltimoAggiornamento"),
                       QStringLiteral("TipoCliFor"),       QStringLiteral("CodCLIFOR"),
                       QStringLiteral("CodAgente"),        QStringLiteral("ID_Generico"),
                       QStringLiteral("Sezione")};
    if (amountMask & TaxableBit)
        fields << QStringLiteral("Imponibile_Mov_Cont");
    if (amountMask & TaxBit)
        fields << QStringLiteral("Imposta_Mov_Cont");
    if (amountMask & TotalBit)
        fields << QStringLiteral("Totale_Mov_Cont");
    fields << QStringLiteral("Dep") << QStringLiteral("Giorni_Scadenza") << QStringLiteral("ID_PARTITA")
           << QStringLiteral("Stato_PArtita") << QStringLiteral("Cod_Cantiere")
           << QStringLiteral("Cod_SubCantiere");
    return fields;
}

// The same in every movement: bound once. The workgroup user the program
// signs its movements with.
const QList<FixedField>& fixedFields()
{
    static const QList<FixedField> fields{{QStringLiteral("User"), QStringLiteral("Larvinote")}};
    return fields;
}

} // namespace

AccountingMovementWriter::AccountingMovementWriter(RunContext& ctx, Connection& connection,
                                                   const Value& table, const Value& counterName)
    : m_ctx(ctx), m_connection(connection), m_table(isNull(table) ? QString() : table.toString()),
      m_counterName(isNull(counterName) ? QString() : counterName.toString())
{
}

AccountingMovementWriter::~AccountingMovementWriter() = default;

QString AccountingMovementWriter::refusalText(const QString& table)
{
    return QStringLiteral(
               "Attenzione!!!Non è stato possibile registrare questo movimento contabile per problemi "
               "interni al programma, si prega di contattare il Gestore!\r\n\r\n"
               "DETTAGLIO ERRORE: Non si è potuto creare l'ID del Movimento Contabile (Nome File:") +
           table + QStringLiteral("), per mancanza parametri.");
}

QString AccountingMovementWriter::movementId(const AccountingMovement& m)
{
    const QString parts[] = {textOrEmpty(m.Data_Movimento).mid(6, 4), trimBlanks(textOrEmpty(m.Tp_CLI_FOR)),
                             textOrEmpty(m.Cod_CLIFOR), trimBlanks(textOrEmpty(m.Tipo_Documento)),
                             trimBlanks(textOrEmpty(m.Num_Documento))};
    qsizetype size = std::size(parts) - 1;
    for (const QString& part : parts)
        size += part.size();
    QString id;
    id.reserve(size);
    for (const QString& part : parts) {
        if (&part != parts)
            id += QLatin1Char('*');
        id += part;
    }
    return id;
}

Value AccountingMovementWriter::descriptionField(const Value& description)
{
    if (isNull(description))
        return description;
    return trimBlanks(upperEachChar(textOf(description).left(DescriptionLength)));
}

namespace {

// Key data of blank text. Numbers and dates are never written blank: their
// text is not built.
bool isBlankKey(const Value& key)
{
    if (isNull(key))
        return false;
    switch (key.typeId()) {
    case QMetaType::QString:
        return trimBlanks(key.toString()).isEmpty();
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return false;
    case QMetaType::QDateTime:
        if (key.toDateTime().isValid())
            return false;
        break;
    default:
        break;
    }
    return trimBlanks(textOf(key)).isEmpty();
}

} // namespace

QStringList AccountingMovementWriter::missingKeys(const AccountingMovement& m)
{
    QStringList missing;
    const std::pair<const Value*, const char*> keys[] = {{&m.Tipo_Documento, "tipo documento"},
                                                         {&m.Data_Movimento, "data"},
                                                         {&m.Tp_CLI_FOR, "tipo cliente/fornitore"},
                                                         {&m.Cod_CLIFOR, "codice cliente/fornitore"},
                                                         {&m.Num_Documento, "numero documento"}};
    for (const auto& [key, name] : keys)
        if (isBlankKey(*key))
            missing << QString::fromUtf8(name);
    return missing;
}

AccountingMovementWriter::Derived AccountingMovementWriter::derive(const AccountingMovement& m)
{
    Derived d;
    d.date = dateField(m.Data_Movimento);
    d.description = descriptionField(m.DESCRIZIONE_OPERAZIONE);
    d.movementType = isNull(m.Tipo_Mov) ? m.Tipo_Mov : Value(trimBlanks(upperEachChar(textOf(m.Tipo_Mov))));
    d.documentNumber = vbVal(m.Num_Documento);
    d.site = vbVal(m.Cod_Cantiere);
    d.subSite = vbVal(m.Cod_SubCantiere);
    return d;
}

bool AccountingMovementWriter::GENERO_MOVIMENTO_CONTABILE(const AccountingMovement& movement)
{
    try {
        if (!missingKeys(movement).isEmpty()) {
            m_ctx.reportErrorBox(refusalText(m_table), Icon::Critical, RefusalTitle);
            return false;
        }
        store(movement);
        return true;
    } catch (const Error& e) {
        m_ctx.reportError(e, ProcedureLabel);
        return false;
    }
}

void AccountingMovementWriter::store(const AccountingMovement& m)
{
    m_connection.schema(m_table); // the table must exist before the counter moves

    // Saved before the row: a row that then fails leaves its number unused.
    const Value number = nextProgressive();

    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_lastUpdateSecond) {
        const QDateTime now = QDateTime::fromSecsSinceEpoch(second);
        m_lastUpdate = dayMonthYearText(now.date()) + QLatin1Char(' ') + clockText(now.time());
        m_lastUpdateSecond = second;
    }
    unsigned mask = 0;
    const QList<Value> values = rowValues(m, number, m_lastUpdate, mask);
    inserterFor(mask).insert(values);
}

QList<Value> AccountingMovementWriter::rowValues(const AccountingMovement& m, const Value& number,
                                                 const QString& lastUpdate, unsigned& mask)
{
    const Derived d = derive(m);
    QList<Value> values;
    values.reserve(23);
    values << number << movementId(m) << d.date << d.description << d.movementType << m.Tipo_Documento
           << d.documentNumber << lastUpdate << m.Tp_CLI_FOR << m.Cod_CLIFOR << m.CodAgente << m.ID_Generico
           << m.Sezione;
    mask = 0;
    if (isAssignedAmount(m.Imponibile)) {
        mask |= TaxableBit;
        values << m.Imponibile;
    }
    if (isAssignedAmount(m.Imposta)) {
        mask |= TaxBit;
        values << m.Imposta;
    }
    if (isAssignedAmount(m.Totale)) {
        mask |= TotalBit;
        values << m.Totale;
    }
    values << m.DEPOSITO << m.Giorni_Scadenza << m.ID_PARTITA << m.Partita_Chiusa << d.site << d.subSite;
    return values;
}

Value AccountingMovementWriter::nextProgressive()
{
    // The counters live in the first CONTATORI row: read and written there.
    if (!m_counterRow)
        m_counterRow = firstRowId(m_connection, QStringLiteral("CONTATORI"));
    if (!m_counterQuery)
        m_counterQuery = std::make_unique<Query>(
            m_connection, QStringLiteral("select ") + Connection::quoteIdentifier(m_counterName) +
                              QStringLiteral(" from CONTATORI where rowid = ?"));
    if (!m_counterValue) {
        m_counterQuery->bind(0, *m_counterRow);
        m_counterQuery->exec();
        m_counterQuery->moveFirst();
        m_counterValue = m_counterQuery->value(0);
        m_counterQuery->finish();
    }
    const Value current = *m_counterValue;

    if (!m_counterUpdater)
        m_counterUpdater = std::make_unique<RowUpdater>(m_connection, QStringLiteral("CONTATORI"),
                                                        QStringList{m_counterName});
    const Value next = incremented(current);
    if (m_counterHeld) {
        // What the save would raise for this number, raised for this movement.
        m_counterUpdater->convert({next});
        m_counterUnsaved = true;
    } else {
        m_counterUpdater->update(*m_counterRow, {next});
    }
    m_counterValue = next;
    return next;
}

void AccountingMovementWriter::holdCounter()
{
    m_counterHeld = true;
}

void AccountingMovementWriter::saveCounter()
{
    if (!m_counterUnsaved)
        return;
    m_counterUpdater->update(*m_counterRow, {*m_counterValue});
    m_counterUnsaved = false;
}

RowInserter& AccountingMovementWriter::inserterFor(unsigned amountMask)
{
    auto& inserter = m_inserters[amountMask];
    if (!inserter)
        inserter =
            std::make_unique<RowInserter>(m_connection, m_table, movementFields(amountMask), fixedFields());
    return *inserter;
}

AccountingMovementProbe::AccountingMovementProbe(Connection& archive, const QString& table)
    : m_archive(archive), m_table(table),
      // A time as the writer gives it: only its type matters.
      m_lastUpdate(QStringLiteral("01/01/%1 00:00:00").arg(layout::AnnoDaAprire))
{
}

AccountingMovementProbe::~AccountingMovementProbe() = default;

std::optional<QString> AccountingMovementProbe::refusalOf(const AccountingMovement& m)
{
    const QStringList missing = AccountingMovementWriter::missingKeys(m);
    if (!missing.isEmpty())
        return QStringLiteral("dati mancanti: ") + missing.join(QStringLiteral(", "));
    try {
        unsigned mask = 0;
        // A number as the writer gives it: only its type matters.
        const QList<Value> values = AccountingMovementWriter::rowValues(m, qlonglong(1), m_lastUpdate, mask);
        auto& inserter = m_inserters[mask];
        if (!inserter)
            inserter = std::make_unique<RowInserter>(m_archive, m_table, movementFields(mask), fixedFields());
        inserter->convert(values);
    } catch (const Error& e) {
        if (e.number() != err::InvalidUseOfNull)
            return QStringLiteral("errore %1 (%2)").arg(e.number()).arg(e.description());
        if (isNull(m.Num_Documento))
            return QStringLiteral("numero documento Null");
        return QStringLiteral("codice cantiere Null");
    }
    return std::nullopt;
}

} // namespace rio
