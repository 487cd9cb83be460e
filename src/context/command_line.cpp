#include "context/command_line.h"

#include "context/wording.h"

#include <algorithm>

namespace rio {

namespace {

const QString Help = QStringLiteral("help");
const QString Version = QStringLiteral("version");

QString dashed(const CommandLine::Option& o)
{
    QString text = o.shortName.isNull() ? QStringLiteral("    ") : QStringLiteral("-%1, ").arg(o.shortName);
    text += QStringLiteral("--") + o.name;
    if (!o.valueName.isEmpty())
        text += QLatin1Char(' ') + o.valueName;
    return text;
}

} // namespace

CommandLine::CommandLine(const QString& program, const QString& synopsis, const QString& description,
                         const QStringList& exitStatuses)
    : m_program(program), m_synopsis(synopsis), m_description(description), m_exitStatuses(exitStatuses)
{
    m_options << Option{Help, QLatin1Char('h'), QString(), QStringLiteral("Mostra questo aiuto ed esce.")}
              << Option{Version, QLatin1Char('v'), QString(), QStringLiteral("Mostra la versione ed esce.")};
}

void CommandLine::addOption(const Option& option)
{
    m_options << option;
}

const CommandLine::Option* CommandLine::find(const QString& name) const
{
    for (const Option& o : m_options)
        if (o.name == name)
            return &o;
    return nullptr;
}

const CommandLine::Option* CommandLine::findShort(QChar letter) const
{
    for (const Option& o : m_options)
        if (!o.shortName.isNull() && o.shortName == letter)
            return &o;
    return nullptr;
}

QString CommandLine::mistake(const QString& what)
{
    return what + QStringLiteral("; usare --help");
}

CommandLine::Parsed CommandLine::parse(const QStringList& arguments) const
{
    Parsed parsed;
    bool optionsOver = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (optionsOver || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            parsed.positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsOver = true;
            continue;
        }
        const Option* option = nullptr;
        QString given = a;
        QString value;
        bool hasValue = false;
        if (a.startsWith(QLatin1String("--"))) {
            QString name = a.mid(2);
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name.truncate(eq);
                hasValue = true;
                given = QStringLiteral("--") + name;
            }
            // Qt's programs offer --help-all beside --help: here both only help.
            option = find(name == QLatin1String("help-all") ? Help : name);
        } else if (a.size() == 2) {
            option = a[1] == QLatin1Char('?') ? find(Help) : findShort(a[1]);
        }
        if (!option) {
            parsed.error = mistake(QStringLiteral("opzione sconosciuta: %1").arg(given));
            return parsed;
        }
        if (option->valueName.isEmpty() && hasValue) {
            parsed.error = mistake(QStringLiteral("l'opzione %1 non vuole un valore").arg(given));
            return parsed;
        }
        if (!option->valueName.isEmpty() && !hasValue) {
            if (i + 1 >= arguments.size()) {
                parsed.error = mistake(QStringLiteral("manca il valore di %1").arg(given));
                return parsed;
            }
            value = arguments[++i];
        }
        parsed.m_values.insert(option->name, value);
    }
    parsed.help = parsed.isSet(Help);
    parsed.version = !parsed.help && parsed.isSet(Version);
    parsed.ok = true;
    return parsed;
}

QString CommandLine::helpText() const
{
    QString text = QStringLiteral("Uso: %1 %2\n\n%3\n\nOpzioni:\n").arg(m_program, m_synopsis, m_description);
    qsizetype width = 0;
    for (const Option& o : m_options)
        width = std::max(width, dashed(o).size());
    for (const Option& o : m_options)
        text += QStringLiteral("  %1  %2\n").arg(dashed(o), -int(width)).arg(o.description);
    text += QStringLiteral("\nStato di uscita:\n");
    for (const QString& line : m_exitStatuses)
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
    return text;
}

QString CommandLine::versionText() const
{
    return m_program + QLatin1Char(' ') + programVersion() + QLatin1Char('\n');
}

} // namespace rio
