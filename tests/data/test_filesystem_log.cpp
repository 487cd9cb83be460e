#include "data/error.h"
#include "data/filesystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace fs = rio::fs;

class TestFilesystemLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_drive;
    const QString m_log = QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\tmp\\log_Riapertura_2024.txt");

    QByteArray logBytes() const
    {
        QFile f(m_drive + QStringLiteral("/Programmi/Ventor Sistemi/Dati/Tmp/log_Riapertura_2024.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void initTestCase()
    {
        m_drive = m_dir.path() + QStringLiteral("/drive_c");
        QVERIFY(QDir().mkpath(m_drive + QStringLiteral("/Programmi/Ventor Sistemi/Dati/Tmp")));
        qputenv("RIAPERTURA_DRIVE_C", m_drive.toUtf8());
    }

    void windows1252_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << "ripristino magazzino azienda n. 3 in corso..."
                               << QByteArray("ripristino magazzino azienda n. 3 in corso...");
        QTest::newRow("latin-1 accents")
            << QStringLiteral("perché è già Società") << QByteArray("perch\xe9 \xe8 gi\xe0 Societ\xe0");
        QTest::newRow("euro and quotes") << QStringLiteral("€ 10 “così” – fine…")
                                         << QByteArray("\x80 10 \x93"
                                                       "cos\xec\x94 \x96 fine\x85");
        QTest::newRow("0x80-0x9f letters")
            << QStringLiteral("ŠšŽžŒœŸƒ™") << QByteArray("\x8a\x9a\x8e\x9e\x8c\x9c\x9f\x83\x99");
        QTest::newRow("unmappable") << QStringLiteral("Łódź ↑ 中")
                                    << QByteArray("?\xf3"
                                                  "d? ? ?");
        QTest::newRow("surrogate pair is one char") << QStringLiteral("a😀b") << QByteArray("a?b");
        QTest::newRow("c1 controls") << QString(QChar(0x81)) + QChar(0x85) << QByteArray("\x81?");
        QTest::newRow("empty") << QString() << QByteArray();
    }

    void windows1252()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(fs::toWindows1252(text), bytes);
    }

    void linesAreQuotedAndEndInCrLf()
    {
        {
            fs::LogFile log(m_log);
            QVERIFY(log.isOpen());
            log.writeLine(QStringLiteral("backup di sicurezza degli archivi in corso..."));
            // Written as it is, before the file is closed.
            QCOMPARE(logBytes(), QByteArray("\"backup di sicurezza degli archivi in corso...\"\r\n"));
            log.writeLine(QString());
            log.writeLine(QStringLiteral("articolo \"ab'1\" è più"));
        }
        QCOMPARE(logBytes(), QByteArray("\"backup di sicurezza degli archivi in corso...\"\r\n"
                                        "\"\"\r\n"
                                        "\"articolo \"ab'1\" \xe8 pi\xf9\"\r\n"));
    }

    // Lines of a fast flow wait in memory, never past a line written at
    // once, 64 KiB, or the closing.
    void waitingLinesKeepTheirOrder()
    {
        const QByteArray before = logBytes();
        const auto added = [&] {
            return logBytes().mid(before.size());
        };
        {
            fs::LogFile log(m_log);
            log.writeLine(QStringLiteral("a"), fs::LogFile::Timing::MayWait);
            QCOMPARE(added(), QByteArray());
            log.writeLine(QStringLiteral("b"));
            QCOMPARE(added(), QByteArray("\"a\"\r\n\"b\"\r\n"));
            for (int i = 0; i < 10000; ++i)
                log.writeLine(QStringLiteral("riga"), fs::LogFile::Timing::MayWait);
            QVERIFY(added().size() > 64 * 1024);
            log.writeLine(QStringLiteral("c"), fs::LogFile::Timing::MayWait);
        }
        QCOMPARE(added().size(), 5 + 5 + 10000 * 8 + 5);
        QVERIFY(added().endsWith("\"riga\"\r\n\"c\"\r\n"));
    }

    void appendsToAnExistingLog()
    {
        const QByteArray before = logBytes();
        {
            fs::LogFile log(
                QStringLiteral("C:\\PROGRAMMI\\ventor sistemi\\DATI\\TMP\\LOG_RIAPERTURA_2024.TXT"));
            log.writeLine(QStringLiteral("seconda esecuzione"));
        }
        QCOMPARE(logBytes(), before + "\"seconda esecuzione\"\r\n");
        QCOMPARE(QDir(m_drive + QStringLiteral("/Programmi/Ventor Sistemi/Dati/Tmp"))
                     .entryList(QDir::Files)
                     .size(),
                 1);
    }

    void openingTwiceIsFileAlreadyOpen()
    {
        fs::LogFile first(m_log);
        try {
            fs::LogFile second(
                QStringLiteral("c:\\programmi\\ventor sistemi\\dati\\TMP\\log_riapertura_2024.txt"));
            QFAIL("opened twice");
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), rio::err::FileAlreadyOpen);
        }
        first.close();
        QVERIFY(!first.isOpen());
        fs::LogFile again(m_log); // free once closed
        QVERIFY(again.isOpen());
    }

    void failures()
    {
        try {
            fs::LogFile log(QStringLiteral("c:\\Programmi\\Zeta\\dati\\tmp\\log_Riapertura_2024.txt"));
            QFAIL("opened in a missing folder");
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), rio::err::PathNotFound);
        }
        try {
            fs::LogFile log(QStringLiteral("c:\\Programmi\\Ventor Sistemi\\dati\\tmp"));
            QFAIL("opened a folder");
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), rio::err::PathFileAccess);
        }
        fs::LogFile log(m_log);
        log.close();
        try {
            log.writeLine(QStringLiteral("dopo la chiusura"));
            QFAIL("wrote to a closed log");
        } catch (const rio::Error& e) {
            QCOMPARE(e.number(), rio::err::BadFileNameOrNumber);
        }
    }
};

QTEST_GUILESS_MAIN(TestFilesystemLog)
#include "test_filesystem_log.moc"
