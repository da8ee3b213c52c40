#include "ConvertTesting.h"
#include "TileMeshBuilder.h"

#include <sys/stat.h>

// A 1-second tile whose every third sample is the 3-second tile's; other
// heights between.
static QByteArray fineOf(const QByteArray &coarse)
{
    QByteArray fine(HgtTile::FineFileSize, Qt::Uninitialized);
    for (int row = 0; row < HgtTile::FineSide; ++row)
        for (int col = 0; col < HgtTile::FineSide; ++col) {
            const char *same = coarse.constData() + 2 * ((row / 3) * HgtTile::Side + col / 3);
            const qint16 h = row % 3 || col % 3 ? qint16(row * 7 - col) : qFromBigEndian<qint16>(same);
            qToBigEndian(h, fine.data() + 2 * (qsizetype(row) * HgtTile::FineSide + col));
        }
    return fine;
}

class HgtSourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("chgt"); // empty: not a tile name
        QTest::newRow("plain") << "N49E014.hgt" << "N49E014.chgt";
        QTest::newRow("prefix, path") << "/moje data/výšky/abcN07E099.hgt" << "N07E099.chgt";
        // The dot matches any character, a line break and a lone surrogate too.
        for (const QString &dot : {QString("x"), QString("\n"), QString(QChar(0xd868))})
            QTest::addRow("dot as %d", dot.at(0).unicode()) << "N49E005" + dot + "hgt" << "N49E005.chgt";
        QTest::newRow("digits are ASCII only") << QString("N4") + QChar(0x0663) + "E014.hgt" << QString();
        for (const char *name : {"n49e014.hgt", "N49E014.HGT", "S49E014.hgt", "N49W014.hgt", "N49E114.hgt",
                                 "N49E014.hgt.bak", "9E014.hgt", "N4xE014.hgt"})
            QTest::newRow(name) << name << QString();
    }

    void names()
    {
        QFETCH(QString, path);
        QFETCH(QString, chgt);
        int lat = -1, lon = -1;
        QCOMPARE(HgtTile::parseName(path, &lat, &lon), !chgt.isEmpty());
        QCOMPARE(chgt.isEmpty() ? chgt : ChgtTile::fileName(lat, lon), chgt);
    }

    void meshes_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("height"); // 9999: random heights in every band, voids among them
        for (int q = 1; q <= 5; ++q)
            QTest::addRow("q%d", q) << q << 9999;
        QTest::newRow("q3, every sample void") << 3 << -32768;
        for (int h : {0, 1, 200, 201, 300, 301, 400, 401, 500, 501, 600, 601, 800, 801, 1000, 1001, 1200, 1201, 1400,
                      1401, 1800, 1801, 8000})
            QTest::addRow("%d m", h) << 5 << h;
    }

    // Byte for byte (on a little-endian host) the reference; with holes
    // built in two ranges of columns, as the writer builds them in batches.
    void meshes()
    {
        QFETCH(int, q);
        QFETCH(int, height);
        const int lon = q * 24 - 21, lat = q * 12 - 12; // 3 .. 99, 0 .. 48
        const QByteArray tile = height == 9999 ? randomTile(quint32(q)) : HgtTileGenerator(qint16(height)).bytes();
        const TileMeshBuilder builder(tile.constData(), lon, lat, q);
        QVector<float> v(builder.floatCount());
        QCOMPARE(builder.buildColumns(v.data(), 0, builder.columnCount()), builder.floatCount());
        const auto bytes = [&v](qint64 floats) {
            return QByteArray::fromRawData(reinterpret_cast<const char *>(v.constData()), floats * 4);
        };
        QVERIFY(bytes(v.size()) == referenceMesh(tile, lon, lat, q));
        const TileMeshBuilder holed(tile.constData(), lon, lat, q, TileMeshBuilder::Voids::Holes);
        const int half = holed.columnCount() / 2;
        const qint64 first = holed.buildColumns(v.data(), 0, half);
        const qint64 floats = first + holed.buildColumns(v.data() + first, half, holed.columnCount());
        QVERIFY(bytes(floats) == referenceMesh(tile, lon, lat, q, true));
    }

    void sources_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("expected"); // member | outcome | tile written ("-": none)
        // A 1-arc-second tile gives the very tile of its 3-arc-second samples.
        QTest::newRow("plain 1-second tile") << "fine/N50E015.hgt" << QStringList{"|Converted|N50E015"};
        QTest::newRow("product suffix") << "N49E016.SRTMGL1.hgt.zip" << QStringList{"N49E016.SRTMGL1.hgt|Converted|N49E016"};
        QTest::newRow("block with a folder")
            << "M33.zip" << QStringList{"M33/N48E012.hgt|Converted|N48E012", "M33/N49E012.hgt|Converted|N49E012"};
        QTest::newRow("inflates past its declared size") << "bomb.zip" << QStringList{"N49E017.hgt|Unreadable|-"};
        QTest::newRow("damaged data") << "crc.zip" << QStringList{"N49E018.hgt|Unreadable|-"};
        QTest::newRow("truncated archive") << "cut.zip" << QStringList{"|Unreadable|-"};
        QTest::newRow("no tiles inside") << "docs.zip" << QStringList{"|NoTilesInArchive|-"};
        QTest::newRow("a fifo") << "fifo.zip" << QStringList{"|Unreadable|-"};
    }

    // Each tile of an archive is byte for byte the tile of the plain file;
    // a damaged member or archive is reported and writes nothing.
    void sources()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, expected);
        QTemporaryDir tmp;
        const QString out = tmp.filePath("out"), zip = tmp.filePath(source);
        static const QByteArray c = randomTile(3), fine = fineOf(c);
        const QList<std::pair<QString, QByteArray>> block{{"M33/", {}}, {"M33/N48E012.hgt", c}, {"M33/readme.txt", "tiles"},
                                                          {"M33/N49E012.hgt", fine}, {"M33/N49E012.hgt.md5", "0123"}};
        const QMap<QString, QList<std::pair<QString, QByteArray>>> zips{
            {"N49E016.SRTMGL1.hgt.zip", {{"N49E016.SRTMGL1.hgt", fine}}},
            {"M33.zip", block}, {"cut.zip", block}, {"crc.zip", {{"N49E018.hgt", c}}},
            {"docs.zip", {{"readme.txt", "no tiles here"}, {"N49E014.txt", "nor here"}}}};
        if (source.startsWith("fine/"))
            QVERIFY(writeBytes(zip, fine));
        else if (source == "fifo.zip")
            QVERIFY(mkfifo(QFile::encodeName(zip), 0600) == 0);
        else if (source == "bomb.zip") // a hundred megabytes of zeros said to be one tile
            QVERIFY(writeZip(zip, {{"N49E017.hgt", QByteArray(100 << 20, '\0')}}));
        else
            QVERIFY(writeZip(zip, zips[source], source == "crc.zip"));
        QByteArray bytes = source == "fifo.zip" ? QByteArray() : fileBytes(zip);
        if (source == "bomb.zip") // both headers declare the size of a tile
            for (const auto &[signature, offset] : {std::pair{"PK\x03\x04", 22}, {"PK\x01\x02", 24}})
                for (qsizetype at = bytes.indexOf(signature); at >= 0; at = bytes.indexOf(signature, at + 4))
                    qToLittleEndian(quint32(HgtTile::FileSize), bytes.data() + at + offset);
        if (source == "crc.zip")
            bytes[bytes.indexOf("N49E018.hgt") + 2000] ^= 0x55;
        if (source == "cut.zip")
            bytes.truncate(bytes.size() / 2);
        QVERIFY(source == "fifo.zip" || writeBytes(zip, bytes));

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
            written << want[2] + ".chgt";
            const int lat = want[2].mid(1, 2).toInt(), lon = want[2].mid(4, 3).toInt();
            QVERIFY(fileBytes(tile) == (want[1] != "Converted" ? QByteArray() : referenceMesh(c, lon, lat, 5)));
        }
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), written);
    }

    // An archive and a plain file of one tile, two jobs: the later in the
    // list wins, as with one job. The archive holds the tile many times
    // over, so it takes many times longer than the plain file: converted
    // side by side, the archive would write last whatever its place.
    void archiveBesidePlainTile()
    {
        QTemporaryDir tmp;
        const QByteArray zipped = randomTile(8), plain = randomTile(9);
        QList<std::pair<QString, QByteArray>> members;
        for (int i = 0; i < 16; ++i)
            members.append({QString("copy%1/N49E014.hgt").arg(i), zipped});
        const QString zip = tmp.filePath("block.zip"), hgt = tmp.filePath("N49E014.hgt");
        QVERIFY(writeZip(zip, members, true) && writeBytes(hgt, plain));
        for (bool archiveFirst : {true, false}) {
            ConvertHgt worker(archiveFirst ? QStringList{zip, hgt} : QStringList{hgt, zip}, tmp.filePath("out"), 5);
            worker.setJobs(2);
            QCOMPARE(runWorker(worker), (QList<int>{0, 50, 100}));
            QCOMPARE(worker.outcomes().size(), 17);
            QCOMPARE(worker.outcomes().at(archiveFirst ? 16 : 0).path, hgt);
            const QByteArray winner = archiveFirst ? plain : zipped;
            QVERIFY(fileBytes(tmp.filePath("out/N49E014.chgt")) == referenceMesh(winner, 14, 49, 5));
        }
    }
};

RZ_REGISTER_TEST(HgtSourcesTest);
#include "tst_sources.moc"
