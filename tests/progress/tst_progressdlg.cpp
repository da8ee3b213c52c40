#include "ActionClock.h"
#include "ProgressDlg.h"
#include "TestRegistry.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimeEdit>

namespace {

class ManualClock : public ActionClock
{
public:
    QTime currentTime() const override { return now.time(); }
    QDateTime currentDateTime() const override { return now; }
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(14, 0));
};

QByteArray logBytes()
{
    QFile file("log.txt");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList logLines() { return QString::fromUtf8(logBytes()).split('\n', Qt::SkipEmptyParts); }

QProgressBar *bar(ProgressDlg &dlg) { return dlg.findChild<QProgressBar *>("progressBar"); }
QString completedText(ProgressDlg &dlg) { return dlg.findChild<QLabel *>("labelCompleted")->text(); }

} // namespace

class TestProgressDlg : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove("log.txt"); }
    void cleanup() { QDir("log.txt").removeRecursively(); QFile::remove("log.txt"); }

    // Hidden by OK halfway, completes and logs; a restart clears the display.
    void fullRunLogsOnce()
    {
        ProgressDlg dlg("Window RZ");
        QCOMPARE(dlg.windowTitle(), QString("Průběh akce"));
        QCOMPARE(dlg.size(), QSize(336, 131));
        QCOMPARE(dlg.findChild<QLineEdit *>("lineEdit")->text(), QString("Window RZ"));
        QCOMPARE(dlg.findChild<QLabel *>("label")->text(), QString("Čas:"));
        QCOMPARE(completedText(dlg), QString("Dokončeno!"));
        dlg.setActionText("Konverze HGT souboru");
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.startAction();
        for (int value : {0, 25, 50, 75}) {
            dlg.progressBar(value);
            QCOMPARE(bar(dlg)->value(), value);
        }
        QTest::mouseClick(dlg.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QVERIFY(dlg.isTiming());
        QVERIFY(logLines().isEmpty());

        dlg.progressBar(100);
        QCOMPARE(bar(dlg)->value(), 100);
        QVERIFY(!dlg.isTiming());
        QCOMPARE(completedText(dlg), QString("Dokonceno!"));
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 1);
        const QRegularExpression format(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\tKonverze HGT souboru\t\d\d:\d\d\.\d{3}$)");
        QVERIFY2(format.match(lines.first()).hasMatch(), qPrintable(lines.first()));

        dlg.startAction();
        QVERIFY(dlg.isTiming());
        QCOMPARE(completedText(dlg), QString());
        QCOMPARE(bar(dlg)->value(), 0);
        dlg.progressBar(100);
        QCOMPARE(logLines().size(), 2);
    }

    // Values the dialog must not act on: while idle, and out of range while timing.
    void ignoredValues_data()
    {
        QTest::addColumn<int>("state"); // 0 never started, 1 completed, 2 timing at 30
        QTest::addColumn<int>("value");
        QTest::newRow("before start, 40") << 0 << 40;
        QTest::newRow("before start, 100") << 0 << 100;
        QTest::newRow("after completion, 40") << 1 << 40;
        QTest::newRow("after completion, 100") << 1 << 100;
        QTest::newRow("timing, 150") << 2 << 150;
    }

    void ignoredValues()
    {
        QFETCH(int, state);
        QFETCH(int, value);
        ProgressDlg dlg("Qt widget");
        if (state > 0) {
            dlg.startAction();
            dlg.progressBar(state == 1 ? 100 : 30);
        }
        const int barBefore = bar(dlg)->value();
        const QString textBefore = completedText(dlg);
        const QByteArray logBefore = logBytes();

        dlg.progressBar(value);

        QCOMPARE(bar(dlg)->value(), barBefore);
        QCOMPARE(completedText(dlg), textBefore);
        QCOMPARE(logBytes(), logBefore);
        QCOMPARE(dlg.isTiming(), state == 2);
    }

    // Exact lines from a fixed clock, appended to an existing log in UTF-8.
    void elapsedTimeShownAndLogged_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("shown"); // in the time edit after a tick
        const QDate day(2026, 12, 6);
        QTest::newRow("1 h 2 min 3.5 s") << QDateTime(day, QTime(10, 0)) << QDateTime(day, QTime(11, 2, 3, 500))
            << "06.12.2026 11:02:03\tPřevod výšek\t02:03.500" << "01:02:03";
        QTest::newRow("across midnight") << QDateTime(day, QTime(23, 59)) << QDateTime(day.addDays(1), QTime(0, 1))
            << "07.12.2026 00:01:00\tPřevod výšek\t02:00.000" << "00:02:00";
        QTest::newRow("ms borrow") << QDateTime(day, QTime(14, 5, 7, 750)) << QDateTime(day, QTime(14, 5, 9))
            << "06.12.2026 14:05:09\tPřevod výšek\t00:01.250" << QString();
    }

    void elapsedTimeShownAndLogged()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(QString, expected);
        QFETCH(QString, shown);
        QFile old("log.txt");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier line\n") > 0);
        old.close();
        ManualClock clock;
        ProgressDlg dlg("Window RZ");
        dlg.setClock(&clock);
        dlg.setActionText("Převod výšek");
        clock.now = start;
        dlg.startAction();
        clock.now = end;
        if (!shown.isNull())
            QTRY_COMPARE_WITH_TIMEOUT(dlg.findChild<QTimeEdit *>("timeEdit")->time().toString("hh:mm:ss"), shown, 3000);
        dlg.progressBar(100);
        QCOMPARE(logBytes(), "earlier line\n" + expected.toUtf8() + '\n');
    }

    void unwritableLogLosesOnlyTheLine()
    {
        QVERIFY(QDir().mkdir("log.txt"));
        ProgressDlg dlg("Window RZ");
        dlg.show();
        dlg.startAction();
        dlg.progressBar(100);
        QVERIFY(!dlg.isTiming());
        QCOMPARE(bar(dlg)->value(), 100);
        QCOMPARE(completedText(dlg), QString("Dokonceno!"));
        QVERIFY(dlg.isVisible());
        QVERIFY(QDir("log.txt").isEmpty());
    }
};

RZ_REGISTER_TEST(TestProgressDlg);

#include "tst_progressdlg.moc"
