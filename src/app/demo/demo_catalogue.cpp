#include "app/demo/demo_catalogue.h"

#include <QStringList>

#include <cmath>
#include <vector>

namespace rio::demo {

namespace {

struct Category
{
    const char* prefix;
    const char* pattern; // {a}, {b}, {c} stand for a choice from each list
    QStringList a, b, c;
    const char* unit;
    bool fractional;
    double minCost, maxCost;
};

QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char('|'));
}

const std::vector<Category>& categories()
{
    static const std::vector<Category> list = {
        {"VIT",
         "Vite autofilettante {a}x{b} zincata",
         words("3|3,5|4|4,5|5|6"),
         words("16|20|25|30|40|50|60"),
         {},
         "CF",
         false,
         2.5,
         18},
        {"BUL",
         "Bullone testa esagonale M{a}x{b} classe 8.8",
         words("6|8|10|12|14|16"),
         words("30|40|50|60|80|100"),
         {},
         "PZ",
         false,
         0.15,
         2.4},
        {"TAS", "Tassello in nylon {a} mm con vite", words("6|8|10|12|14"), {}, {}, "CF", false, 3, 22},
        {"TUB",
         "Tubo rame {a} mm ricotto {b}",
         words("10|12|14|16|18|22"),
         words("in rotolo|in barre|rivestito"),
         {},
         "MT",
         true,
         4.5,
         21},
        {"CAV",
         "Cavo elettrico FG16OR16 {a}x{b} mm²",
         words("2|3|4|5"),
         words("1,5|2,5|4|6|10"),
         {},
         "MT",
         true,
         0.8,
         9.5},
        {"VER",
         "Smalto all'acqua {a} {b} ml",
         words("bianco|nero|grigio antracite|rosso|verde bosco|blu|avorio"),
         words("125|375|750|2500"),
         {},
         "PZ",
         false,
         4.2,
         38},
        {"PIT",
         "Pittura lavabile per interni {a} l {b}",
         words("1|4|5|10|14"),
         words("bianco|tortora|sabbia|grigio perla|giallo paglierino"),
         {},
         "PZ",
         false,
         6,
         95},
        {"PIA", "Piastrella gres porcellanato {a}x{b} {c}", words("30|45|60|75"), words("30|60|90|120"),
         words("effetto legno|effetto pietra|lucida|opaca"), "MQ", true, 9, 48},
        {"LAM", "Lampada LED {a} {b} W luce {c}", words("E27|E14|GU10"), words("5|7|9|12|15"),
         words("calda|naturale|fredda"), "PZ", false, 1.9, 12},
        {"EMR", "Lampada d'emergenza LED {a} h autonomia", words("1|2|3"), {}, {}, "PZ", false, 18, 74},
        {"UTE",
         "{a} {b}",
         words("Cacciavite a taglio|Chiave combinata|Pinza universale|Scalpello da muratore"),
         words("6 mm|8 mm|10 mm|13 mm|160 mm|200 mm"),
         {},
         "PZ",
         false,
         2.8,
         27},
        {"MAR",
         "Martello da carpentiere {a} g manico in {b}",
         words("300|500|800|1000"),
         words("legno|fibra di vetro|acciaio"),
         {},
         "PZ",
         false,
         7,
         32},
        {"SIL",
         "Silicone {a} {b} 280 ml",
         words("acetico|neutro|sanitario"),
         words("trasparente|bianco|grigio"),
         {},
         "PZ",
         false,
         2.1,
         7.9},
        {"CEM",
         "Cemento Portland {a} sacco {b} kg",
         words("32,5 R|42,5 R"),
         words("25|50"),
         {},
         "SC",
         false,
         4.6,
         11.5},
        {"SAB", "Sabbia {a} lavata", words("fine|media|grossa"), {}, {}, "KG", true, 0.03, 0.12},
        {"GUA",
         "Guanti da lavoro in {a} taglia {b}",
         words("nitrile|pelle|cotone gommato"),
         words("S|M|L|XL"),
         {},
         "PA",
         false,
         0.9,
         6.5},
        {"RAC",
         "Raccordo a gomito ottone {a}\" {b}",
         words("½|¾|1|1¼"),
         words("F/F|M/F|M/M"),
         {},
         "PZ",
         false,
         1.2,
         9.8},
        {"NAS",
         "Nastro isolante {a} 19 mm x 25 m",
         words("nero|bianco|blu|giallo/verde|rosso"),
         {},
         {},
         "PZ",
         false,
         0.6,
         2.2},
        {"PEN",
         "Pennello qualità professionale {a} mm setola {b}",
         words("20|30|50|70|100"),
         words("naturale|sintetica"),
         {},
         "PZ",
         false,
         1.5,
         14},
        {"SCA", "Scala in alluminio a {a} gradini", words("3|4|5|6|7|8"), {}, {}, "PZ", false, 29, 160},
        {"GIA",
         "Tubo da giardino {a} {b} m",
         words("½\"|¾\"|5/8\""),
         words("15|25|50"),
         {},
         "PZ",
         false,
         12,
         85},
        {"PRE", "Presa {a} {b} A {c}", words("Schuko|bipasso|universale"), words("10|16"),
         words("bianca|nera|grigia"), "PZ", false, 2.2, 13},
        {"COL",
         "Colla {a} {b} g",
         words("vinilica|poliuretanica|per legno|epossidica"),
         words("250|500|750|1000"),
         {},
         "PZ",
         false,
         2.9,
         19},
        {"VAS",
         "Vaso per piante in terracotta Ø {a} cm",
         words("14|18|22|26|30|40"),
         {},
         {},
         "PZ",
         false,
         1.8,
         24},
    };
    return list;
}

const QString& pick(QRandomGenerator& rng, const QStringList& list)
{
    return list[rng.bounded(int(list.size()))];
}

double between(QRandomGenerator& rng, double min, double max)
{
    return min + rng.generateDouble() * (max - min);
}

} // namespace

double roundCents(double value)
{
    return std::round(value * 100.0) / 100.0;
}

DemoArticle makeArticle(QRandomGenerator& rng, int index, const QString& previousCode)
{
    const auto& list = categories();
    const Category& cat = list[rng.bounded(int(list.size()))];
    QString description = QString::fromUtf8(cat.pattern);
    if (!cat.a.isEmpty())
        description.replace(QLatin1String("{a}"), pick(rng, cat.a));
    if (!cat.b.isEmpty())
        description.replace(QLatin1String("{b}"), pick(rng, cat.b));
    if (!cat.c.isEmpty())
        description.replace(QLatin1String("{c}"), pick(rng, cat.c));

    const QString prefix = QString::fromLatin1(cat.prefix);
    const QString serial = QStringLiteral("%1").arg(index + 1, 5, 10, QLatin1Char('0'));
    QString code = prefix + serial;
    if (index % 97 == 13)
        code = prefix + QLatin1Char('\'') + serial; // e.g. VIT'00014
    else if (index % 89 == 7)
        code = index % 2 ? QString(QLatin1Char(' ') + code + QLatin1Char(' '))
                         : QString(code + QLatin1Char(' '));
    else if (index % 151 == 42 && !previousCode.isEmpty())
        code = previousCode.toLower(); // a twin that differs in case only

    DemoArticle a;
    a.code = code;
    a.description = description;
    a.unit = QString::fromLatin1(cat.unit);
    a.fractional = cat.fractional;
    const int iva = rng.bounded(20);
    a.codIva = iva < 16 ? QStringLiteral("22") : iva < 19 ? QStringLiteral("10") : QStringLiteral("4");
    a.costoStandard = roundCents(between(rng, cat.minCost, cat.maxCost));
    a.costoMedio = roundCents(a.costoStandard * between(rng, 0.9, 1.1));
    a.costoUltimo = roundCents(a.costoStandard * between(rng, 0.85, 1.2));
    a.prezzoVendita = roundCents(a.costoStandard * between(rng, 1.3, 1.9));
    for (double& s : a.staleStock)
        s = rng.bounded(10) < 7 ? 0.0 : double(rng.bounded(200)) - 20.0;
    return a;
}

QString makeCompanyName(QRandomGenerator& rng)
{
    static const QStringList surnames =
        words("Rossi|Bianchi|Esposito|Colombo|Ricci|Marino|Greco|Bruno|Gallo|Conti|"
              "De Luca|Mancini|Costa|Giordano|Rizzo|Lombardi|Moretti|D'Angelo|"
              "Ferrari|Romano|Fontana|Barbieri");
    static const QStringList trades =
        words("Ferramenta|Edilizia|Arredamenti|Impianti Elettrici|Idraulica|"
              "Forniture Industriali|Colori e Vernici|Materiali Edili|Utensileria|"
              "Giardinaggio|Termoidraulica");
    static const QStringList forms = words("S.r.l.|S.p.A.|S.n.c.|S.a.s.|S.r.l.s.|& Figli S.n.c.");
    const QString surname = pick(rng, surnames);
    const QString trade = pick(rng, trades);
    return surname + QLatin1Char(' ') + trade + QLatin1Char(' ') + pick(rng, forms);
}

QString makeCity(QRandomGenerator& rng)
{
    static const QStringList cities =
        words("Milano|Torino|Bergamo|Brescia|Verona|Padova|Bologna|Modena|Firenze|"
              "Perugia|Ancona|Pescara|Napoli|Bari|Forlì|Cantù|Sant'Arcangelo");
    return pick(rng, cities);
}

QString makeAddress(QRandomGenerator& rng)
{
    static const QStringList streets =
        words("Via Roma|Via Garibaldi|Corso Italia|Via Mazzini|Viale dell'Industria|"
              "Via dell'Artigianato|Piazza Cavour|Via Nazionale");
    return pick(rng, streets) + QLatin1Char(' ') + QString::number(1 + rng.bounded(180));
}

} // namespace rio::demo
