#include "ActionLog.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestActionLog : public QObject
{
    Q_OBJECT

private slots:
    void appendAddsUtf8LinesAfterExistingContent();
    void appendToUnopenableFileFails();
};

void TestActionLog::appendAddsUtf8LinesAfterExistingContent()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier line\n");
    }

    ActionLog log(path);
    QVERIFY(log.append(QStringLiteral("01.01.2027 00:00:01\tKonverze HGT souboru\t00:03.000")));
    QVERIFY(log.append(QStringLiteral("01.01.2027 00:00:02\tPřekreslení žluťoučkého koně\t00:00.100")));

    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    QCOMPARE(bytes,
             QByteArray("earlier line\n")
                     + "01.01.2027 00:00:01\tKonverze HGT souboru\t00:03.000\n"
                     + QStringLiteral("01.01.2027 00:00:02\tPřekreslení žluťoučkého koně\t00:00.100\n").toUtf8());
}

void TestActionLog::appendToUnopenableFileFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("log.txt")));
    ActionLog log(dir.filePath(QStringLiteral("log.txt")));
    QVERIFY(!log.append(QStringLiteral("lost")));
    QVERIFY(QFileInfo(log.path()).isDir());
}

RZ_REGISTER_TEST(TestActionLog);

#include "tst_actionlog.moc"
