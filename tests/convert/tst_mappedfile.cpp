#include "MappedFile.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class MappedFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray bytes;

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 100000; ++i)
            bytes += char(i * 7 + i / 251);
        QFile data(dir.filePath("data.bin")), empty(dir.filePath("empty.bin"));
        QVERIFY(data.open(QIODevice::WriteOnly) && data.write(bytes) == bytes.size() && empty.open(QIODevice::WriteOnly));
        QVERIFY(QDir(dir.path()).mkpath("sub"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    }

    void opens_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<int>("failure"); // FileFailure::Kind; None: opened
        QTest::newRow("regular file") << "data.bin" << qint64(1 << 20) << int(FileFailure::None);
        QTest::newRow("exactly the limit") << "data.bin" << qint64(100000) << int(FileFailure::None);
        QTest::newRow("over the limit") << "data.bin" << qint64(99999) << int(FileFailure::TooLarge);
        QTest::newRow("empty file") << "empty.bin" << qint64(100) << int(FileFailure::None);
        QTest::newRow("missing") << "missing.bin" << qint64(100) << int(FileFailure::System);
        QTest::newRow("directory") << "sub" << qint64(100) << int(FileFailure::NotRegularFile);
        QTest::newRow("fifo") << "fifo" << qint64(100) << int(FileFailure::NotRegularFile);
    }

    // Holds exactly the file's bytes, or nothing and the reason.
    void opens()
    {
        QFETCH(QString, name);
        QFETCH(qint64, maxBytes);
        QFETCH(int, failure);
        MappedFile file;
        FileFailure why;
        QCOMPARE(file.open(dir.filePath(name), maxBytes, &why), failure == FileFailure::None);
        QCOMPARE(int(why.kind), failure);
        const QByteArray expected = name == "data.bin" && failure == FileFailure::None ? bytes : QByteArray();
        QVERIFY(QByteArray::fromRawData(file.data(), file.size()) == expected);
        QCOMPARE(file.isMapped(), !expected.isEmpty());
        file.close();
        QCOMPARE(file.size(), qint64(0));
        QVERIFY(file.data() == nullptr);
    }
};

RZ_REGISTER_TEST(MappedFileTest);
#include "tst_mappedfile.moc"
