// The console's --json through the built riapertura-cli: for each command,
// standard output holds one object of the schema the README documents and
// nothing else, the human lines go to standard error.
#include "cli_process.h"
#include "context/exit_status.h"
#include "test_install.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <memory>

using namespace rio;
using namespace Qt::Literals::StringLiterals;

namespace {

QSet<QString> keysOf(const QJsonObject& object)
{
    const QStringList keys = object.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

// The value at key has the documented type: u"string"_s, u"int"_s, u"bool"_s,
// u"array"_s, u"object"_s, a u"?"_s after it when null is allowed too.
bool typed(const QJsonObject& object, const QString& key, QString type)
{
    const QJsonValue value = object.value(key);
    if (type.endsWith(QLatin1Char('?'))) {
        type.chop(1);
        if (value.isNull())
            return true;
    }
    if (type == QLatin1String("string"))
        return value.isString();
    if (type == QLatin1String("int"))
        return value.isDouble() && value.toDouble() == double(qint64(value.toDouble()));
    if (type == QLatin1String("bool"))
        return value.isBool();
    if (type == QLatin1String("array"))
        return value.isArray();
    return type == QLatin1String("object") && value.isObject();
}

// Every key the README lists, with its type, and no other.
void checkShape(const QJsonObject& object, const QList<QPair<QString, QString>>& shape, const QString& where)
{
    QSet<QString> expected;
    for (const auto& [key, type] : shape) {
        expected.insert(key);
        QVERIFY2(typed(object, key, type),
                 qPrintable(QStringLiteral("%1.%2 is not %3").arg(where, key, type)));
    }
    QCOMPARE(keysOf(object), expected);
}

void checkSchema(const QJsonObject& o)
{
    checkShape(o,
               {{u"schema"_s, u"int"_s},
                {u"comando"_s, u"string?"_s},
                {u"stato_uscita"_s, u"int"_s},
                {u"simulazione"_s, u"bool"_s},
                {u"esito"_s, u"string?"_s},
                {u"rilievi"_s, u"array"_s},
                {u"aziende"_s, u"array"_s},
                {u"percorsi"_s, u"object"_s},
                {u"copie"_s, u"array"_s},
                {u"ripristino"_s, u"object?"_s},
                {u"messaggi"_s, u"array"_s}},
               u"root"_s);
    QCOMPARE(o.value(u"schema"_s).toInt(), 1);
    static const QSet<QString> levels{u"ok"_s, u"attenzione"_s, u"errore"_s, u"discrepanza"_s};
    for (const QJsonValue& f : o.value(u"rilievi"_s).toArray()) {
        checkShape(f.toObject(),
                   {{u"livello"_s, u"string"_s},
                    {u"azienda"_s, u"int?"_s},
                    {u"area"_s, u"string"_s},
                    {u"testo"_s, u"string"_s}},
                   u"rilievi[]"_s);
        QVERIFY2(levels.contains(f.toObject().value(u"livello"_s).toString()),
                 qPrintable(f.toObject().value(u"livello"_s).toString()));
    }
    static const QSet<QString> outcomes{u"eseguita"_s, u"eseguita con avvisi"_s, u"eseguita con errori"_s,
                                        u"non eseguita"_s};
    for (const QJsonValue& c : o.value(u"aziende"_s).toArray()) {
        checkShape(c.toObject(),
                   {{u"azienda"_s, u"int"_s},
                    {u"nome"_s, u"string"_s},
                    {u"esito"_s, u"string?"_s},
                    {u"errori"_s, u"int"_s},
                    {u"avvisi"_s, u"int?"_s},
                    {u"discrepanze"_s, u"int?"_s}},
                   u"aziende[]"_s);
        const QJsonValue outcome = c.toObject().value(u"esito"_s);
        QVERIFY(outcome.isNull() || outcomes.contains(outcome.toString()));
    }
    checkShape(o.value(u"percorsi"_s).toObject(),
               {{u"copia_di_sicurezza"_s, u"string?"_s},
                {u"log"_s, u"string?"_s},
                {u"rapporto"_s, u"string?"_s},
                {u"csv"_s, u"array"_s},
                {u"cartella_messa_da_parte"_s, u"string?"_s}},
               u"percorsi"_s);
    for (const QJsonValue& c : o.value(u"copie"_s).toArray())
        checkShape(c.toObject(),
                   {{u"nome"_s, u"string"_s},
                    {u"percorso"_s, u"string"_s},
                    {u"data"_s, u"string"_s},
                    {u"ora_nota"_s, u"bool"_s},
                    {u"byte"_s, u"int"_s},
                    {u"prima_della_riapertura"_s, u"bool"_s},
                    {u"aziende_con_anno_nuovo"_s, u"array"_s},
                    {u"verifica"_s, u"string"_s},
                    {u"file"_s, u"int"_s},
                    {u"problemi"_s, u"array"_s},
                    {u"predefinita"_s, u"bool"_s}},
                   u"copie[]"_s);
    if (o.value(u"ripristino"_s).isObject())
        checkShape(o.value(u"ripristino"_s).toObject(),
                   {{u"copia"_s, u"string?"_s}, {u"ripristinato"_s, u"bool"_s}, {u"esito"_s, u"string?"_s}},
                   u"ripristino"_s);
    for (const QJsonValue& m : o.value(u"messaggi"_s).toArray())
        checkShape(m.toObject(),
                   {{u"titolo"_s, u"string"_s}, {u"testo"_s, u"string"_s}, {u"tipo"_s, u"string"_s}},
                   u"messaggi[]"_s);
}

bool fileThere(const QJsonValue& path)
{
    return path.isString() && QFileInfo::exists(path.toString());
}

} // namespace

class TestCliJson : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;

private slots:
    void initTestCase()
    {
        m_install = std::make_unique<TestInstall>();
        // Company 1 ends with something to check by hand, company 2 clean.
        TestInstall::addTwinArticles(m_install->addCompany(1));
        m_install->addCompany(2);
    }

    // The rows run in order on one installation: checked, opened, its
    // copies listed, the copy restored, the restore undone, then refused.
    void eachCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("command");
        QTest::newRow("check") << QStringList{u"--check"_s} << int(ExitDone) << u"check"_s;
        QTest::newRow("run") << QStringList{u"--yes"_s} << int(ExitDone) << u"riapertura"_s;
        // A rehearsal makes no copy: the list that follows has the run's alone.
        QTest::newRow("rehearsal") << QStringList{u"--simulazione"_s, u"--yes"_s} << int(ExitDone)
                                   << u"riapertura"_s;
        QTest::newRow("list") << QStringList{u"--elenca-copie"_s} << int(ExitDone) << u"elenca-copie"_s;
        QTest::newRow("restore") << QStringList{u"--ripristina"_s, u"--yes"_s} << int(ExitDone)
                                 << u"ripristina"_s;
        QTest::newRow("undo") << QStringList{u"--annulla-ripristino"_s, u"--yes"_s} << int(ExitDone)
                              << u"annulla-ripristino"_s;
        QTest::newRow("interrupted run")
            << QStringList{u"--yes"_s} << int(ExitInterrupted) << u"riapertura"_s;
        QTest::newRow("refused run") << QStringList{} << int(ExitNotStarted) << u"riapertura"_s;
        QTest::newRow("refused restore")
            << QStringList{u"--ripristina"_s, u"Copia_dati_01011999"_s, u"--yes"_s} << int(ExitNotStarted)
            << u"ripristina"_s;
        QTest::newRow("mistake") << QStringList{u"--check"_s, u"--elenca-copie"_s} << int(ExitNotStarted)
                                 << QString();
    }

    void eachCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, command);
        const QString row = QString::fromLatin1(QTest::currentDataTag());
        const QStringList line = QStringList{u"--json"_s, u"--drive-c"_s, m_install->driveC()} + args;
        // Ctrl-C as the safety copy's first folder is made, once confirmed.
        const CliResult r =
            row == QLatin1String("interrupted run")
                ? runCli(line, {u"-f"_s, u"-o"_s, u"/dev/null"_s, u"-e"_s, u"trace=mkdir,mkdirat"_s, u"-e"_s,
                                u"inject=mkdir,mkdirat:signal=SIGINT:when=1"_s})
                : runCli(line);
        QVERIFY2(r.status == status, qPrintable(r.out + r.err));

        // Standard output is the object and nothing else: one that parses
        // whole, for Qt and for python3 -m json.tool.
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(),
                 qPrintable(error.errorString() + QLatin1Char('\n') + r.out));
        QVERIFY(r.out.startsWith(QLatin1Char('{')) && r.out.endsWith(QStringLiteral("}\n")));
        QProcess tool;
        tool.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("json.tool")});
        tool.write(r.out.toUtf8());
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

        const QJsonObject o = document.object();
        checkSchema(o);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(o.value(u"stato_uscita"_s).toInt(), status);
        QCOMPARE(o.value(u"comando"_s).toString(), command);
        QCOMPARE(o.value(u"simulazione"_s).toBool(), row == QLatin1String("rehearsal"));
        const QJsonObject paths = o.value(u"percorsi"_s).toObject();
        if (row == QLatin1String("check")) {
            const QJsonArray findings = o.value(u"rilievi"_s).toArray();
            QVERIFY(!findings.isEmpty());
            QVERIFY(std::any_of(findings.begin(), findings.end(), [](const QJsonValue& f) {
                return f.toObject().value(u"livello"_s) == QLatin1String("ok") &&
                       f.toObject().value(u"azienda"_s).toInt() == 2;
            }));
            QVERIFY(r.err.contains(QStringLiteral("OK radice dell'installazione")));
        } else if (row == QLatin1String("run")) {
            const QJsonArray companies = o.value(u"aziende"_s).toArray();
            QCOMPARE(companies.size(), 2);
            QCOMPARE(companies[0].toObject().value(u"esito"_s).toString(),
                     QStringLiteral("eseguita con avvisi"));
            QVERIFY(companies[0].toObject().value(u"avvisi"_s).toInt() > 0);
            QCOMPARE(companies[1].toObject().value(u"esito"_s).toString(), QStringLiteral("eseguita"));
            QCOMPARE(companies[1].toObject().value(u"nome"_s).toString(), QStringLiteral("Azienda 2 S.r.l."));
            const QJsonArray findings = o.value(u"rilievi"_s).toArray();
            QVERIFY(std::any_of(findings.begin(), findings.end(), [](const QJsonValue& f) {
                return f.toObject().value(u"livello"_s) == QLatin1String("attenzione") &&
                       f.toObject().value(u"azienda"_s).toInt() == 1 &&
                       !f.toObject().value(u"area"_s).toString().isEmpty();
            }));
            QVERIFY(fileThere(paths.value(u"copia_di_sicurezza"_s)));
            QVERIFY(fileThere(paths.value(u"log"_s)));
            QVERIFY(fileThere(paths.value(u"rapporto"_s)));
            QCOMPARE(paths.value(u"csv"_s).toArray().size(), 2);
            for (const QJsonValue& csv : paths.value(u"csv"_s).toArray())
                QVERIFY(fileThere(csv));
            QVERIFY(o.value(u"esito"_s).isString());
            QVERIFY(r.err.contains(QStringLiteral("Esito: ")));
            QVERIFY(r.err.contains(QStringLiteral("-> Sì (--yes)")));
        } else if (row == QLatin1String("rehearsal")) {
            QVERIFY(o.value(u"esito"_s)
                        .toString()
                        .startsWith(QStringLiteral("Simulazione: Riapertura eseguita")));
            QCOMPARE(o.value(u"aziende"_s).toArray().size(), 2);
            QVERIFY(paths.value(u"copia_di_sicurezza"_s).isNull());
            QVERIFY(paths.value(u"log"_s).isNull());
            QVERIFY(fileThere(paths.value(u"rapporto"_s)));
            QVERIFY(
                QFileInfo(paths.value(u"rapporto"_s).toString()).fileName().startsWith(u"simulazione_"_s));
            QCOMPARE(paths.value(u"csv"_s).toArray().size(), 2);
        } else if (row == QLatin1String("list")) {
            const QJsonArray copies = o.value(u"copie"_s).toArray();
            QCOMPARE(copies.size(), 1);
            const QJsonObject copy = copies[0].toObject();
            QVERIFY(fileThere(copy.value(u"percorso"_s)));
            QCOMPARE(copy.value(u"verifica"_s).toString(), QStringLiteral("verificata"));
            QVERIFY(copy.value(u"prima_della_riapertura"_s).toBool());
            QVERIFY(copy.value(u"predefinita"_s).toBool());
            QVERIFY(copy.value(u"byte"_s).toDouble() > 0);
        } else if (row == QLatin1String("restore")) {
            const QJsonObject restore = o.value(u"ripristino"_s).toObject();
            QVERIFY2(restore.value(u"ripristinato"_s).toBool(), qPrintable(r.out));
            QVERIFY(restore.value(u"copia"_s).toString().startsWith(QStringLiteral("Copia_dati_")));
            QVERIFY(fileThere(paths.value(u"copia_di_sicurezza"_s)));
            QVERIFY2(fileThere(paths.value(u"rapporto"_s)), qPrintable(r.out));
            QVERIFY(fileThere(paths.value(u"cartella_messa_da_parte"_s)));
        } else if (row == QLatin1String("interrupted run")) {
            // What is known: no company opened, the unfinished copy gone, the reason.
            QCOMPARE(o.value(u"esito"_s).toString(), QStringLiteral("Riapertura interrotta dall'utente"));
            QVERIFY(o.value(u"aziende"_s).toArray().isEmpty());
            QVERIFY(paths.value(u"copia_di_sicurezza"_s).isNull());
            const QJsonArray findings = o.value(u"rilievi"_s).toArray();
            QVERIFY(std::any_of(findings.begin(), findings.end(), [](const QJsonValue& f) {
                return f.toObject()
                    .value(u"testo"_s)
                    .toString()
                    .startsWith(QStringLiteral("Riapertura interrotta dall'utente"));
            }));
        } else if (row == QLatin1String("undo")) {
            QVERIFY(o.value(u"ripristino"_s).toObject().value(u"ripristinato"_s).toBool());
            QVERIFY(fileThere(paths.value(u"cartella_messa_da_parte"_s)));
        } else {
            // Refused: nothing restored, and the reason among the findings,
            // or for the restore in its box.
            const auto isError = [](const QJsonValue& v) {
                return v.toObject().value(u"livello"_s) == QLatin1String("errore") ||
                       v.toObject().value(u"tipo"_s) == QLatin1String("errore");
            };
            const QJsonArray said = row == QLatin1String("refused restore") ? o.value(u"messaggi"_s).toArray()
                                                                            : o.value(u"rilievi"_s).toArray();
            QVERIFY2(std::any_of(said.begin(), said.end(), isError), qPrintable(r.out));
            if (o.value(u"ripristino"_s).isObject())
                QVERIFY(!o.value(u"ripristino"_s).toObject().value(u"ripristinato"_s).toBool());
        }
    }
};

QTEST_GUILESS_MAIN(TestCliJson)
#include "test_cli_json.moc"
