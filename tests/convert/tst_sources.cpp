#include "ConvertHgt.h"
#include "ReferenceMesh.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <zip.h>

#include <sys/stat.h>

using Outcome = ConvertHgt::Outcome;

namespace {

// A 3601 x 3601 tile of random heights and the 1201 x 1201 tile of every
// third sample in both directions.
struct FineTile
{
    QByteArray fine;
    QByteArray coarse;

    explicit FineTile(quint32 seed)
        : fine(HgtTile::FineFileSize, Qt::Uninitialized), coarse(HgtTile::FileSize, Qt::Uninitialized)
    {
        QRandomGenerator random(seed);
        for (int row = 0; row < HgtTile::FineSide; ++row)
            for (int col = 0; col < HgtTile::FineSide; ++col) {
                const qint16 h = qint16(random.bounded(-100, 2200));
                qToBigEndian(h, fine.data() + 2 * (qsizetype(row) * HgtTile::FineSide + col));
                if (row % 3 == 0 && col % 3 == 0)
                    qToBigEndian(h, coarse.data() + 2 * (qsizetype(row / 3) * HgtTile::Side + col / 3));
            }
    }
};

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes a zip archive of named members; stored (not compressed) members
// keep their bytes where they can be found and patched.
bool writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &members, bool store = false)
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    for (const auto &[name, bytes] : members) {
        zip_source_t *source = zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        const zip_int64_t index = zip_file_add(z, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0 || (store && zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)) {
            zip_source_free(source);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

// Rewrites the uncompressed size the archive declares for its members.
void declareSize(QByteArray &zipBytes, quint32 size)
{
    for (const auto &[signature, offset] : {std::pair{"PK\x03\x04", 22}, {"PK\x01\x02", 24}})
        for (qsizetype at = zipBytes.indexOf(signature); at >= 0; at = zipBytes.indexOf(signature, at + 4))
            qToLittleEndian(size, zipBytes.data() + at + offset);
}

} // namespace

class HgtSourcesTest : public QObject
{
    Q_OBJECT

private slots:
    // A 1-arc-second tile gives the very tile of its 3-arc-second samples.
    void fineTiles_data()
    {
        QTest::addColumn<int>("q");
        QTest::newRow("q1") << 1;
        QTest::newRow("q5") << 5;
    }

    void fineTiles()
    {
        QFETCH(int, q);
        QTemporaryDir tmp;
        const FineTile tile{quint32(q)};
        QVERIFY(writeBytes(tmp.filePath("fine/N50E014.hgt"), tile.fine));
        QCOMPARE(ConvertHgt::convertFile(tmp.filePath("fine/N50E014.hgt"), QDir(tmp.path()), q), Outcome::Converted);
        QVERIFY(readFile(tmp.filePath("N50E014.chgt")) == referenceMesh(tile.coarse, 14, 50, q));
    }

    // Only the two exact sizes are tiles.
    void nearTheFineSize()
    {
        QTemporaryDir tmp;
        for (qint64 size : {qint64(HgtTile::FineFileSize) - 2, qint64(HgtTile::FineFileSize) + 2}) {
            QFile file(tmp.filePath("N50E014.hgt"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
            file.close();
            QFile::remove(tmp.filePath("N50E014.chgt"));
            QCOMPARE(ConvertHgt::convertFile(file.fileName(), QDir(tmp.path()), 5), Outcome::WrongSizeEmptyWritten);
            QCOMPARE(QFileInfo(tmp.filePath("N50E014.chgt")).size(), 0);
        }
    }

    void archives_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QStringList>("expected"); // member | outcome | tile written ("-": none)
        QTest::newRow("one 3-second tile") << "N50E014.SRTMGL3.hgt.zip" << QStringList{"N50E014.hgt|Converted|N50E014"};
        QTest::newRow("one 1-second tile") << "N50E015.SRTMGL1.hgt.zip" << QStringList{"N50E015.hgt|Converted|N50E015"};
        QTest::newRow("product suffix") << "N49E016.SRTMGL1.hgt.zip"
                                        << QStringList{"N49E016.SRTMGL1.hgt|Converted|N49E016"};
        QTest::newRow("block with a folder") << "M33.zip"
                                             << QStringList{"M33/N48E012.hgt|Converted|N48E012",
                                                            "M33/N49E012.hgt|Converted|N49E012"};
        QTest::newRow("declared size not a tile size") << "short.zip"
                                                       << QStringList{"N49E014.hgt|WrongSizeEmptyWritten|N49E014"};
        QTest::newRow("inflates past its declared size") << "bomb.zip" << QStringList{"N49E017.hgt|Unreadable|-"};
        QTest::newRow("damaged data") << "crc.zip" << QStringList{"N49E018.hgt|Unreadable|-"};
        QTest::newRow("truncated archive") << "cut.zip" << QStringList{"|Unreadable|-"};
        QTest::newRow("no tiles inside") << "docs.zip" << QStringList{"|NoTilesInArchive|-"};
        QTest::newRow("a fifo") << "fifo.zip" << QStringList{"|Unreadable|-"};
    }

    // Each tile of an archive is byte for byte the tile of the plain file;
    // a damaged member or archive is reported and writes nothing.
    void archives()
    {
        QFETCH(QString, archive);
        QFETCH(QStringList, expected);
        QTemporaryDir tmp;
        const QString zip = tmp.filePath(archive), out = tmp.filePath("out");
        HgtTileGenerator coarse;
        coarse.fillRandom(3);
        static const FineTile fine{4};
        QByteArray bytes;
        if (archive.startsWith("N50E014"))
            QVERIFY(writeZip(zip, {{"N50E014.hgt", coarse.bytes()}}));
        else if (archive.startsWith("N50E015"))
            QVERIFY(writeZip(zip, {{"N50E015.hgt", fine.fine}}));
        else if (archive.startsWith("N49E016"))
            QVERIFY(writeZip(zip, {{"N49E016.SRTMGL1.hgt", fine.fine}}));
        else if (archive == "M33.zip" || archive == "cut.zip")
            QVERIFY(writeZip(zip, {{"M33/", {}}, {"M33/N48E012.hgt", coarse.bytes()}, {"M33/readme.txt", "tiles"},
                                   {"M33/N49E012.hgt", fine.fine}, {"M33/N49E012.hgt.md5", "0123"}}));
        else if (archive == "short.zip")
            QVERIFY(writeZip(zip, {{"N49E014.hgt", QByteArray(1000, '\1')}}));
        else if (archive == "bomb.zip") {
            // A hundred megabytes of zeros said to be one tile.
            QVERIFY(writeZip(zip, {{"N49E017.hgt", QByteArray(100 << 20, '\0')}}));
            bytes = readFile(zip);
            declareSize(bytes, HgtTile::FileSize);
            QVERIFY(writeBytes(zip, bytes));
        } else if (archive == "crc.zip") {
            QVERIFY(writeZip(zip, {{"N49E018.hgt", coarse.bytes()}}, true));
            bytes = readFile(zip);
            bytes[bytes.indexOf("N49E018.hgt") + 2000] ^= 0x55;
            QVERIFY(writeBytes(zip, bytes));
        } else if (archive == "docs.zip")
            QVERIFY(writeZip(zip, {{"readme.txt", "no tiles here"}, {"N49E014.txt", "nor here"}}));
        else if (archive == "fifo.zip")
            QVERIFY(mkfifo(QFile::encodeName(zip), 0600) == 0);
        if (archive == "cut.zip") {
            bytes = readFile(zip);
            QVERIFY(writeBytes(zip, bytes.left(bytes.size() / 2)));
        }

        QVERIFY(QDir().mkpath(out));
        const QVector<ConvertHgt::FileOutcome> outcomes = ConvertHgt::convertSource(zip, QDir(out), 5);
        QCOMPARE(outcomes.size(), expected.size());
        QStringList written;
        for (int i = 0; i < outcomes.size(); ++i) {
            const QStringList want = expected[i].split('|');
            QCOMPARE(outcomes[i].path, want[0].isEmpty() ? zip : zip + '/' + want[0]);
            QCOMPARE(QMetaEnum::fromType<Outcome>().valueToKey(int(outcomes[i].outcome)), want[1]);
            QCOMPARE(outcomes[i].failure.isFailure(), want[1] == "Unreadable");
            QVERIFY(outcomes[i].failure.english().isEmpty() == outcomes[i].failure.czech().isEmpty());
            if (want[2] == "-")
                continue;
            const QString tile = out + '/' + want[2] + ".chgt";
            QCOMPARE(outcomes[i].tile, tile);
            written << QFileInfo(tile).fileName();
            // N50E014 and N48E012 were made at 3 seconds, the others at 1 second.
            const QByteArray source = want[1] != "Converted" ? QByteArray()
                                      : want[2] == "N50E014" || want[2] == "N48E012" ? coarse.bytes()
                                                                                     : fine.coarse;
            const int lat = want[2].mid(1, 2).toInt(), lon = want[2].mid(4, 3).toInt();
            QVERIFY(readFile(tile) == (source.isEmpty() ? QByteArray() : referenceMesh(source, lon, lat, 5)));
        }
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), written);
    }

    // The command line takes archives as sources, one reason per member.
    void commandLineArchives()
    {
        QTemporaryDir tmp;
        HgtTileGenerator coarse;
        coarse.fillRandom(5);
        QVERIFY(writeZip(tmp.filePath("M33.zip"), {{"M33/N48E012.hgt", coarse.bytes()}, {"M33/N48E013.hgt", "x"}}));
        QProcess process;
        process.start(HGT2CHGT_PATH, {"--quiet", "-q", "5", "-o", tmp.filePath("out"), tmp.filePath("M33.zip")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()).trimmed(),
                 QStringLiteral("hgt2chgt: %1/M33.zip/M33/N48E013.hgt: not 2884802 or 25934402 bytes long, "
                                "wrote an empty tile %1/out/N48E013.chgt").arg(tmp.path()));
        QVERIFY(readFile(tmp.filePath("out/N48E012.chgt")) == referenceMesh(coarse.bytes(), 12, 48, 5));
    }
};

RZ_REGISTER_TEST(HgtSourcesTest);
#include "tst_sources.moc"
