#include "DemRaster.h"
#include "MosaicWarper.h"
#include "ConvertTesting.h"
#include "TestRasters.h"
#include "TileMeshBuilder.h"
#include "TileWalk.h"

#include <cmath>

#include <sys/stat.h>

using TestRasters::Raster;

struct Units
{
    QByteArray unit;
    double scale, offset, metres; // metres per unit of the raster's values
    int q;
    QByteArray driver = "GTiff";
    double noData = 0; // 0: none
};
Q_DECLARE_METATYPE(Units)
Q_DECLARE_METATYPE(TileCorner)
// rows, columns, jobs, the first steps of the jobs taking turns
using Walk = std::tuple<int, int, int, QVector<TileCorner>>;
Q_DECLARE_METATYPE(Walk)

// GDAL's own gdalwarp with the rule's options, the tile's posts as HGT bytes.
static QByteArray gdalwarpPosts(const QStringList &files, TileCorner tile, const QString &scratch)
{
    const double half = 0.5 / 1200;
    const auto n = [](double v) { return QString::number(v, 'g', 17); };
    const QString out = scratch + "/oracle.bil"; // raw 16-bit posts in the host's order
    QFile::remove(out);
    QProcess process;
    process.start("gdalwarp", QStringList{"-q", "-of", "EHdr", "-t_srs", "EPSG:4326", "-te", n(tile.lon - half),
                                        n(tile.lat - half), n(tile.lon + 1 + half), n(tile.lat + 1 + half), "-ts",
                                        "1201", "1201", "-r", "bilinear", "-ot", "Int16", "-et", "0", "-dstnodata",
                                        "-32768"}
                                + files + QStringList{out});
    QByteArray posts = process.waitForFinished(120000) && process.exitCode() == 0 ? fileBytes(out) : QByteArray();
    qToBigEndian<qint16>(posts.constData(), posts.size() / 2, posts.data());
    return posts;
}

// Every band, negative heights too, never the void.
static qint16 testHeight(int row, int col)
{
    return qint16((row * 37 + col * 11) % 2300 - 150 + (row % 7 == 3 ? 1 : 0));
}

// Pixel centres on the posts of N49E015; value(row, column).
static Raster onPosts(const std::function<double(int, int)> &value)
{
    Raster r = Raster::degrees(15, 50, HgtTile::Side, HgtTile::Side, 1200);
    r.value = [value](int x, int y) { return value(y, x); };
    return r;
}

// Copernicus-like: 3600 x 3600 without the east column and south row;
// heights defined over whole degrees, so neighbours meet.
static Raster copernicusTile(int lat, int lon)
{
    Raster r = Raster::degrees(lon, lat + 1, 3600, 3600, 3600);
    r.value = [lat, lon](int x, int y) {
        const double e = lon + x / 3600.0, n = lat + 1 - y / 3600.0;
        return 420 + 380 * std::sin(e * 5.1) * std::cos(n * 4.3) + 60 * std::sin(e * 41 + n * 29);
    };
    return r;
}

// 100 m pixels centred on (x, y) of the crs, smooth heights and a hole.
static Raster projected(const char *crs, double x, double y, int width, int height, double base)
{
    Raster r;
    r.width = width;
    r.height = height;
    r.geoTransform = {x - width * 50, 100, 0, y + height * 50, 0, -100};
    r.crs = crs;
    r.hasNoData = true;
    r.noData = -9999;
    r.value = [base, width, height](int px, int py) {
        if (std::hypot(px - width * 0.3, py - height * 0.6) < width * 0.12 + 8 * std::sin(py * 0.3))
            return -9999.0;
        return base + 500 * std::sin(px * 0.013) * std::cos(py * 0.011) + px * 0.37;
    };
    return r;
}

static QStringList chgtFiles(const QString &dir)
{
    return QDir(dir).entryList({"*.chgt"}, QDir::Files, QDir::Name);
}

class RasterImportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable("gdalwarp").isEmpty(), "gdalwarp (gdal-bin) is the oracle");
        QVERIFY(copernicusTile(48, 15).write(shared.filePath("N48E015.tif")));
        QVERIFY(copernicusTile(49, 15).write(shared.filePath("N49E015.tif")));
        QVERIFY(projected("EPSG:5514", -710883, -1118806, 400, 300, 300).write(shared.filePath("krovak.tif")));
        QVERIFY(projected("EPSG:32633", 503620, 5483042, 300, 400, 900).write(shared.filePath("utm.tif")));
        // On the posts and without no-data, a hole far below what 16 bits
        // hold: the warp reads it as -32768, which GDAL keeps off the
        // no-data value.
        Raster deep = Raster::degrees(15, 50, HgtTile::Side, HgtTile::Side, 1200);
        deep.value = [](int x, int y) {
            return std::hypot(x - 500, y - 600) < 200 ? -40000.0 : double(testHeight(y, x));
        };
        QVERIFY(deep.write(shared.filePath("deep.tif")));
        // WGS 84 grids whose pixel centres miss the posts: GDAL's two
        // kernels then round a few ties differently, and only the no-data
        // warp is the rule. Edges a quarter of a post east of the posts,
        // rows 1/1800 degree apart; whole heights, scattered.
        Raster off;
        off.width = 1200;
        off.height = 1800;
        off.geoTransform = {15 + 0.25 / 1200, 1.0 / 1200, 0, 51, 0, -1.0 / 1800};
        off.value = [](int x, int y) {
            return double(200 + ((quint32(x) * 73856093u) ^ (quint32(y) * 19349663u)) % 1301);
        };
        QVERIFY(off.write(shared.filePath("off posts.tif")));
        // On the posts, but not its overview of 2, which GDAL warps from.
        Raster overview = Raster::degrees(15, 51, 2400, 3600, 2400);
        overview.geoTransform[3] = 51 + 0.5 / 3600;
        overview.geoTransform[5] = -1.0 / 3600;
        overview.value = [](int x, int y) {
            const double e = 15 + x / 2400.0, n = 51 - y / 3600.0;
            return 420 + 380 * std::sin(e * 5.1) * std::cos(n * 4.3) + 60 * std::sin(e * 41 + n * 29);
        };
        overview.overviews = {2};
        QVERIFY(overview.write(shared.filePath("overview.tif")));
    }

    void heightsOnPosts_data()
    {
        QTest::addColumn<Units>("units");
        const auto row = [](const char *name, Units units) { QTest::newRow(name) << units; };
        row("ASCII grid, q5", {"", 1, 0, 1, 5, "AAIGrid"});
        row("Erdas Imagine, q4", {"", 1, 0, 1, 4, "HFA"});
        row("metre, q2", {"metre", 1, 0, 1, 2});
        row("feet, q5", {"ft", 1, 0, 0.3048, 5});
        row("feet spelled out, q4", {"feet", 1, 0, 0.3048, 4});
        row("US survey feet, q3", {"us-ft", 1, 0, 1200.0 / 3937, 3});
        row("feet by scale and offset, q5", {"foot", 2, 10, 0.3048, 5});
        row("decimetres by scale and offset, q5", {"m", 0.1, -20, 1, 5});
        // No-data with an irregular edge, as a national model cut along the
        // state border; a scaled raster is read through a VRT in metres.
        row("masked, q1", {"", 1, 0, 1, 1, "GTiff", -1.0e6});
        row("masked, q5", {"", 1, 0, 1, 5, "GTiff", -1.0e6});
        row("masked by NaN, q5", {"", 1, 0, 1, 5, "GTiff", NAN});
        row("masked, scaled, q5", {"", 0.5, 0, 1, 5, "GTiff", -1.0e6});
        row("masked by NaN, scaled, q5", {"", 0.5, 0, 1, 5, "GTiff", NAN});
    }

    // Each post is its pixel's height in metres rounded half away from
    // zero; the tile is the reference mesh of those posts, no-data cells out.
    void heightsOnPosts()
    {
        QFETCH(Units, units);
        const auto [unit, scale, offset, metres, q, driver, noData] = units;
        QTemporaryDir tmp;
        const auto masked = [noData = noData](int row, int col) {
            return noData != 0
                   && (row + 40 * std::sin(col / 37.0) > 700 || std::hypot(col - 300, row - 400) < 150
                       || (row == 2 && col > 900) || (col == 1199 && row < 5));
        };
        // Raw values whose metres are whole (or well off .5) in each unit.
        const auto raw = [&](int row, int col) {
            const double h = testHeight(row, col);
            if (masked(row, col))
                return noData;
            if (metres == 1.0)
                return (h - offset) / scale + (row % 5 == 1 ? 0.3 / scale : 0.0);
            // Feet and US survey feet differ by two parts in a million:
            // posts just under half a metre in feet tell them apart.
            if (row % 7 == 3)
                return ((1000 + col % 100 + 0.4995) / 0.3048 - offset) / scale;
            double feet = std::round(h / metres);
            if (std::fmod(feet * 3048, 10000) == 5000) // never half a metre
                feet += 1;
            return (feet + (row % 3 == 0 ? 0.2 : 0.0) - offset) / scale;
        };
        HgtTileGenerator byHand;
        byHand.fillWith([&](int row, int col) {
            const double m = (raw(row, col) * scale + offset) * metres;
            return masked(row, col) ? TileMeshBuilder::Void : qint16(std::round(m)); // half away from zero
        });
        Raster r = onPosts(raw);
        std::tie(r.unit, r.scale, r.offset, r.driver, r.noData) = std::tie(unit, scale, offset, driver, noData);
        r.hasNoData = noData != 0;
        // A character XML escapes: a scaled raster is read through a VRT
        // description that names the file.
        const char *suffix = driver == "AAIGrid" ? "asc" : driver == "HFA" ? "img" : "tif";
        const QString path = tmp.filePath(QString("výšky & data/heights.") + suffix);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && r.write(path));
        DemRaster raster;
        QVERIFY(raster.open(path));
        QCOMPARE(raster.isPlain(), metres == 1.0 && scale == 1.0 && offset == 0.0);

        ConvertHgt worker({path}, tmp.filePath("out"), q);
        QCOMPARE(runWorker(worker), (QList<int>{0, 100}));
        QCOMPARE(worker.outcomes().size(), 1);
        QCOMPARE(worker.outcomes().at(0).tile, tmp.filePath("out/N49E015.chgt"));
        QCOMPARE(chgtFiles(tmp.filePath("out")), QStringList{"N49E015.chgt"});
        QVERIFY(fileBytes(tmp.filePath("out/N49E015.chgt")) == referenceMesh(byHand.bytes(), 15, 49, q, true));
    }

    void againstGdalwarp_data()
    {
        QTest::addColumn<QStringList>("rasters"); // of initTestCase
        QTest::addColumn<QStringList>("tiles");    // written
        // S-JTSK Krovak and UTM 33N, the later on top where they overlap.
        const QStringList two{"N49E014.chgt", "N49E015.chgt"}, tiles{"N48E015.chgt", "N49E015.chgt"};
        QTest::newRow("mosaic Krovak, UTM") << QStringList{"krovak", "utm"} << two;
        QTest::newRow("mosaic UTM, Krovak") << QStringList{"utm", "krovak"} << two;
        QTest::newRow("WGS 84 on the posts, a hole below 16 bits") << QStringList{"deep"} << QStringList{"N49E015.chgt"};
        QTest::newRow("WGS 84 off the posts") << QStringList{"off posts"} << QStringList{"N50E015.chgt"};
        QTest::newRow("WGS 84, overview off the posts") << QStringList{"overview"} << QStringList{"N50E015.chgt"};
        // Copernicus-like: N48E015 lacks its south row, N49E015 gets it from N48E015.
        QTest::newRow("mosaic") << QStringList{"N48E015", "N49E015"} << tiles;
        QTest::newRow("mosaic, other order") << QStringList{"N49E015", "N48E015"} << tiles;
    }

    // Each tile is the conversion of what gdalwarp gives with the rule's options.
    void againstGdalwarp()
    {
        QFETCH(QStringList, rasters);
        QFETCH(QStringList, tiles);
        QTemporaryDir tmp;
        QStringList paths;
        for (const QString &name : rasters)
            paths << shared.filePath(name + ".tif");
        ConvertHgt worker(paths, tmp.filePath("out"), 5);
        worker.setJobs(2);
        QCOMPARE(runWorker(worker).constLast(), 100);
        QCOMPARE(chgtFiles(tmp.filePath("out")), tiles);
        for (const QString &name : tiles) {
            const TileCorner tile{name.mid(1, 2).toInt(), name.mid(4, 3).toInt()};
            const QByteArray posts = gdalwarpPosts(paths, tile, tmp.path());
            QCOMPARE(posts.size(), HgtTile::FileSize);
            const QByteArray chgt = fileBytes(tmp.filePath("out/" + name));
            QVERIFY2(chgt == referenceMesh(posts, tile.lon, tile.lat, 5, true), qPrintable(name));
            QVERIFY(chgt.size() > 50000); // not vacuous
        }
    }

    void postsOnCentres_data()
    {
        QTest::addColumn<double>("origin"); // an edge of the grid
        QTest::addColumn<double>("pixel");
        QTest::addColumn<bool>("onCentres");
        const double post = 1.0 / 1200;
        QTest::newRow("Copernicus, 3600 a degree") << 15 - post / 6 << post / 3 << true;
        QTest::newRow("Copernicus, 2400 a degree") << 15 - post / 4 << post / 2 << true;
        QTest::newRow("HGT grid") << 15 - post / 2 << post << true;
        QTest::newRow("north edge, rows down") << 51 + post / 6 << -post / 3 << true;
        QTest::newRow("a size as a file stores it") << 15 - post / 6 << 0.000277777777777778 << true;
        QTest::newRow("a whole number of pixels away") << 14 - post / 2 << post << true;
        QTest::newRow("edges on the posts") << 15.0 << post << false;
        QTest::newRow("a quarter of a post off") << 15 + post / 4 << post << false;
        QTest::newRow("overview of 2 of 3600") << 15 - post / 6 << post / 1.5 << false;
        QTest::newRow("coarser than the posts") << 15 - post << 2 * post << false;
        QTest::newRow("no size") << 15.0 << 0.0 << false;
        QTest::newRow("NaN") << qQNaN() << post << false;
    }

    // The warp takes GDAL's faster kernel only where its weights are 0 and 1.
    void postsOnCentres()
    {
        QFETCH(double, origin);
        QFETCH(double, pixel);
        QFETCH(bool, onCentres);
        const double firstPost = pixel > 0 ? 15 : 51;
        QCOMPARE(MosaicWarper::postsOnCentres(origin, pixel, firstPost), onCentres);
    }

    void failures_data()
    {
        // The row's name is the kind of raster.
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("czech");
        const Outcome refused = Outcome::RasterRefused;
        QTest::newRow("missing") << Outcome::Missing << "";
        QTest::newRow("fifo") << Outcome::Unreadable << "není běžný soubor";
        QTest::newRow("text") << refused << "není rastr, který lze přečíst";
        QTest::newRow("no georeference") << refused << "rastr nemá georeferenci";
        for (const char *kind : {"no crs", "local crs"})
            QTest::newRow(kind) << refused << "neznámý souřadnicový systém rastru";
        QTest::newRow("two bands") << refused << "rastr nemá právě jedno pásmo (má 2)";
        QTest::newRow("km") << refused << "výšky v neznámé jednotce „km“, ne v metrech ani stopách";
        for (const char *kind : {"south", "edge", "all no data", "edge posts"})
            QTest::newRow(kind) << refused << "nemá data uvnitř žádné dlaždice N00E000 až N89E099";
        // A tile that cannot be warped or written: reported for its raster.
        QTest::newRow("truncated") << Outcome::Unreadable << "výšky rastru nelze přečíst";
        QTest::newRow("read-only") << Outcome::Unwritable << "dlaždice je jen pro čtení, zůstala beze změny";
    }

    // The reason, the older tile kept, the raster beside it converted.
    void failures()
    {
        const QString kind = QTest::currentDataTag();
        QFETCH(Outcome, outcome);
        QFETCH(QString, czech);
        QTemporaryDir tmp;
        const QString bad = tmp.filePath("bad.tif"), older = tmp.filePath("out/N49E015.chgt");
        QVERIFY(writeBytes(older, "older"));
        if (kind == "read-only")
            QVERIFY(QFile::setPermissions(older, QFile::ReadOwner));
        Raster r = onPosts([](int row, int col) { return double(testHeight(row, col)); });
        if (kind == "fifo") {
            QVERIFY(mkfifo(QFile::encodeName(bad).constData(), 0600) == 0);
        } else if (kind == "text") {
            QVERIFY(writeBytes(bad, "not a raster\n"));
        } else if (kind != "missing") {
            r.hasGeoTransform = kind != "no georeference";
            r.crs = kind == "no crs" || kind == "no georeference" ? QByteArray()
                    : kind == "local crs" ? QByteArray(R"(LOCAL_CS["site grid",UNIT["metre",1]])")
                                          : QByteArray("EPSG:4326");
            r.bands = kind == "two bands" ? 2 : 1;
            r.unit = kind == "km" ? "km" : "";
            if (kind == "south")
                r = Raster::degrees(15, -10, 100, 100, 100);
            if (kind == "edge") // pixel centres on 50 degrees north
                r = Raster::degrees(15, 50, HgtTile::Side, 1, 1200);
            if (kind == "all no data" || kind == "edge posts") {
                r.hasNoData = true;
                r.noData = -5;
                r.value = [edges = kind == "edge posts"](int x, int y) {
                    const bool edge = x == 0 || y == 0 || x == HgtTile::Side - 1 || y == HgtTile::Side - 1;
                    return edges && edge ? 250.0 : -5.0;
                };
            }
            QVERIFY(r.write(bad));
            if (kind == "truncated") // the header whole, the heights not
                QVERIFY(QFile::resize(bad, QFileInfo(bad).size() / 2));
        }
        const QString good = tmp.filePath("good.tif");
        QVERIFY(Raster::degrees(17, 50, HgtTile::Side, HgtTile::Side, 1200).write(good));
        ConvertHgt worker({bad, good}, tmp.filePath("out"), 5);
        // A raster that reaches a tile is found out after the mosaic.
        const bool reaches = QStringList{"all no data", "edge posts", "truncated", "read-only"}.contains(kind);
        QCOMPARE(runWorker(worker), reaches ? (QList<int>{0, 50, 100}) : (QList<int>{0, 100}));
        QCOMPARE(worker.sourcesHandled(), 2);
        QCOMPARE(worker.sourcesNotHandled(), QStringList());
        const QVector<ConvertHgt::FileOutcome> outcomes = worker.outcomes();
        QCOMPARE(outcomes.size(), 2);
        const bool last = reaches && outcome == Outcome::RasterRefused;
        const ConvertHgt::FileOutcome refused = outcomes.at(last ? 1 : 0), converted = outcomes.at(last ? 0 : 1);
        QCOMPARE(refused.path, bad);
        QCOMPARE(refused.outcome, outcome);
        QCOMPARE(refused.failure.czech(), czech);
        QCOMPARE(refused.failure.english().isEmpty(), czech.isEmpty());
        QCOMPARE(refused.tile, outcome == Outcome::RasterRefused || !reaches ? QString() : older);
        QCOMPARE(converted.path, good);
        QCOMPARE(converted.outcome, Outcome::Converted);
        QCOMPARE(fileBytes(older), QByteArray("older"));
        QCOMPARE(QDir(tmp.filePath("out")).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"N49E015.chgt", "N49E017.chgt"}));
    }

    // HGT files first, then the mosaic, whose tile wins. A stop after the
    // tiles in hand, each whole, the raster not handled. With one job and two.
    void progressAndInterruption()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath("four tiles.tif");
        Raster r = Raster::degrees(15 + 1 / 240.0, 51 - 1 / 240.0, 240, 240, 120);
        r.value = [](int x, int y) { return 100.0 + x * 3 + y * 2; };
        const QString hgt48 = tmp.filePath("N48E015.hgt"), hgt49 = tmp.filePath("N49E015.hgt");
        QVERIFY(r.write(path) && writeTile(hgt48) && writeTile(hgt49));
        const QStringList sources{path, hgt48, hgt49};
        const QStringList four{"N49E015.chgt", "N49E016.chgt", "N50E015.chgt", "N50E016.chgt"};
        for (int jobs : {1, 2}) {
            QTemporaryDir run;
            ConvertHgt whole(sources, run.filePath("whole"), 5);
            whole.setJobs(jobs);
            QCOMPARE(runWorker(whole), (QList<int>{0, 16, 33, 50, 66, 83, 100}));
            QCOMPARE(chgtFiles(run.filePath("whole")), QStringList{"N48E015.chgt"} + four);
            QStringList paths;
            for (const ConvertHgt::FileOutcome &outcome : whole.outcomes()) {
                QCOMPARE(outcome.outcome, Outcome::Converted);
                paths << outcome.path;
            }
            QCOMPARE(paths, (QStringList{hgt48, hgt49, path, path, path, path}));
            QCOMPARE(whole.sourcesHandled(), 3);
            QVERIFY(fileBytes(run.filePath("whole/N48E015.chgt")) == expectedTile(hgt48, 5));
            QVERIFY(fileBytes(run.filePath("whole/N49E015.chgt")) != expectedTile(hgt49, 5));

            ConvertHgt stopped(sources, run.filePath("stopped"), 5);
            stopped.setJobs(jobs);
            connect(&stopped, &ConvertHgt::sProgress, &stopped, [&](int percent) {
                if (percent == 50)
                    stopped.requestInterruption();
            }, Qt::DirectConnection);
            QCOMPARE(runWorker(stopped), (QList<int>{0, 16, 33, 50}));
            // Which two mosaic tiles were in hand depends on the jobs.
            const QStringList kept = chgtFiles(run.filePath("stopped"));
            QVERIFY2(kept.size() == 3 && kept.contains("N48E015.chgt") && kept.contains("N49E015.chgt"),
                     qPrintable(kept.join(' ')));
            for (const QString &name : kept)
                QVERIFY(fileBytes(run.filePath("stopped/" + name)) == fileBytes(run.filePath("whole/" + name)));
            QCOMPARE(stopped.outcomes().size(), 4);
            QCOMPARE(stopped.sourcesHandled(), 2);
            QCOMPARE(stopped.sourcesNotHandled(), QStringList{path});
        }
    }

    void walks_data()
    {
        QTest::addColumn<Walk>("walk");
        QTest::newRow("country, one job") << Walk{3, 7, 1, {{48, 12}, {49, 12}, {50, 12}, {50, 13}}};
        QTest::newRow("country, two jobs") << Walk{3, 7, 2, {{48, 12}, {50, 18}}};
        QTest::newRow("tall, two jobs") << Walk{5, 2, 2, {{48, 12}, {52, 13}, {48, 13}, {52, 12}}};
        QTest::newRow("country, six jobs") << Walk{3, 7, 6, {{48, 12}, {50, 18}}};
        QTest::newRow("one tile, two jobs") << Walk{1, 1, 2, {{48, 12}}};
    }

    // Each tile once; the jobs start apart and each goes on beside the tile
    // it took last, across the shorter side first.
    void walks()
    {
        QFETCH(Walk, walk);
        const auto &[rows, columns, jobs, firstSteps] = walk;
        QVector<TileCorner> tiles;
        for (int lat = 48; lat < 48 + rows; ++lat)
            for (int lon = 12; lon < 12 + columns; ++lon)
                tiles.append({lat, lon});
        TileWalk walker(tiles);
        QVector<bool> taken(tiles.size(), false);
        QVector<int> last(jobs, -1);
        QVector<TileCorner> order;
        for (int step = 0; step < tiles.size(); ++step) {
            const int job = step % jobs;
            const int i = walker.next(job);
            QVERIFY(i >= 0 && i < tiles.size() && !taken[i]);
            const auto beside = [&](int a, int b) {
                return qAbs(tiles[a].lat - tiles[b].lat) <= 1 && qAbs(tiles[a].lon - tiles[b].lon) <= 1;
            };
            bool neighbourFree = false;
            for (int k = 0; k < tiles.size() && last[job] >= 0; ++k)
                neighbourFree |= !taken[k] && beside(k, last[job]);
            if (neighbourFree)
                QVERIFY2(beside(i, last[job]), qPrintable(QString("step %1 jumps").arg(step)));
            taken[i] = true;
            last[job] = i;
            order.append(tiles[i]);
            QVector<TileCorner> left;
            for (int k = 0; k < tiles.size(); ++k)
                if (!taken[k])
                    left.append(tiles[k]);
            QCOMPARE(walker.left(), left);
        }
        for (int job = 0; job < jobs; ++job)
            QCOMPARE(walker.next(job), -1);
        QCOMPARE(walker.taken(), tiles.size());
        QCOMPARE(order.mid(0, firstSteps.size()), firstSteps);
    }

private:
    QTemporaryDir shared;
};

RZ_REGISTER_TEST(RasterImportTest);
#include "tst_rasterimport.moc"
