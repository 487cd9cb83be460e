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
    QLocale plain = italian();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(withoutNoise(v), 'f', QLocale::FloatingPointShortest);
}

} // namespace rio
