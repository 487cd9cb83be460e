#include "app/demo/demo_options.h"
#include "context/years.h"

#include "context/command_line.h"

namespace rio::demo {

namespace {

struct NumberOption
{
    const char* name;
    const char* description;
    qint64 min;
    qint64 max;
};

// Every option that takes a number, with its range.
const NumberOption Numbers[] = {
    {"companies", "Numero di aziende, da 1 a 10 (3).", 1, 10},
    {"articles", "Articoli per azienda (300).", 1, 10'000'000},
    {"movements", "Movimenti di magazzino per azienda (3000).", 0, 100'000'000},
    {"open-items", "Partite contabili aperte per azienda (40).", 0, 10'000'000},
    {"seed", "Seme dei dati casuali: stesso seme, stessi file (2023).", 0, 4294967295LL},
};

CommandLine commandLine()
{
    CommandLine line(
        QStringLiteral("riapertura-demo"), QStringLiteral("CARTELLA [opzioni]"),
        QStringLiteral("Scrive nella CARTELLA, presa come unità C:, un'installazione dimostrativa "
                       "del prodotto Zeta:\ndatabase di sistema, file di gruppo di lavoro e gli "
                       "archivi %1 delle aziende.\nLascia nella CARTELLA il file "
                       ".riapertura-demo e non scrive sopra un'installazione esistente.")
            .arg(layout::AnnoInCorso),
        {QStringLiteral("0  installazione scritta"), QStringLiteral("1  scrittura non riuscita"),
         QStringLiteral("2  opzioni errate"),
         QStringLiteral("3  la CARTELLA contiene già un'installazione: nulla è stato scritto")});
    for (const NumberOption& n : Numbers)
        line.addOption({QLatin1String(n.name), QChar(), QLatin1String(n.name[0] == 's' ? "S" : "N"),
                        QString::fromUtf8(n.description)});
    line.addOption({QStringLiteral("x86"), QChar(), QString(),
                    QStringLiteral("Crea anche \"C:\\Program Files (x86)\" e vi pone l'installazione "
                                   "(Windows a 64 bit).")});
    return line;
}

bool readNumber(const QString& text, qint64 min, qint64 max, qint64& out)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return false;
    out = value;
    return true;
}

} // namespace

std::optional<DemoOptions> parseDemoArguments(const QStringList& arguments, QString& error,
                                              QString* information)
{
    const CommandLine line = commandLine();
    const CommandLine::Parsed parsed = line.parse(arguments);
    if (!parsed.ok) {
        error = parsed.error;
        return std::nullopt;
    }
    if (parsed.help || parsed.version) {
        if (information)
            *information = parsed.help ? line.helpText() : line.versionText();
        return std::nullopt;
    }
    DemoOptions options;
    if (parsed.positional.size() > 1) {
        error = CommandLine::mistake(
            QStringLiteral("una sola cartella, non anche \"%1\"").arg(parsed.positional[1]));
        return std::nullopt;
    }
    if (parsed.positional.isEmpty()) {
        error = CommandLine::mistake(QStringLiteral("manca la cartella in cui scrivere l'installazione"));
        return std::nullopt;
    }
    options.dir = parsed.positional.first();
    options.x86 = parsed.isSet(QStringLiteral("x86"));
    for (const NumberOption& n : Numbers) {
        const QString name = QLatin1String(n.name);
        if (!parsed.isSet(name))
            continue;
        qint64 value = 0;
        if (!readNumber(parsed.value(name), n.min, n.max, value)) {
            error = CommandLine::mistake(QStringLiteral("--%1 vuole un numero intero da %2 a %3, non \"%4\"")
                                             .arg(name)
                                             .arg(n.min)
                                             .arg(n.max)
                                             .arg(parsed.value(name)));
            return std::nullopt;
        }
        if (name == QLatin1String("companies"))
            options.companies = int(value);
        else if (name == QLatin1String("articles"))
            options.articles = int(value);
        else if (name == QLatin1String("movements"))
            options.movements = int(value);
        else if (name == QLatin1String("open-items"))
            options.openItems = int(value);
        else
            options.seed = quint32(value);
    }
    return options;
}

} // namespace rio::demo
