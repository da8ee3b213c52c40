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

// A clock the test moves by hand.
class ManualClock : public ActionClock
{
public:
    QTime currentTime() const override { return now.time(); }
    QDateTime currentDateTime() const override { return now; }
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(14, 0));
};

const QString logName = QStringLiteral("log.txt");

QStringList logLines()
{
    QFile file(logName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void removeLog()
{
    QFileInfo info(logName);
    if (info.isDir())
        QDir(logName).removeRecursively();
    else
        QFile::remove(logName);
}

} // namespace

class TestProgressDlg : public QObject
{
    Q_OBJECT

private slots:
    void init() { removeLog(); }
    void cleanup() { removeLog(); }

    void formBeforeFirstAction();
    void fullRunCompletesAndLogsOnce();
    void progressWhileIdleIsIgnored_data();
    void progressWhileIdleIsIgnored();
    void outOfRangeProgressKeepsTiming_data();
    void outOfRangeProgressKeepsTiming();
    void completionWhileHiddenStillLogs();
    void restartClearsCompletionAndBar();
    void elapsedTimeIsLogged_data();
    void elapsedTimeIsLogged();
    void timeEditShowsElapsedSeconds();
    void unwritableLogLosesOnlyTheLine();

private:
    static QLabel *completedLabel(ProgressDlg &dlg) { return dlg.findChild<QLabel *>("labelCompleted"); }
    static QProgressBar *bar(ProgressDlg &dlg) { return dlg.findChild<QProgressBar *>("progressBar"); }
};

void TestProgressDlg::formBeforeFirstAction()
{
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Průběh akce"));
    QCOMPARE(dlg.size(), QSize(336, 131));
    QCOMPARE(dlg.findChild<QLineEdit *>("lineEdit")->text(), QStringLiteral("Window RZ"));
    QVERIFY(dlg.findChild<QLineEdit *>("lineEdit")->isReadOnly());
    QCOMPARE(dlg.findChild<QLabel *>("label")->text(), QStringLiteral("Čas:"));
    QCOMPARE(completedLabel(dlg)->text(), QStringLiteral("Dokončeno!"));
    QCOMPARE(bar(dlg)->value(), 0);
    QCOMPARE(bar(dlg)->maximum(), 100);
    QVERIFY(!dlg.isTiming());
    auto *timeEdit = dlg.findChild<QTimeEdit *>("timeEdit");
    QVERIFY(!timeEdit->isEnabled());
    QCOMPARE(timeEdit->time(), QTime(0, 0));

    // The OK button only hides the dialog.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *box = dlg.findChild<QDialogButtonBox *>("buttonBox");
    QCOMPARE(box->buttons().size(), 1);
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
}

void TestProgressDlg::fullRunCompletesAndLogsOnce()
{
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    dlg.setActionText(QStringLiteral("Konverze HGT souboru"));
    QCOMPARE(dlg.findChild<QLineEdit *>("lineEdit")->text(), QStringLiteral("Konverze HGT souboru"));
    dlg.show();
    dlg.startAction();
    QVERIFY(dlg.isTiming());
    QCOMPARE(completedLabel(dlg)->text(), QString());

    for (int value : {0, 25, 50, 75}) {
        dlg.progressBar(value);
        QCOMPARE(bar(dlg)->value(), value);
        QVERIFY(dlg.isTiming());
    }
    QVERIFY(logLines().isEmpty());

    dlg.progressBar(100);
    QCOMPARE(bar(dlg)->value(), 100);
    QVERIFY(!dlg.isTiming());
    QCOMPARE(completedLabel(dlg)->text(), QStringLiteral("Dokonceno!"));

    QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    const QStringList fields = lines.first().split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), 3);
    QVERIFY2(QRegularExpression(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d$)").match(fields[0]).hasMatch(),
             qPrintable(fields[0]));
    QVERIFY(QDateTime::fromString(fields[0], "dd.MM.yyyy hh:mm:ss").secsTo(QDateTime::currentDateTime()) < 60);
    QCOMPARE(fields[1], QStringLiteral("Konverze HGT souboru"));
    QVERIFY2(QRegularExpression(R"(^\d\d:\d\d\.\d{3}$)").match(fields[2]).hasMatch(), qPrintable(fields[2]));

    // A repeated 100 is no second completion.
    dlg.progressBar(100);
    QCOMPARE(logLines().size(), 1);
}

void TestProgressDlg::progressWhileIdleIsIgnored_data()
{
    QTest::addColumn<bool>("completeFirst");
    QTest::addColumn<int>("value");
    QTest::newRow("before first start, 40") << false << 40;
    QTest::newRow("before first start, 100") << false << 100;
    QTest::newRow("after completion, 40") << true << 40;
    QTest::newRow("after completion, 0") << true << 0;
    QTest::newRow("after completion, 100") << true << 100;
}

void TestProgressDlg::progressWhileIdleIsIgnored()
{
    QFETCH(bool, completeFirst);
    QFETCH(int, value);

    ProgressDlg dlg(QStringLiteral("Qt widget"));
    if (completeFirst) {
        dlg.startAction();
        dlg.progressBar(100);
    }
    const int barBefore = bar(dlg)->value();
    const QString labelBefore = completedLabel(dlg)->text();
    const int linesBefore = logLines().size();

    dlg.progressBar(value);

    QCOMPARE(bar(dlg)->value(), barBefore);
    QCOMPARE(completedLabel(dlg)->text(), labelBefore);
    QCOMPARE(logLines().size(), linesBefore);
    QVERIFY(!dlg.isTiming());
}

void TestProgressDlg::outOfRangeProgressKeepsTiming_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("150") << 150;
    QTest::newRow("101") << 101;
    QTest::newRow("-5") << -5;
}

void TestProgressDlg::outOfRangeProgressKeepsTiming()
{
    QFETCH(int, value);
    ProgressDlg dlg(QStringLiteral("OpenGL widget"));
    dlg.startAction();
    dlg.progressBar(30);

    dlg.progressBar(value);

    QCOMPARE(bar(dlg)->value(), 30);
    QVERIFY(dlg.isTiming());
    QCOMPARE(completedLabel(dlg)->text(), QString());
    QVERIFY(logLines().isEmpty());

    dlg.progressBar(100);
    QCOMPARE(logLines().size(), 1);
}

void TestProgressDlg::completionWhileHiddenStillLogs()
{
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    dlg.setActionText(QStringLiteral("Repaint Qt widget"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.startAction();
    dlg.progressBar(50);

    // Escape hides the non-modal dialog without ending the action.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    QVERIFY(dlg.isTiming());

    dlg.progressBar(100);
    QVERIFY(!dlg.isTiming());
    QCOMPARE(completedLabel(dlg)->text(), QStringLiteral("Dokonceno!"));
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().section(QLatin1Char('\t'), 1, 1), QStringLiteral("Repaint Qt widget"));
}

void TestProgressDlg::restartClearsCompletionAndBar()
{
    ManualClock clock;
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    dlg.setClock(&clock);
    auto *timeEdit = dlg.findChild<QTimeEdit *>("timeEdit");

    clock.now.setTime(QTime(9, 0));
    dlg.startAction();
    dlg.progressBar(60);
    // Let one tick show an elapsed time, then complete.
    clock.now.setTime(QTime(9, 0, 42));
    QTRY_COMPARE_WITH_TIMEOUT(timeEdit->time(), QTime(0, 0, 42), 3000);
    dlg.progressBar(100);
    QCOMPARE(completedLabel(dlg)->text(), QStringLiteral("Dokonceno!"));

    dlg.setActionText(QStringLiteral("Second action"));
    clock.now.setTime(QTime(9, 5));
    dlg.startAction();
    QVERIFY(dlg.isTiming());
    QCOMPARE(completedLabel(dlg)->text(), QString());
    QCOMPARE(bar(dlg)->value(), 0);
    // The previous elapsed time stays until the first tick.
    QCOMPARE(timeEdit->time(), QTime(0, 0, 42));

    clock.now.setTime(QTime(9, 5, 7));
    dlg.progressBar(100);
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[1], QStringLiteral("06.12.2026 09:05:07\tSecond action\t00:07.000"));
}

void TestProgressDlg::elapsedTimeIsLogged_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QString>("expectedLine");

    QTest::newRow("1 h 2 min 3.5 s")
            << QDateTime(QDate(2026, 12, 6), QTime(10, 0))
            << QDateTime(QDate(2026, 12, 6), QTime(11, 2, 3, 500))
            << "06.12.2026 11:02:03\tKonverze HGT souboru\t02:03.500";
    QTest::newRow("across midnight")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59))
            << QDateTime(QDate(2027, 1, 1), QTime(0, 1))
            << "01.01.2027 00:01:00\tKonverze HGT souboru\t02:00.000";
    QTest::newRow("1.25 s")
            << QDateTime(QDate(2026, 12, 6), QTime(14, 5, 7, 750))
            << QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9))
            << "06.12.2026 14:05:09\tKonverze HGT souboru\t00:01.250";
    QTest::newRow("just under an hour")
            << QDateTime(QDate(2026, 12, 6), QTime(8, 0))
            << QDateTime(QDate(2026, 12, 6), QTime(8, 59, 59, 999))
            << "06.12.2026 08:59:59\tKonverze HGT souboru\t59:59.999";
    QTest::newRow("milliseconds across midnight")
            << QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 999))
            << QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 1))
            << "07.12.2026 00:00:00\tKonverze HGT souboru\t00:00.002";
}

void TestProgressDlg::elapsedTimeIsLogged()
{
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QString, expectedLine);

    ManualClock clock;
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    dlg.setClock(&clock);
    dlg.setActionText(QStringLiteral("Konverze HGT souboru"));
    clock.now = start;
    dlg.startAction();
    clock.now = end;
    dlg.progressBar(100);

    QCOMPARE(logLines(), QStringList{expectedLine});
}

void TestProgressDlg::timeEditShowsElapsedSeconds()
{
    ManualClock clock;
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    dlg.setClock(&clock);
    auto *timeEdit = dlg.findChild<QTimeEdit *>("timeEdit");

    clock.now.setTime(QTime(23, 58, 30, 700));
    dlg.startAction();
    // Across midnight the elapsed time wraps into the day.
    clock.now = QDateTime(QDate(2026, 12, 7), QTime(0, 1, 45, 200));
    QTRY_COMPARE_WITH_TIMEOUT(timeEdit->time().second(), 15, 3000);
    QCOMPARE(timeEdit->time().hour(), 0);
    QCOMPARE(timeEdit->time().minute(), 3);
    QVERIFY(dlg.isTiming());
}

void TestProgressDlg::unwritableLogLosesOnlyTheLine()
{
    QVERIFY(QDir().mkdir(logName));
    ProgressDlg dlg(QStringLiteral("Window RZ"));
    dlg.show();
    dlg.startAction();
    dlg.progressBar(100);

    QVERIFY(!dlg.isTiming());
    QCOMPARE(bar(dlg)->value(), 100);
    QCOMPARE(completedLabel(dlg)->text(), QStringLiteral("Dokonceno!"));
    QVERIFY(QFileInfo(logName).isDir());
    QVERIFY(QDir(logName).isEmpty());
    QVERIFY(dlg.isVisible());

    // The dialog keeps working for the next action once the log is writable.
    removeLog();
    dlg.startAction();
    dlg.progressBar(100);
    QCOMPARE(logLines().size(), 1);
}

RZ_REGISTER_TEST(TestProgressDlg);

#include "tst_progressdlg.moc"
