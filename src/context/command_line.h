#pragma once

#include <QChar>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace rio {

// The command line of the console programs, read the same way by each:
// "--name", "--name=value", "--name value", "-x", "-x value", "--" before
// arguments that start with a dash. --help (also -h, -? and Qt's --help-all)
// and --version (-v) are always there. Every text is Italian.
class CommandLine
{
public:
    struct Option
    {
        QString name;        // without the dashes
        QChar shortName;     // a letter, or null
        QString valueName;   // empty: a switch that takes no value
        QString description; // one line of the help
    };

    struct Parsed
    {
        bool ok = false;
        bool help = false;    // print helpText() and stop
        bool version = false; // print versionText() and stop
        QString error;        // one line ending with "; usare --help"
        QStringList positional;

        bool isSet(const QString& name) const { return m_values.contains(name); }
        QString value(const QString& name) const { return m_values.value(name); }

    private:
        friend class CommandLine;
        QMap<QString, QString> m_values;
    };

    // program: the executable's name; synopsis: what follows it in "Uso:";
    // description: a paragraph under it; exitStatuses: "0 ..." lines.
    CommandLine(const QString& program, const QString& synopsis, const QString& description,
                const QStringList& exitStatuses);

    void addOption(const Option& option);

    // Reads the arguments that follow the program's name. Stops at the first
    // mistake: an unknown option, a missing value, a value given to a switch.
    Parsed parse(const QStringList& arguments) const;

    QString helpText() const;
    QString versionText() const;
    // "<what>; usare --help", the form of every mistake on the command line.
    static QString mistake(const QString& what);

private:
    const Option* find(const QString& name) const;
    const Option* findShort(QChar letter) const;

    QString m_program;
    QString m_synopsis;
    QString m_description;
    QStringList m_exitStatuses;
    QList<Option> m_options;
};

} // namespace rio
