// The two spreadsheets beside the report: the stock per article and
// warehouse, and the open items of the old year beside what became of them in the new year.
// Columns are only ever added at the end: spreadsheets made on the first
// ones keep working.
//
// A line per warehouse and per item: each line is written straight as UTF-8
// bytes, with no text object per cell.
#include "context/years.h"
#include "run/company_choice.h"
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_read.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace rio {

namespace {

// A spreadsheet line written as bytes into room made ahead: no text object
// per cell, no check of the room per character.
class LineWriter
{
public:
    // room: what the whole line is likely to take (see roomFor); more is
    // made when a cell needs it.
    explicit LineWriter(qsizetype room) : m_line(room, Qt::Uninitialized), m_at(m_line.data()) {}

    // The bytes a cell of text can take: three per UTF-16 unit, its quotes
    // and an apostrophe.
    static qsizetype roomFor(QStringView s) { return 3 * s.size() + 3; }
    // What a number cell takes but for sums beyond any the product holds.
    static constexpr qsizetype NumberRoom = 32;

    void add(char c)
    {
        makeRoom(1);
        *m_at++ = c;
    }
    void add(QByteArrayView bytes)
    {
        makeRoom(bytes.size());
        std::memcpy(m_at, bytes.data(), size_t(bytes.size()));
        m_at += bytes.size();
    }

    // A text cell: quoted when a spreadsheet would split or trim it. formula:
    // free text typed in the product (a description, a name), shown by a
    // spreadsheet and never run: one starting like a formula ("=", "+", "-",
    // "@") gets an apostrophe before it.
    void cell(QStringView s, bool formula = false)
    {
        // One pass without branches over the whole text: most cells are
        // plain ASCII, copied as they are.
        char16_t all = 0;
        bool quotes = false;
        bool splits = false;
        for (const QChar qc : s) {
            const char16_t c = qc.unicode();
            all |= c;
            quotes |= c == u'"';
            splits |= (c == u';') | (c == u'\r') | (c == u'\n');
        }
        const bool quote = quotes || splits || (!s.isEmpty() && (s.front().isSpace() || s.back().isSpace()));
        makeRoom(roomFor(s));
        if (quote)
            *m_at++ = '"';
        if (formula && !s.isEmpty() && QStringView(u"=+-@").contains(s.front()))
            *m_at++ = '\'';
        if (all < 0x80 && !quotes) {
            for (const QChar qc : s)
                *m_at++ = char(qc.unicode());
        } else {
            utf8(s, quote);
        }
        if (quote)
            add('"');
    }

    void number(double v)
    {
        char text[CsvNumberRoom];
        add(QByteArrayView(text, writeCsvNumber(text, v)));
    }

    QByteArray take()
    {
        m_line.truncate(m_at - m_line.constData());
        return std::move(m_line);
    }

private:
    void makeRoom(qsizetype bytes)
    {
        const qsizetype at = m_at - m_line.constData();
        if (m_line.size() - at >= bytes)
            return;
        m_line.resize(std::max(2 * m_line.size(), at + bytes));
        m_at = m_line.data() + at;
    }

    // s as UTF-8 into the room made for it, each '"' doubled when quoted; a
    // lone surrogate as '?', as Qt writes it.
    void utf8(QStringView s, bool quoted)
    {
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t c = s[i].unicode();
            if (c < 0x80) {
                if (quoted && c == u'"')
                    put('"');
                put(char(c));
            } else if (c < 0x800) {
                put(char(0xC0 | (c >> 6)));
                put(char(0x80 | (c & 0x3F)));
            } else if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
                const char32_t u = QChar::surrogateToUcs4(c, s[++i].unicode());
                put(char(0xF0 | (u >> 18)));
                put(char(0x80 | ((u >> 12) & 0x3F)));
                put(char(0x80 | ((u >> 6) & 0x3F)));
                put(char(0x80 | (u & 0x3F)));
            } else if (QChar::isSurrogate(c)) {
                put('?');
            } else {
                put(char(0xE0 | (c >> 12)));
                put(char(0x80 | ((c >> 6) & 0x3F)));
                put(char(0x80 | (c & 0x3F)));
            }
        }
    }

    void put(char c) { *m_at++ = c; }

    QByteArray m_line;
    char* m_at;
};

// The room of a line of the company c with these text cells, numberCells
// numbers and fixed texts of at most fixed bytes.
qsizetype roomFor(const CompanyVerification& c, std::initializer_list<const QString*> cells, int numberCells,
                  qsizetype fixed)
{
    qsizetype room =
        LineWriter::NumberRoom + LineWriter::roomFor(c.name) + fixed + LineWriter::NumberRoom * numberCells;
    for (const QString* cell : cells)
        room += LineWriter::roomFor(*cell) + 1;
    return room;
}

void addCompany(LineWriter& line, const CompanyVerification& c)
{
    line.add("Azienda_");
    line.number(c.slot);
    line.add(';');
    line.cell(c.name);
}

QByteArray csvLine(std::initializer_list<QString> cells)
{
    qsizetype room = 2;
    for (const QString& cell : cells)
        room += LineWriter::roomFor(cell) + 1;
    LineWriter line(room);
    for (const QString& cell : cells) {
        if (&cell != cells.begin())
            line.add(';');
        line.cell(cell);
    }
    line.add("\r\n");
    return line.take();
}

} // namespace

QByteArray spreadsheetStart(Spreadsheet sheet)
{
    // The byte order mark makes a spreadsheet read the accents as UTF-8.
    const QByteArray bom("\xEF\xBB\xBF");
    if (sheet == Spreadsheet::Stock)
        return bom + csvLine({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"),
                              QStringLiteral("Articolo"), QStringLiteral("Deposito"),
                              QStringLiteral("Giacenza %1").arg(layout::AnnoInCorso),
                              QStringLiteral("Movimento RIAPERTURA %1").arg(layout::AnnoDaAprire),
                              QStringLiteral("Giacenza %1").arg(layout::AnnoDaAprire),
                              QStringLiteral("Descrizione"), QStringLiteral("Avviso")});
    return bom +
           csvLine({QStringLiteral("Azienda"), QStringLiteral("Ragione sociale"), QStringLiteral("Tipo"),
                    QStringLiteral("Codice cliente/fornitore"), QStringLiteral("Data"),
                    QStringLiteral("Tipo documento"), QStringLiteral("Numero documento"),
                    QStringLiteral("Totale %1").arg(layout::AnnoInCorso),
                    QStringLiteral("Totale %1").arg(layout::AnnoDaAprire), QStringLiteral("Esito"),
                    QStringLiteral("Nome cliente/fornitore")});
}

QByteArray spreadsheetLine(const CompanyVerification& c, const StockRow& r)
{
    LineWriter line(roomFor(c, {&r.code, &r.dep, &r.description, &r.warning}, 3, 2));
    addCompany(line, c);
    for (const QString* cell : {&r.code, &r.dep}) {
        line.add(';');
        line.cell(*cell);
    }
    for (const double number : {r.stockOld, r.opening, r.stockNew}) {
        line.add(';');
        line.number(number);
    }
    line.add(';');
    line.cell(r.description, true);
    line.add(';');
    line.cell(r.warning);
    line.add("\r\n");
    return line.take();
}

QByteArray spreadsheetLine(const CompanyVerification& c, const OpenItemRow& r)
{
    LineWriter line(
        roomFor(c, {&r.tipo, &r.codice, &r.date, &r.documentType, &r.documentNumber, &r.name}, 3, 32));
    addCompany(line, c);
    for (const QString* cell : {&r.tipo, &r.codice, &r.date, &r.documentType, &r.documentNumber}) {
        line.add(';');
        line.cell(*cell);
    }
    line.add(';');
    if (r.inOld)
        line.number(r.totalOld);
    line.add(';');
    if (r.inNew)
        line.number(r.totalNew);
    line.add(';');
    if (!r.inNew) {
        line.add("non riportata");
    } else if (!r.inOld) {
        line.add("solo nel ");
        line.number(layout::AnnoDaAprire);
    } else if (!verification::sameAmount(r.totalOld, r.totalNew)) {
        line.add("totale diverso");
    } else {
        line.add("riportata");
    }
    line.add(';');
    line.cell(r.name, true);
    line.add("\r\n");
    return line.take();
}

QByteArray spreadsheetNotChosenLine(Spreadsheet sheet, const CompanyVerification& c)
{
    const QString company = QStringLiteral("Azienda_%1").arg(c.slot);
    const QString text = QLatin1String(NotChosenText);
    if (sheet == Spreadsheet::Stock)
        return csvLine(
            {company, c.name, QString(), QString(), QString(), QString(), QString(), QString(), text});
    return csvLine({company, c.name, QString(), QString(), QString(), QString(), QString(), QString(),
                    QString(), text, QString()});
}

} // namespace rio
