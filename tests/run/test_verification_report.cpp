// The verification report as an accountant reads it, on screen and printed.
#include "run/report_format.h"
#include "run/run.h"
#include "run/verification.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace rio;

namespace {

// The verification's own test company (twins "d4"/"D4", a refused item),
// with two codes with blanks whose stale stock stays in warehouses 03-05, a
// customer list with names, and a supplier list of another shape.
void fillCompany(const QString& archive)
{
    TestInstall::execAll(
        archive,
        {QStringLiteral(
             "insert into ANAG_ART(CodArt, DescrArt, Giacenza1, giacenza3, giacenza5) values "
             "('A1', 'Viti', 0, 0, 0), ('d4', 'Rondelle', 0, 0, 0), ('D4', 'Rondelle grandi', 7, 0, 0), "
             "(' E5 ', 'Staffe', 0, 0, 118), ('F6 ', 'Tasselli', 0, 4, 0)"),
         QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) values ('A1', '01', 5), ('D4', '02', 3), "
                        "('d4', '01', 1)"),
         years::fill(
             QStringLiteral("insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                            "Numero_Documento, Totale_Mov_Cont, Stato_PArtita) values "
                            "('{old}-03-01', 'C', 'c01', 'FT', 12, 100, null), "
                            "('{old}-04-01', 'C', 'c01', 'FT', 13, 50.5, null), "
                            "('{old}-05-01', 'F', 'F900', 'FA', 7, 30, null), "
                            "('{old}-05-02', 'F', 'F900', 'FA', '   ', 30, null), "
                            "('{old}-05-03', 'C', ' C9 ', 'FT', 9, 20, null), "
                            "('{old}-06-01', 'C', 'C02', 'FT', 14, 70, 'C')")),
         QStringLiteral(
             "insert into ANAG_CLI(CodCliFor, Ragione_Sociale1) values ('C01', 'Rossi Ferramenta S.r.l.')"),
         QStringLiteral("drop table ANAG_FOR"), QStringLiteral("create table ANAG_FOR(Codice TEXT)")});
}

} // namespace

class TestVerificationReport : public QObject
{
    Q_OBJECT

    std::unique_ptr<StepFixture> m_run;
    QString m_html;

private slots:
    void initTestCase()
    {
        m_run = std::make_unique<StepFixture>();
        fillCompany(m_run->install.createArchive(1));
        QCOMPARE(runYearOpening(m_run->ctx), RunOutcome::DoneWithErrors); // the refused item
        QFile report(m_run->install.host(m_run->host.reportPath));
        QVERIFY(report.open(QIODevice::ReadOnly));
        m_html = QString::fromUtf8(report.readAll());
    }

    // What the report says, and how many times.
    void theReportSpeaksTheAccountantsLanguage_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<int>("times");
        const auto add = [](const char* name, const QString& html, int times = 1) {
            QTest::newRow(name) << html << times;
        };
        add("a step by its plain name",
            QStringLiteral(
                "<td>Copia di sicurezza <span class=\"id\">COPIO_CARTELLA_SALVATAGGIO</span></td>"));
        add("a company's step", QStringLiteral("<td>Riporto delle partite aperte <span "
                                               "class=\"id\">CREAZIONE_MOVIMENTI_CONTABILI</span></td>"));
        add("a counter",
            QStringLiteral("<td>Progressivi di magazzino <span class=\"id\">Progr_Mov_Mag</span></td>"));
        add("an emptied table", QStringLiteral("<td>Movimenti IVA <span class=\"id\">MOV_IVA</span></td>"));
        add("a document table", QStringLiteral("<td>Documenti ordini clienti: righe <span "
                                               "class=\"id\">C_ORDINI_CLIENTI</span></td>"));
        add("receivables apart",
            QStringLiteral("<td>Totale crediti verso clienti <span class=\"id\">MOV_CONT</span>"
                           "</td><td>170,50</td><td>170,50</td><td>OK</td>"));
        add("payables apart",
            QStringLiteral("<td>Totale debiti verso fornitori <span class=\"id\">MOV_CONT</span>"
                           "</td><td>60,00</td><td>30,00</td><td>DISCORDANZA</td>"));
        add("no other type without such items", QStringLiteral("altro tipo"), 0);
        add("the customers' total", QStringLiteral("<tr class=\"total\"><td>Totale</td><td></td><td "
                                                   "class=\"num\">3</td><td class=\"num\">170,50</td>"));
        // The code as the item has it, the name found without regard to case.
        add("a customer's name", QStringLiteral("<td>c01</td><td>Rossi Ferramenta S.r.l.</td>"));
        add("a supplier list of another shape: no name, no failure",
            QStringLiteral("<td>F900</td><td></td>"));
        add("blanks around a code shown",
            QStringLiteral("<td><span class=\"code\">&quot; C9 &quot;</span></td>"));
        add("a warned warehouse in a compact row",
            QStringLiteral(
                "<td>Azienda_1</td><td><span class=\"code\">&quot; E5 &quot;</span></td><td>Staffe</td>"
                "<td>05</td><td class=\"num\">0</td><td class=\"num\">118</td></tr>"));
        add("a twin's row names its twin",
            QStringLiteral("<td><span class=\"code\">&quot;D4&quot;</span></td><td>Rondelle</td><td>01</td>"
                           "<td class=\"num\">1</td><td class=\"num\">8</td></tr>"));
        // Two codes with blanks and a twin: what to do, once per kind.
        add("what to do, once per kind", QStringLiteral("Che cosa fare:"), 2);
        add("no explanation per warning", QStringLiteral("rettificarla se serve"), 2);
        // The checks, then the customers and the suppliers.
        add("each company table names it on every printed page",
            QStringLiteral(
                "<thead>\n<tr class=\"caption\"><th colspan=\"5\">Azienda_1 \u2014 Azienda 1 S.r.l."));
        add("... each of its tables",
            QStringLiteral(
                "<thead>\n<tr class=\"caption\"><th colspan=\"6\">Azienda_1 \u2014 Azienda 1 S.r.l."),
            2);
    }
    void theReportSpeaksTheAccountantsLanguage()
    {
        QFETCH(QString, html);
        QFETCH(int, times);
        QVERIFY2(m_html.count(html) == times, qPrintable(QStringLiteral("%1 times").arg(m_html.count(html))));
    }

    void amountsAndQuantitiesInItalian_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("cell"); // spreadsheet
        QTest::newRow("a long sum") << 61703333.4900002 << QStringLiteral("61.703.333,49")
                                    << QStringLiteral("61.703.333,49") << QStringLiteral("61703333,49");
        QTest::newRow("negative") << -1234.5 << QStringLiteral("-1.234,50") << QStringLiteral("-1.234,5")
                                  << QStringLiteral("-1234,5");
        QTest::newRow("tenths added")
            << 0.1 + 0.2 << QStringLiteral("0,30") << QStringLiteral("0,3") << QStringLiteral("0,3");
        QTest::newRow("whole") << 7.0 << QStringLiteral("7,00") << QStringLiteral("7") << QStringLiteral("7");
        QTest::newRow("negative whole") << -40000.0 << QStringLiteral("-40.000,00")
                                        << QStringLiteral("-40.000") << QStringLiteral("-40000");
        QTest::newRow("noise around zero")
            << -1e-9 << QStringLiteral("0,00") << QStringLiteral("0") << QStringLiteral("0");
        QTest::newRow("a millionth") << 0.000001 << QStringLiteral("0,00") << QStringLiteral("0,000001")
                                     << QStringLiteral("0,000001");
        // Past the whole numbers a spreadsheet line writes as they are.
        QTest::newRow("a half past a million billions")
            << 1e15 + 0.5 << QStringLiteral("1.000.000.000.000.000,50")
            << QStringLiteral("1.000.000.000.000.000,5") << QStringLiteral("1000000000000000,5");
        QTest::newRow("its shortest digits, then zeros")
            << 6.5309951160483123e18 << QStringLiteral("6.530.995.116.048.312.320,00")
            << QStringLiteral("6.530.995.116.048.312.000") << QStringLiteral("6530995116048312000");
    }
    void amountsAndQuantitiesInItalian()
    {
        QFETCH(double, value);
        QFETCH(QString, amount);
        QFETCH(QString, quantity);
        QFETCH(QString, cell);
        QCOMPARE(formatAmount(value), amount);
        QCOMPARE(formatQuantity(value), quantity);
        QCOMPARE(formatCsvNumber(value), cell);
    }

    // A spreadsheet cell reads in a spreadsheet as the product holds it: any
    // character as UTF-8, quoted where it would split the line or lose its
    // blanks, free text never taken for a formula, a number of any size.
    void aSpreadsheetCellReadsAsTyped_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<double>("stock");
        QTest::addColumn<QByteArray>("cells"); // from the stock on
        const char16_t halfAPair[] = {u'A', 0xD800, u'B', 0};
        const auto add = [](const char* name, const QString& description, double stock,
                            const QByteArray& cells) {
            QTest::newRow(name) << description << stock << cells;
        };
        add("accents of two and three bytes", QStringLiteral("Perno \u00e8 5 \u20ac"), 1,
            "1;0;0;Perno \xC3\xA8 5 \xE2\x82\xAC;");
        add("beyond the basic plane", QStringLiteral("Vite \U0001F600"), 1, "1;0;0;Vite \xF0\x9F\x98\x80;");
        add("half a pair, as Qt writes it", QString::fromUtf16(halfAPair), 1, "1;0;0;A?B;");
        add("quotes doubled", QStringLiteral("Tubo 3/4\" 50 m"), 1, "1;0;0;\"Tubo 3/4\"\" 50 m\";");
        add("a formula with a separator", QStringLiteral("=SOMMA(A1;A2)"), 1, "1;0;0;\"'=SOMMA(A1;A2)\";");
        add("a formula with a blank after", QStringLiteral("-5 "), -2.5, "-2,5;0;0;\"'-5 \";");
        add("a non-breaking space ahead", QStringLiteral("\u00a0Dadi"), 1, "1;0;0;\"\xC2\xA0" "Dadi\";");
        add("a line break", QStringLiteral("Riga 1\r\nRiga 2"), 1, "1;0;0;\"Riga 1\r\nRiga 2\";");
        add("a sum past any stock", QStringLiteral("Staffe"), 1e300,
            "1" + QByteArray(300, '0') + ";0;0;Staffe;");
    }
    void aSpreadsheetCellReadsAsTyped()
    {
        QFETCH(QString, description);
        QFETCH(double, stock);
        QFETCH(QByteArray, cells);
        CompanyVerification c;
        c.slot = 2;
        c.name = QStringLiteral("Bianchi; Rossi");
        StockRow row;
        row.code = QStringLiteral("A1");
        row.dep = QStringLiteral("01");
        row.stockOld = stock;
        row.description = description;
        QCOMPARE(spreadsheetLine(c, row), "Azienda_2;\"Bianchi; Rossi\";A1;01;" + cells + "\r\n");
    }

    // Printed by a real browser, every page of a company's part carries the
    // company's name and its table's header.
    void everyPrintedPageOfACompanyNamesIt()
    {
        QString chromium;
        for (const char* name : {"chromium", "chromium-browser"})
            if (chromium.isEmpty())
                chromium = QStandardPaths::findExecutable(QLatin1String(name));
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (chromium.isEmpty() || pdftotext.isEmpty())
            QSKIP("Chromium or pdftotext (poppler-utils) missing: the print layout is not checked");

        // Two companies with enough customers for several pages each.
        StepFixture f;
        for (int slot : {1, 2}) {
            const QString archive = f.install.createArchive(slot);
            TestInstall::execAll(
                archive, {years::fill(QStringLiteral(
                              "with recursive n(i) as (select 1 union all select i + 1 from n where i < 160) "
                              "insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                              "Numero_Documento, Totale_Mov_Cont) select '{old}-03-01', 'C', "
                              "printf('C%05d', i), 'FT', i, 10 * i from n")),
                          QStringLiteral(
                              "with recursive n(i) as (select 1 union all select i + 1 from n where i < 160) "
                              "insert into ANAG_CLI(CodCliFor, Ragione_Sociale1) select printf('C%05d', i), "
                              "'Cliente numero ' || i || ' S.r.l.' from n")});
        }
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("rapporto.pdf"));
        QProcess browser;
        browser.start(chromium,
                      {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                       QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                       QStringLiteral("--disable-background-networking"),
                       QStringLiteral("--user-data-dir=") + out.filePath(QStringLiteral("profilo")),
                       QStringLiteral("--no-pdf-header-footer"), QStringLiteral("--print-to-pdf=") + pdf,
                       QStringLiteral("file://") + f.install.host(f.host.reportPath)});
        QVERIFY(browser.waitForFinished(120000));
        QVERIFY2(QFile::exists(pdf), browser.readAllStandardError().constData());
        QProcess text;
        text.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        const QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'));

        // A company's part starts with its heading and lasts until the next one.
        const QRegularExpression start(
            QStringLiteral("Azienda_(\\d) \u2014 Azienda \\d S\\.r\\.l\\.: eseguita"));
        const QRegularExpression header(
            years::fill(QStringLiteral("Codice +Cliente +Partite {old}|Area +Controllo +Atteso")));
        QMap<int, int> pagesOf;
        int slot = 0;
        for (qsizetype i = 0; i < pages.size(); ++i) {
            const QRegularExpressionMatch begins = start.match(pages[i]);
            if (begins.hasMatch())
                slot = begins.captured(1).toInt();
            if (slot == 0 || pages[i].trimmed().isEmpty())
                continue;
            ++pagesOf[slot];
            const QString name = QStringLiteral("Azienda_%1 \u2014 Azienda %1 S.r.l.").arg(slot);
            QVERIFY2(pages[i].contains(name) && pages[i].contains(header),
                     qPrintable(QStringLiteral("page %1 of %2:\n%3").arg(i + 1).arg(name, pages[i])));
        }
        QVERIFY2(pagesOf.value(1) >= 3 && pagesOf.value(2) >= 3,
                 qPrintable(QStringLiteral("%1 and %2 pages").arg(pagesOf.value(1)).arg(pagesOf.value(2))));
    }
};

QTEST_GUILESS_MAIN(TestVerificationReport)
#include "test_verification_report.moc"
