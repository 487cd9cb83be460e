#include "app/demo/demo_options.h"

namespace rio::demo {

namespace {

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

QString demoUsage()
{
    return QStringLiteral(
        "Uso: riapertura-demo CARTELLA [--companies N] [--articles N] [--movements N] [--open-items N] "
        "[--seed S] [--x86]\n"
        "Scrive nella CARTELLA, presa come unità C:, un'installazione dimostrativa del prodotto Zeta:\n"
        "database di sistema, file di gruppo di lavoro e gli archivi 2023 delle aziende.\n"
        "  --companies N   numero di aziende, da 1 a 10 (3)\n"
        "  --articles N    articoli per azienda (300)\n"
        "  --movements N   movimenti di magazzino per azienda (3000)\n"
        "  --open-items N  partite contabili aperte per azienda (40)\n"
        "  --seed S        seme dei dati casuali: stesso seme, stessi file (2023)\n"
        "  --x86           crea anche \"C:\\Program Files (x86)\" e vi pone l'installazione (Windows a 64 "
        "bit)\n");
}

std::optional<DemoOptions> parseDemoArguments(const QStringList& arguments, QString& error)
{
    struct Limit
    {
        const char* name;
        qint64 min;
        qint64 max;
    };
    DemoOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--x86")) {
            options.x86 = true;
            continue;
        }
        if (!a.startsWith(QLatin1String("--"))) {
            if (!options.dir.isEmpty()) {
                error = QStringLiteral("Una sola cartella, non anche \"%1\".").arg(a);
                return std::nullopt;
            }
            options.dir = a;
            continue;
        }
        QString name = a;
        QString value;
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = QStringLiteral("Manca il valore di %1.").arg(a);
            return std::nullopt;
        }
        qint64 n = 0;
        auto take = [&](Limit limit) {
            if (readNumber(value, limit.min, limit.max, n))
                return true;
            error = QStringLiteral("%1 vuole un numero intero da %2 a %3, non \"%4\".")
                        .arg(QLatin1String(limit.name))
                        .arg(limit.min)
                        .arg(limit.max)
                        .arg(value);
            return false;
        };
        if (name == QLatin1String("--companies")) {
            if (!take({"--companies", 1, 10}))
                return std::nullopt;
            options.companies = int(n);
        } else if (name == QLatin1String("--articles")) {
            if (!take({"--articles", 1, 10'000'000}))
                return std::nullopt;
            options.articles = int(n);
        } else if (name == QLatin1String("--movements")) {
            if (!take({"--movements", 0, 100'000'000}))
                return std::nullopt;
            options.movements = int(n);
        } else if (name == QLatin1String("--open-items")) {
            if (!take({"--open-items", 0, 10'000'000}))
                return std::nullopt;
            options.openItems = int(n);
        } else if (name == QLatin1String("--seed")) {
            if (!take({"--seed", 0, 4294967295LL}))
                return std::nullopt;
            options.seed = quint32(n);
        } else {
            error = QStringLiteral("Opzione sconosciuta: %1").arg(name);
            return std::nullopt;
        }
    }
    if (options.dir.isEmpty()) {
        error = QStringLiteral("Manca la cartella in cui scrivere l'installazione.");
        return std::nullopt;
    }
    return options;
}

} // namespace rio::demo
