#include "ActionClock.h"
#include "ProgressDlg.h"
#include "TestRegistry.h"

#include <QtTest>
#include <QtWidgets>

struct ManualClock : ActionClock
{
    QTime currentTime() const override { return now.time(); }
    QDateTime currentDateTime() const override { return now; }
    QDateTime now;
};

static QByteArray logBytes() { QFile f("log.txt"); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }

static int bar(ProgressDlg &dlg) { return dlg.findChild<QProgressBar *>("progressBar")->value(); }
static QTime shown(ProgressDlg &dlg) { return dlg.findChild<QTimeEdit *>("timeEdit")->time(); }
static QString completed(ProgressDlg &dlg) { return dlg.findChild<QLabel *>("labelCompleted")->text(); }

class TestProgressDlg : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir("log.txt").removeRecursively(); QFile::remove("log.txt"); QFile::remove("not-a-dir"); }
    void cleanup() { init(); }

    void runCompletesAndLogsOnce_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QByteArray>("line");
        const QDate day(2026, 12, 6);
        QTest::newRow("1 h 2 min 3.5 s") << QDateTime(day, QTime(10, 0, 0, 750)) << QDateTime(day, QTime(11, 2, 4, 250))
                                         << QByteArray("06.12.2026 11:02:04\tPřevod výšek\t02:03.500\n");
        QTest::newRow("across midnight") << QDateTime(day, QTime(23, 59)) << QDateTime(day.addDays(1), QTime(0, 1))
                                         << QByteArray("07.12.2026 00:01:00\tPřevod výšek\t02:00.000\n");
    }

    // Never shown: a completion while hidden still logs, appended in UTF-8;
    // a stopped action is not logged.
    void runCompletesAndLogsOnce()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(QByteArray, line);
        line.prepend("earlier\n");
        QFile old("log.txt");
        QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && old.write("earlier\n") == 8);
        ManualClock clock;
        ProgressDlg dlg("Window RZ");
        dlg.setClock(&clock);
        dlg.setActionText("Převod výšek");
        for (int value : {40, 100})
            dlg.progressBar(value);
        QCOMPARE(bar(dlg), 0);
        dlg.stopAction("Přerušeno"); // nothing timed: nothing happens
        QCOMPARE(completed(dlg), QString("Dokončeno!"));
        clock.now = start;
        dlg.startAction();
        QCOMPARE(shown(dlg), QTime(0, 0));
        // The running clock: whole seconds of the start are taken off.
        for (int value : {0, 25, 50, 75}) {
            clock.now = start.addMSecs(value * 1000 + 100);
            QVERIFY(QMetaObject::invokeMethod(&dlg, "sSetTimeEdit"));
            QCOMPARE(shown(dlg), QTime(0, 0).addMSecs(value * 1000 + 100 + start.time().msec()));
            dlg.progressBar(value);
            QCOMPARE(bar(dlg), value);
        }
        dlg.progressBar(150);
        QCOMPARE(bar(dlg), 75);
        QVERIFY(dlg.isTiming());
        clock.now = end;
        dlg.progressBar(100);
        QVERIFY(!dlg.isTiming());
        QCOMPARE(completed(dlg), QString("Dokonceno!"));
        QCOMPARE(logBytes(), line);
        const QTime atEnd = QTime(0, 0).addSecs(-(start.time().msecsSinceStartOfDay() / 1000)).addMSecs(end.time().msecsSinceStartOfDay());
        QCOMPARE(shown(dlg), atEnd);
        for (int value : {40, 100})
            dlg.progressBar(value);
        QCOMPARE(bar(dlg), 100);
        QCOMPARE(logBytes(), line);

        // A stopped action: the clock stops at the time reached, the bar
        // stays, the text says so, and nothing is logged, then or by a late 100.
        const QDateTime nine(end.date(), QTime(9, 0));
        clock.now = nine;
        dlg.startAction();
        dlg.progressBar(37);
        clock.now = nine.addSecs(75);
        dlg.stopAction("Přerušeno");
        QVERIFY(!dlg.isTiming());
        QCOMPARE(completed(dlg), QString("Přerušeno"));
        QCOMPARE(bar(dlg), 37);
        QCOMPARE(shown(dlg), QTime(0, 1, 15));
        clock.now = nine.addSecs(200);
        dlg.progressBar(100);
        QCOMPARE(bar(dlg), 37);
        QCOMPARE(completed(dlg), QString("Přerušeno"));
        QCOMPARE(shown(dlg), QTime(0, 1, 15));
        QCOMPARE(logBytes(), line);

        dlg.startAction();
        QCOMPARE(completed(dlg), QString());
        QCOMPARE(bar(dlg), 0);
        // An unwritable log loses the line, nothing else.
        QVERIFY(QFile::remove("log.txt") && QDir().mkdir("log.txt"));
        dlg.progressBar(100);
        QVERIFY(!dlg.isTiming());
        QCOMPARE(completed(dlg), QString("Dokonceno!"));
        QVERIFY(QDir("log.txt").isEmpty());

        // A log that leads below a regular file fails for root too.
        QVERIFY(QDir("log.txt").removeRecursively() && QFile::link("not-a-dir/log.txt", "log.txt"));
        QVERIFY(QFile("not-a-dir").open(QIODevice::WriteOnly));
        dlg.startAction();
        dlg.progressBar(100);
        QCOMPARE(completed(dlg), QString("Dokonceno!"));
        QCOMPARE(QFileInfo("not-a-dir").size(), 0);
    }
};

RZ_REGISTER_TEST(TestProgressDlg);

#include "tst_progressdlg.moc"
