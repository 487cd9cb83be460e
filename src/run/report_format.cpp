#include "run/report_format.h"

#include <QLocale>

#include <cmath>

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
    // The Italian form without grouping is the plain one with a comma: a
    // spreadsheet line per article and item, so no locale on the way.
    const double r = withoutNoise(v);
    if (std::trunc(r) == r && std::fabs(r) < 1e15)
        return QString::number(qint64(r));
    return QString::number(r, 'f', QLocale::FloatingPointShortest)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace rio
