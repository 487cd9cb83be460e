#pragma once

#include <QRandomGenerator>
#include <QString>

#include <array>

namespace rio::demo {

// One article of the demo's archives.
struct DemoArticle
{
    QString code;
    QString description;
    QString unit;    // "PZ", "CF", "MT", "KG", ...
    bool fractional; // quantities with decimals (metres, kilograms, ...)
    QString codIva;
    double costoStandard;
    double costoMedio;
    double costoUltimo;
    double prezzoVendita;
    std::array<double, 5> staleStock; // what the archive holds before a recomputation
};

// The index-th article (0-based) of a company. Among plain codes such as
// "VIT00012" a few carry a quote ("VIT'00013"), blanks around them, or
// repeat the code before in lower case.
DemoArticle makeArticle(QRandomGenerator& rng, int index, const QString& previousCode);

// A plausible Italian company name, e.g. "Rossi Ferramenta S.r.l.".
QString makeCompanyName(QRandomGenerator& rng);

// A city and a street address.
QString makeCity(QRandomGenerator& rng);
QString makeAddress(QRandomGenerator& rng);

// Two decimals, as amounts are kept.
double roundCents(double value);

} // namespace rio::demo
