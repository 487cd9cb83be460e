// The event list's model and view: lines kept exactly, announced in batches,
// the view following the newest line.
#include "gui/event_list_model.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

using rio::gui::EventListModel;

class TestEventList : public QObject
{
    Q_OBJECT

private slots:
    void linesAreKeptExactlyInOrder()
    {
        EventListModel model;
        const QStringList lines{QStringLiteral("ripristino magazzino azienda n. 3 in corso..."), QString(),
                                QStringLiteral("articolo \"caffè\" 100% <b>"),
                                QStringLiteral("riapertura archivi conclusa con successo!")};
        for (const QString& line : lines)
            model.append(line);
        model.flush();

        QCOMPARE(model.rowCount(), lines.size());
        QCOMPARE(model.lineCount(), lines.size());
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(model.data(model.index(i)).toString(), lines[i]);
            QCOMPARE(model.line(i), lines[i]);
        }
        // Outside the rows: nothing, no crash.
        QVERIFY(!model.data(model.index(lines.size())).isValid());
        QVERIFY(!model.data(model.index(0), Qt::EditRole).isValid());
        QCOMPARE(model.line(-1), QString());
        QCOMPARE(model.line(99), QString());
    }

    void rowsAreAnnouncedOncePerBatch()
    {
        EventListModel model;
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 1000; ++i)
            model.append(QString::number(i));
        // Not yet announced: a view sees a consistent count until the batch.
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.lineCount(), 1000);
        QCoreApplication::processEvents();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 999);
        QCOMPARE(model.rowCount(), 1000);

        model.append(QStringLiteral("a"));
        model.append(QStringLiteral("b"));
        model.flush();
        model.flush(); // nothing new: no empty announcement
        QCoreApplication::processEvents();
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted[1][1].toInt(), 1000);
        QCOMPARE(inserted[1][2].toInt(), 1001);
        QCOMPARE(model.data(model.index(1001)).toString(), QStringLiteral("b"));
    }

    void viewFollowsTheNewestLine()
    {
        EventListModel model;
        QListView view;
        view.setUniformItemSizes(true);
        view.setModel(&model);
        connect(&model, &QAbstractItemModel::rowsInserted, &view, &QAbstractItemView::scrollToBottom);
        view.resize(300, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        for (int i = 0; i < 5000; ++i)
            model.append(QStringLiteral("riga %1").arg(i));
        QCoreApplication::processEvents();
        QScrollBar* bar = view.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view.viewport()->rect().contains(view.visualRect(model.index(4999))));
    }

    // Only a line the list's width cuts has a tooltip, with the whole line.
    void aCutLineShowsWholeInATooltip()
    {
        EventListModel model;
        QListView view;
        view.setModel(&model);
        view.setItemDelegate(new rio::gui::EventLineDelegate(&view));
        view.resize(200, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QString longLine = QStringLiteral("Rapporto di verifica: ") + QString(120, QLatin1Char('x'));
        model.append(QStringLiteral("corta"));
        model.append(longLine);
        model.flush();
        const auto tipAt = [&view](int row) {
            const QPoint at = view.visualRect(view.model()->index(row, 0)).center();
            QHelpEvent help(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
            QApplication::sendEvent(view.viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(0), QString());
        QCOMPARE(tipAt(1), longLine);
    }

    void aMillionLinesStayCheap()
    {
        EventListModel model;
        QListView view;
        view.setUniformItemSizes(true);
        view.setModel(&model);
        connect(&model, &QAbstractItemModel::rowsInserted, &view, &QAbstractItemView::scrollToBottom);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 1000000; ++i) {
            model.append(QStringLiteral("ripristino articolo %1 in corso...").arg(i));
            if (i % 5000 == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        const qint64 ms = clock.elapsed();
        qInfo("1.000.000 righe in %lld ms", ms);
        QCOMPARE(model.rowCount(), 1000000);
        QCOMPARE(model.line(999999), QStringLiteral("ripristino articolo 999999 in corso..."));
        // Generous bound: a per-line layout of the view would take minutes.
        QVERIFY2(ms < 60000, qPrintable(QString::number(ms)));
    }
};

QTEST_MAIN(TestEventList)
#include "test_event_list.moc"
