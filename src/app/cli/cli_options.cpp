#include "app/cli/cli_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace rio::cli {

ParsedOptions parseOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Apre il nuovo esercizio 2024 di ogni azienda Zeta (come il pulsante ESEGUI della finestra)."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Sorgente dati SERVER (percorso dalla tabella system)."));
    const QCommandLineOption zeta(
        QStringLiteral("zeta-folder"),
        QStringLiteral("Aggiornamento in cartella Zeta (solo se comunicato dalla Ventor)."));
    const QCommandLineOption noLog(QStringLiteral("no-log"), QStringLiteral("Non scrive il file di log."));
    const QCommandLineOption driveC(QStringLiteral("drive-c"),
                                    QStringLiteral("Cartella che fa da disco C: (non su Windows)."),
                                    QStringLiteral("cartella"));
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("Risponde Sì alla conferma (utenti scollegati)."));
    const QCommandLineOption timings(QStringLiteral("timings"),
                                     QStringLiteral("Scrive su standard error il tempo di ogni passo."));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("Solo la verifica prima della riapertura: non scrive nulla."));
    parser.addOptions({server, zeta, noLog, driveC, yes, timings, check});

    ParsedOptions result;
    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.helpShown = true;
        result.text = parser.helpText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.text =
            QStringLiteral("Argomento non previsto: %1").arg(parser.positionalArguments().constFirst());
        return result;
    }
    CliOptions& o = result.options;
    o.server = parser.isSet(server);
    o.zetaFolder = parser.isSet(zeta);
    o.log = !parser.isSet(noLog);
    o.yes = parser.isSet(yes);
    o.timings = parser.isSet(timings);
    o.check = parser.isSet(check);
    if (parser.isSet(driveC)) {
#ifdef Q_OS_WIN
        result.text = QStringLiteral("--drive-c non serve su Windows: il disco C: è quello vero.");
        return result;
#else
        const QFileInfo folder(parser.value(driveC));
        if (!folder.isDir()) {
            result.text = QStringLiteral("--drive-c: la cartella %1 non esiste.").arg(parser.value(driveC));
            return result;
        }
        o.driveC = folder.absoluteFilePath();
#endif
    }
    result.ok = true;
    return result;
}

} // namespace rio::cli
