#include "MappedFile.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class MappedFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
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
#ifdef Q_OS_UNIX
        QTest::newRow("fifo") << "fifo" << qint64(100) << int(FileFailure::NotRegularFile);
#endif
    }

    // Holds exactly the file's bytes, or nothing and the reason.
    void opens()
    {
        QFETCH(QString, name);
        QFETCH(qint64, maxBytes);
        QFETCH(int, failure);
        QVERIFY(dir.isValid());
        QByteArray bytes(100000, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + i / 251);
        QFile data(dir.filePath("data.bin"));
        QVERIFY(data.open(QIODevice::WriteOnly) && data.write(bytes) == bytes.size());
        data.close();
        QFile empty(dir.filePath("empty.bin"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QDir(dir.path()).mkpath("sub");
#ifdef Q_OS_UNIX
        if (!QFile::exists(dir.filePath("fifo")))
            QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
#endif
        MappedFile file;
        FileFailure why;
        const bool opened = file.open(dir.filePath(name), maxBytes, &why);
        QCOMPARE(int(why.kind), failure);
        QCOMPARE(opened, failure == FileFailure::None);
        const QByteArray expected = name == QLatin1String("data.bin") && opened ? bytes : QByteArray();
        QCOMPARE(file.size(), qint64(expected.size()));
        QVERIFY(QByteArray::fromRawData(file.data(), file.size()) == expected);
        QCOMPARE(file.isMapped(), !expected.isEmpty());
        file.close();
        QCOMPARE(file.size(), qint64(0));
        QVERIFY(file.data() == nullptr);
    }
};

RZ_REGISTER_TEST(MappedFileTest);
#include "tst_mappedfile.moc"
