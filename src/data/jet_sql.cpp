#include "data/database.h"

#include <QRegularExpression>

namespace rio {

namespace {

struct Segment
{
    QString text;
    bool literal = false;
};

// Splits SQL into quoted literals ('...' with '' inside, "..."), bracketed
// names and the text between them, so that a rewrite never reaches inside.
QList<Segment> splitLiterals(const QString& sql)
{
    QList<Segment> parts;
    QString current;
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            if (!current.isEmpty())
                parts.append({current, false});
            current.clear();
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            qsizetype j = i + 1;
            while (j < sql.size()) {
                if (sql.at(j) == close) {
                    if (close != QLatin1Char(']') && j + 1 < sql.size() && sql.at(j + 1) == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = qMin(j + 1, sql.size());
            parts.append({sql.mid(i, end - i), true});
            i = end;
            continue;
        }
        current += c;
        ++i;
    }
    if (!current.isEmpty())
        parts.append({current, false});
    return parts;
}

} // namespace

QString translateJetSql(const QString& jetSql)
{
    static const QRegularExpression deleteStar(QStringLiteral("\\b(delete)\\s+\\*\\s*(?=from\\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression top(QStringLiteral("\\b(select)(\\s+distinct)?\\s+top\\s+(\\d+)\\s+"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression notTrue(QStringLiteral("<>\\s*true\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression notFalse(QStringLiteral("<>\\s*false\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression isTrue(QStringLiteral("(?<![<>!])=\\s*true\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression isFalse(QStringLiteral("(?<![<>!])=\\s*false\\b"),
                                            QRegularExpression::CaseInsensitiveOption);

    QList<Segment> parts = splitLiterals(jetSql);
    for (Segment& part : parts) {
        if (part.literal)
            continue;
        QString& s = part.text;
        s.replace(deleteStar, QStringLiteral("\\1 "));
        // Jet's Yes is -1, the file's is 1: compare with zero instead.
        s.replace(notTrue, QStringLiteral("=0"));
        s.replace(notFalse, QStringLiteral("<>0"));
        s.replace(isTrue, QStringLiteral("<>0"));
        s.replace(isFalse, QStringLiteral("=0"));
    }

    // "select TOP n" becomes a limit at the end of its own select: the end of
    // the statement, or the parenthesis that closes a subquery.
    struct Pending
    {
        int depth;
        QString count;
    };
    QList<Pending> pending;
    int depth = 0;
    QString out;
    for (const Segment& part : std::as_const(parts)) {
        if (part.literal) {
            out += part.text;
            continue;
        }
        const QString& s = part.text;
        QRegularExpressionMatchIterator tops = top.globalMatch(s);
        QRegularExpressionMatch next = tops.hasNext() ? tops.next() : QRegularExpressionMatch();
        for (qsizetype k = 0; k < s.size();) {
            if (next.hasMatch() && k == next.capturedStart()) {
                out += next.captured(1) + next.captured(2) + QLatin1Char(' ');
                pending.append({depth, next.captured(3)});
                k = next.capturedEnd();
                next = tops.hasNext() ? tops.next() : QRegularExpressionMatch();
                continue;
            }
            const QChar c = s.at(k);
            if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')')) {
                while (!pending.isEmpty() && pending.last().depth == depth)
                    out += QStringLiteral(" limit ") + pending.takeLast().count;
                --depth;
            }
            out += c;
            ++k;
        }
    }
    if (!pending.isEmpty()) {
        // The limit goes after everything, a final ";" included.
        qsizetype end = out.size();
        while (end > 0 && (out.at(end - 1).isSpace() || out.at(end - 1) == QLatin1Char(';')))
            --end;
        out.truncate(end);
        while (!pending.isEmpty())
            out += QStringLiteral(" limit ") + pending.takeLast().count;
    }
    return out;
}

} // namespace rio
