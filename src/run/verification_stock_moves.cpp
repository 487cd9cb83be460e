// The opening movements against the old year's stock, inside the engine: the
// articles with a stock to carry beside the movements in number order, and
// how each column is read as Query would read it.
#include "run/verification_stock_engine.h"

#include <limits>

namespace rio::verification {

double numberAt(const EngineRows& q, int column, ColumnType type)
{
    switch (q.stored(column)) {
    case EngineRows::Stored::Null:
        return 0;
    case EngineRows::Stored::Number:
        if (type != ColumnType::Boolean)
            return q.number(column);
        break;
    default:
        break;
    }
    return numberOrZero(q.value(column, type));
}

QString textAt(const EngineRows& q, int column, ColumnType type)
{
    switch (q.stored(column)) {
    case EngineRows::Stored::Null:
        return QString();
    case EngineRows::Stored::Text:
        if (type != ColumnType::Date)
            return q.text(column);
        break;
    default:
        break;
    }
    return textOrEmpty(q.value(column, type));
}

QByteArrayView textView(const EngineRows& q, int column, ColumnType type)
{
    if (q.stored(column) != EngineRows::Stored::Text || type == ColumnType::Date)
        return QByteArrayView();
    const QByteArrayView bytes = q.utf8(column);
    // An empty text has bytes too: a view with data.
    return bytes.data() ? bytes : QByteArrayView("", 0);
}

int warehouseAt(const EngineRows& q, int column, ColumnType type)
{
    const EngineRows::Stored stored = q.stored(column);
    if (stored == EngineRows::Stored::Text && type != ColumnType::Date) {
        const QByteArrayView dep = q.utf8(column);
        return dep.size() == 2 && dep[0] == '0' && dep[1] >= '1' && dep[1] <= '5' ? dep[1] - '1' : -1;
    }
    if (stored == EngineRows::Stored::Null)
        return -1;
    const QString dep = textAt(q, column, type);
    return dep.size() == 2 && dep.at(0) == u'0' && dep.at(1) >= u'1' && dep.at(1) <= u'5'
               ? dep.at(1).unicode() - u'1'
               : -1;
}

namespace {

// The opening movements in number order, each number once (the last row of
// a number wins, as a later row replaces an earlier one when they are read
// into a table by number). Read in rowid order, which is number order as
// the run writes them; when a number goes down, ordered() says so.
class MovementCursor
{
public:
    MovementCursor(Connection& oldDb, const StockTypes& types, bool sorted)
        : m_rows(oldDb, QStringLiteral("select Progr_Mov_Mag, CodArt, DEP, Qta from nuovo.MOV_MAG where "
                                       "TipoMov = 'RIAPERTURA' order by ") +
                            (sorted ? QStringLiteral("cast(coalesce(Progr_Mov_Mag, 0) as integer), rowid")
                                    : QStringLiteral("rowid"))),
          m_types(types)
    {
        m_rows.exec();
        advance();
    }

    // The movement numbered `number`; asked with 0, 1, 2, ... in turn.
    const OpeningMovement* at(qint64 number)
    {
        while (m_pending && m_number < number)
            take();
        if (!m_pending || m_number != number)
            return nullptr;
        take();
        return &m_current;
    }

    // Reads the numbers left once expected, the count of movements to
    // expect, is known.
    void drain(qint64 expected)
    {
        m_limit = expected;
        // Every article has been read, and its code with it: a row left
        // goes with none of them.
        m_article = QByteArrayView();
        while (m_pending)
            take();
    }

    // The code of the article whose numbers are asked next, as the file
    // holds it; a view without data for a code that is no text.
    void setArticle(QByteArrayView code) { m_article = code; }

    bool ordered() const { return m_ordered; }
    // Whether every row read went with the article it was asked for and
    // carries its very code.
    bool besideTheirArticles() const { return m_beside; }
    // How many distinct numbers the movements carry, and how many of them
    // lie outside 0 .. expected-1.
    qint64 numbers() const { return m_numbers; }
    qint64 extra() const { return m_extra; }

private:
    void advance()
    {
        m_pending = m_rows.next();
        if (m_pending)
            m_number = qint64(numberAt(m_rows, 0, m_types.number));
    }

    // Moves past the run of rows of the current number, keeping its last.
    void take()
    {
        const qint64 number = m_number;
        do {
            const QByteArrayView code = textView(m_rows, 1, m_types.code);
            if (!m_article.data() || !code.data() || code != m_article)
                m_beside = false;
            const int warehouse = warehouseAt(m_rows, 2, m_types.dep);
            m_current.dep = warehouse >= 0 ? warehouseName(warehouse) : textAt(m_rows, 2, m_types.dep);
            if (code.data())
                EngineRows::textInto(code, m_current.code);
            else
                m_current.code = textAt(m_rows, 1, m_types.code);
            m_current.qta = numberAt(m_rows, 3, m_types.quantity);
            advance();
        } while (m_pending && m_number == number);
        if (m_pending && m_number < number)
            m_ordered = false;
        ++m_numbers;
        // While numbers are asked, the one taken is at most the one asked,
        // below the count to expect.
        if (number < 0 || number >= m_limit)
            ++m_extra;
    }

    EngineRows m_rows;
    const StockTypes& m_types;
    bool m_pending = false;
    qint64 m_number = 0;
    bool m_ordered = true;
    QByteArrayView m_article;
    bool m_beside = true;
    OpeningMovement m_current;
    qint64 m_numbers = 0;
    qint64 m_extra = 0;
    qint64 m_limit = std::numeric_limits<qint64>::max();
};

} // namespace

MovementResult checkMovements(Connection& oldDb, const StockTypes& types, bool sorted)
{
    MovementCursor cursor(oldDb, types, sorted);
    // Asked only while the articles are read below.
    MovementCheck moves([&cursor](qint64 number) { return cursor.at(number); });
    // Every article whose 01 or 02 may not be 0 (a text in a number column
    // is not 0 to the engine): the check decides.
    EngineRows articles(oldDb, QStringLiteral("select CodArt, Giacenza1, giacenza2 from main.ANAG_ART where "
                                              "coalesce(Giacenza1, 0) <> 0 or coalesce(giacenza2, 0) <> 0 "
                                              "order by rowid"));
    articles.exec();
    ArticleRow row;
    while (cursor.ordered() && articles.next()) {
        const QByteArrayView code = textView(articles, 0, types.old.code);
        if (code.data())
            EngineRows::textInto(code, row.code);
        else
            row.code = textAt(articles, 0, types.old.code);
        cursor.setArticle(code);
        for (int d = 0; d < 2; ++d)
            row.stock[d] = numberAt(articles, d + 1, types.old.stock[d]);
        moves.oldArticle(row);
    }
    articles.finish();
    cursor.drain(moves.expected());
    return {std::move(moves), cursor.numbers(), cursor.extra(), cursor.ordered(),
            !sorted && cursor.ordered() && cursor.besideTheirArticles()};
}

} // namespace rio::verification
