#include "app/cli/cli_options.h"
#include "context/years.h"

#include "context/command_line.h"
#include "run/company_choice.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace rio::cli {

namespace {

CommandLine commandLine()
{
    CommandLine line(
        QStringLiteral("riapertura-cli"),
        QStringLiteral("[opzioni] [--simulazione [--cartella-simulazione CARTELLA] | --ripristina [NOME] | "
                       "--annulla-ripristino]"),
        QStringLiteral("Apre il nuovo esercizio %1 di ogni azienda Zeta, come il pulsante ESEGUI della "
                       "finestra:\nrighe degli eventi e messaggi su standard output, avanzamento su "
                       "standard error\nquando è un terminale.")
            .arg(layout::AnnoDaAprire),
        {QStringLiteral("Riapertura (nessuna delle opzioni qui sotto):"),
         QStringLiteral("  0  eseguita, anche con avvisi da controllare a mano"),
         QStringLiteral("  1  eseguita con errori"),
         QStringLiteral("  2  non iniziata: opzioni errate, risposta No, nessun terminale senza --yes, una\n"
                        "       domanda a cui --yes non risponde, un ERRORE della verifica preliminare,\n"
                        "       un'altra riapertura o un ripristino in corso"),
         QStringLiteral("  3  il programma è terminato prima della fine della riapertura"),
         QStringLiteral("  130  interrotta dall'utente (Ctrl-C, SIGTERM, SIGHUP) al primo punto sicuro,\n"
                        "       con una riga che dice dove; una nuova riapertura rifà tutto da capo"),
         QStringLiteral("--simulazione:  come la riapertura; l'installazione non è mai modificata"),
         QStringLiteral("--check:  0 nessun ERRORE;  1 almeno un ERRORE, o installazione illeggibile"),
         QStringLiteral("--elenca-copie:  0 elenco scritto (anche con copie che non corrispondono al\n"
                        "       manifesto: la riga lo dice);  1 installazione illeggibile (database di\n"
                        "       sistema mancante o senza radice): nessun elenco"),
         QStringLiteral("--ripristina:  0 copia ripristinata;  1 ripristino non riuscito, cartella dati\n"
                        "       rimessa al suo posto;  2 non iniziato (copia non trovata o non\n"
                        "       corrispondente al manifesto, risposta No, archivio in uso, spazio\n"
                        "       insufficiente), nessun file modificato;  3 come sopra;  130 interrotto, la\n"
                        "       cartella dati resta quella di prima"),
         QStringLiteral("--annulla-ripristino:  0 ripristino annullato;  1 non riuscito (il messaggio dice\n"
                        "       dov'è la cartella dati);  2 non iniziato (nessuna cartella messa da parte,\n"
                        "       risposta No, archivio in uso), nessun file modificato"),
         QStringLiteral("Con ogni opzione: 2 per opzioni errate; 0 per --help e --version."),
         QStringLiteral("Gli errori e i messaggi di errore vanno su standard error, il resto su standard\n"
                        "output. Con --json lo stato di uscita è lo stesso, e su standard output c'è solo\n"
                        "l'oggetto JSON, anche quando il comando è rifiutato o interrotto.")});
    line.addOption({QStringLiteral("server"), QChar(), QString(),
                    QStringLiteral("Sorgente dati SERVER (percorso dalla tabella system).")});
    line.addOption({QStringLiteral("zeta-folder"), QChar(), QString(),
                    QStringLiteral("Aggiornamento in cartella Zeta (solo se comunicato dalla Ventor).")});
    line.addOption(
        {QStringLiteral("no-log"), QChar(), QString(), QStringLiteral("Non scrive il file di log.")});
    line.addOption({QStringLiteral("drive-c"), QChar(), QStringLiteral("CARTELLA"),
                    QStringLiteral("Cartella che fa da disco C: (non su Windows).")});
    line.addOption({QStringLiteral("yes"), QLatin1Char('y'), QString(),
                    QStringLiteral("Risponde Sì alla conferma (utenti scollegati).")});
    line.addOption({QStringLiteral("quiet"), QLatin1Char('q'), QString(),
                    QStringLiteral("Solo i messaggi, gli errori e le righe finali.")});
    line.addOption({QStringLiteral("timings"), QChar(), QString(),
                    QStringLiteral("Scrive su standard error il tempo di ogni passo.")});
    line.addOption({QStringLiteral("check"), QChar(), QString(),
                    QStringLiteral("Solo la verifica prima della riapertura: non scrive nulla.")});
    line.addOption(
        {QStringLiteral("simulazione"), QChar(), QString(),
         QStringLiteral("Esegue l'intera riapertura su una copia di lavoro della cartella dati, poi "
                        "rimossa: il rapporto di verifica va in dati\\Tmp come simulazione_..., "
                        "gli archivi, il log e le copie di sicurezza restano come sono.")});
    line.addOption({QStringLiteral("cartella-simulazione"), QChar(), QStringLiteral("CARTELLA"),
                    QStringLiteral("Con --simulazione: la copia di lavoro va in CARTELLA (vuota, fuori dalla "
                                   "cartella dati) invece che accanto alla cartella dati.")});
    line.addOption({QStringLiteral("elenca-copie"), QChar(), QString(),
                    QStringLiteral("Elenca le copie di sicurezza, dalla più recente, e le confronta con il "
                                   "loro manifesto.")});
    line.addOption({QStringLiteral("ripristina"), QChar(), QString(),
                    QStringLiteral("Ripristina la copia di sicurezza NOME (senza nome la più recente fatta "
                                   "prima della riapertura) al posto della cartella dati, che è messa da "
                                   "parte.")});
    line.addOption({QStringLiteral("annulla-ripristino"), QChar(), QString(),
                    QStringLiteral("Annulla l'ultimo ripristino: rimette al suo posto la cartella dati "
                                   "messa da parte, e mette da parte quella attuale (nulla è cancellato).")});
    line.addOption({QStringLiteral("aziende"), QChar(), QStringLiteral("ELENCO"),
                    QStringLiteral("Apre solo le aziende indicate (numeri da 1 a 10, es. 1,3,7); le altre "
                                   "restano come sono. Anche con --check.")});
    line.addOption({QStringLiteral("json"), QChar(), QString(),
                    QStringLiteral("Su standard output solo un oggetto JSON con l'esito (schema nel "
                                   "README); ogni riga e messaggio va su standard error.")});
    line.addOption(
        {QStringLiteral("anche-non-verificabile"), QChar(), QString(),
         QStringLiteral("Con --ripristina: ripristina anche una copia senza manifesto, che non può "
                        "essere verificata (una copia fatta a mano, o lasciata a metà da una "
                        "riapertura interrotta). --yes da solo non basta.")});
    return line;
}

// As the shell reads it back: plain when it holds nothing the shell would
// split or expand, quoted otherwise.
QString shellWord(const QString& argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./\\-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
#ifdef Q_OS_WIN
    return QLatin1Char('"') + QString(argument).replace(QLatin1Char('"'), QLatin1String("\\\"")) +
           QLatin1Char('"');
#else
    return QLatin1Char('\'') + QString(argument).replace(QLatin1Char('\''), QLatin1String("'\\''")) +
           QLatin1Char('\'');
#endif
}

} // namespace

QString commandLineFor(const QStringList& arguments, const QList<int>& companies)
{
    QStringList words{shellWord(arguments.value(0, QStringLiteral("riapertura-cli")))};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--"))
            break; // only names follow, which a run does not take
        if (argument == QLatin1String("--aziende")) {
            ++i; // and its value
            continue;
        }
        if (argument.startsWith(QLatin1String("--aziende=")))
            continue;
        words << shellWord(argument);
    }
    words << QStringLiteral("--aziende") << slotListText(companies);
    return words.join(QLatin1Char(' '));
}

ParsedOptions parseOptions(const QStringList& arguments)
{
    const CommandLine line = commandLine();
    const CommandLine::Parsed parsed = line.parse(arguments.mid(1));
    ParsedOptions result;
    if (!parsed.ok) {
        result.text = parsed.error;
        return result;
    }
    if (parsed.help || parsed.version) {
        result.helpShown = true;
        result.text = parsed.help ? line.helpText() : line.versionText();
        return result;
    }
    CliOptions& o = result.options;
    o.restore = parsed.isSet(QStringLiteral("ripristina"));
    // A name only after --ripristina, and one.
    if (parsed.positional.size() > (o.restore ? 1 : 0)) {
        result.text = CommandLine::mistake(
            QStringLiteral("argomento non previsto: %1").arg(parsed.positional.value(o.restore ? 1 : 0)));
        return result;
    }
    o.restoreCopy = parsed.positional.value(0);
    o.unverifiable = parsed.isSet(QStringLiteral("anche-non-verificabile"));
    if (o.unverifiable && !o.restore) {
        result.text = CommandLine::mistake(QStringLiteral("--anche-non-verificabile va con --ripristina"));
        return result;
    }
    o.listCopies = parsed.isSet(QStringLiteral("elenca-copie"));
    o.check = parsed.isSet(QStringLiteral("check"));
    o.undoRestore = parsed.isSet(QStringLiteral("annulla-ripristino"));
    o.rehearsal = parsed.isSet(QStringLiteral("simulazione"));
    if (int(o.check) + int(o.listCopies) + int(o.restore) + int(o.undoRestore) + int(o.rehearsal) > 1) {
        result.text = CommandLine::mistake(QStringLiteral(
            "--check, --elenca-copie, --simulazione, --ripristina e --annulla-ripristino non vanno insieme"));
        return result;
    }
    if (parsed.isSet(QStringLiteral("cartella-simulazione"))) {
        o.rehearsalFolder = parsed.value(QStringLiteral("cartella-simulazione"));
        if (!o.rehearsal) {
            result.text = CommandLine::mistake(QStringLiteral("--cartella-simulazione va con --simulazione"));
            return result;
        }
        if (o.rehearsalFolder.isEmpty()) {
            result.text = CommandLine::mistake(QStringLiteral("--cartella-simulazione senza cartella"));
            return result;
        }
    }
    if (parsed.isSet(QStringLiteral("aziende"))) {
        if (o.listCopies || o.restore || o.undoRestore) {
            result.text =
                CommandLine::mistake(QStringLiteral("--aziende va con la riapertura o con --check"));
            return result;
        }
        const SlotListParse list = parseSlotList(parsed.value(QStringLiteral("aziende")));
        if (!list.ok()) {
            result.text = CommandLine::mistake(QStringLiteral("--aziende: ") + list.error);
            return result;
        }
        o.companies = list.numbers;
    }
    o.server = parsed.isSet(QStringLiteral("server"));
    o.zetaFolder = parsed.isSet(QStringLiteral("zeta-folder"));
    o.log = !parsed.isSet(QStringLiteral("no-log"));
    o.yes = parsed.isSet(QStringLiteral("yes"));
    o.quiet = parsed.isSet(QStringLiteral("quiet"));
    o.timings = parsed.isSet(QStringLiteral("timings"));
    o.json = parsed.isSet(QStringLiteral("json"));
    if (parsed.isSet(QStringLiteral("drive-c"))) {
        const QString driveC = parsed.value(QStringLiteral("drive-c"));
#ifdef Q_OS_WIN
        Q_UNUSED(driveC);
        result.text = QStringLiteral("--drive-c non serve su Windows: il disco C: è quello vero.");
        return result;
#else
        if (driveC.isEmpty()) {
            result.text = CommandLine::mistake(QStringLiteral("--drive-c senza cartella"));
            return result;
        }
        const QFileInfo folder(driveC);
        if (!folder.isDir()) {
            result.text = QStringLiteral("--drive-c: la cartella %1 non esiste.").arg(driveC);
            return result;
        }
        o.driveC = folder.absoluteFilePath();
#endif
    }
    result.ok = true;
    return result;
}

} // namespace rio::cli
