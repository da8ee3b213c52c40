#include "ChgtTileReader.h"
#include "TilePolygons.h"
#include "ConvertHgt.h"
#include "HeightColors.h"
#include "HgtTileGenerator.h"
#include "LevelChoice.h"
#include "MapPainter.h"
#include "MappedFile.h"
#include "TestRegistry.h"
#include "TestTiles.h"
#include "TileGrid.h"
#include "TileLevel.h"
#include "TileMeshBuilder.h"

#include <QImage>
#include <QRandomGenerator>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

namespace {

constexpr int Cell = 36;

quint32 bitsOf(float f)
{
    quint32 b;
    std::memcpy(&b, &f, 4);
    return b;
}

float floatOf(quint32 b)
{
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

// A plain reading of the cell rule at any quantity k dividing 1200 (the
// builder is only used up to 5), with every column moved east by shift
// cells: a tile that is regular except for where it lies.
QByteArray plainCells(const QByteArray &hgt, int lon, int lat, int k, int shift = 0)
{
    QByteArray out;
    float height = 0;
    for (int c = 1; c <= 1200; c += k) {
        const int cx = c + shift * k;
        const float x = float(cx / 1200.0 + lon), xd = float(double(x) + k / 1200.0);
        for (int r = 1; r <= 1200; r += k) {
            if (c <= 1199 && r <= 1199)
                height = qFromBigEndian<qint16>(hgt.constData() + 2 * ((1201 - r) * 1201 + c));
            const float y = float(r / 1200.0 + lat), yd = float(double(y) + k / 1200.0);
            float rgb[3];
            heightColor(height, rgb[0], rgb[1], rgb[2]);
            for (const auto &[vx, vy] : {std::pair{x, y}, {xd, y}, {x, yd}, {x, yd}, {xd, yd}, {xd, y}}) {
                for (float value : {vx, vy, 0.0f, rgb[0], rgb[1], rgb[2]}) {
                    const float le = qToLittleEndian(value);
                    out.append(reinterpret_cast<const char *>(&le), 4);
                }
            }
        }
    }
    return out;
}

// What the conversion gives at quantity q, as bytes.
QByteArray builderCells(const QByteArray &hgt, int lon, int lat, int q)
{
    const TileMeshBuilder builder(hgt.constData(), lon, lat, q);
    QByteArray out(qsizetype(builder.floatCount()) * 4, Qt::Uninitialized);
    builder.buildColumns(reinterpret_cast<float *>(out.data()), 0, builder.columnCount());
    return out;
}

QByteArray levelCells(const TileLevel &level, const CellRange &range)
{
    QByteArray out(qsizetype(range.cellCount()) * Cell * 4, Qt::Uninitialized);
    out.truncate(qsizetype(level.writeCells(range, reinterpret_cast<float *>(out.data()))) * Cell * 4);
    return out;
}

// Masks of left-out cells for the tests of holes.
enum class Mask { None, Border, AllButLastCell, AllButOneCell, NorthAndEastEdges, FirstCell, AllButFirstColumn };

TestTiles::Holes holesOf(Mask mask, int q)
{
    switch (mask) {
    case Mask::None:
        return [](int, int) { return false; };
    case Mask::Border:
        return TestTiles::borderHoles;
    case Mask::AllButLastCell: // at q = 1 the cell at 1200, 1200: x and y a whole degree
        return [q](int i, int j) { return i <= 1200 - q || j <= 1200 - q; };
    case Mask::AllButOneCell:
        return [](int i, int j) { return i != 601 || j != 301; };
    case Mask::NorthAndEastEdges:
        return [](int i, int j) { return i >= 1196 || j >= 1196; };
    case Mask::FirstCell:
        return [](int i, int j) { return i == 1 && j == 1; };
    case Mask::AllButFirstColumn:
        return [](int i, int) { return i > 1; };
    }
    return {};
}

// The first cell index (bytes / 144) where two tiles differ, or -1.
qint64 firstDifferentCell(const QByteArray &a, const QByteArray &b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a.at(i) != b.at(i))
            return i / 144;
    }
    return a.size() == b.size() ? -1 : n / 144;
}

enum class Damage {
    None,
    FlipXBit,        // lowest bit of a far x in the middle of the tile
    FlipYBit,        // a y bit of the last cell
    FlipXHighBit,    // an exponent bit of the first record's x
    ZOne,            // z = 1.0
    ZNegativeZero,   // z = -0.0: the same picture, not what is written
    ForeignColour,   // all six colours one that is not in the table
    MixedColours,    // one vertex of another band
    NanColour,
    Truncated,       // one cell short: the last cell left out
    NanTriangleAppended,     // a reader drops it
    NanTriangleInTheMiddle,
    InfiniteZAppended,
    PieceAppended,   // 30 bytes, less than a triangle: dropped too
    NanXInACell,     // half a cell is left when it is dropped
    FirstCellDoubled,
    TruncatedByte,
    Longer,          // one cell more
    Empty,
    ShiftedEast,     // all coordinates one cell east
    RotatedCells,    // the cells moved one place along the file
    SwappedCells,    // two neighbouring cells exchanged
};

void damage(QByteArray &tile, Damage kind)
{
    const qsizetype middle = (tile.size() / 144 / 2) * 144;
    auto word = [&](qsizetype byte) -> quint32 { return qFromLittleEndian<quint32>(tile.constData() + byte); };
    auto setWord = [&](qsizetype byte, quint32 value) { qToLittleEndian(value, tile.data() + byte); };
    switch (kind) {
    case Damage::None:
        break;
    case Damage::FlipXBit:
        setWord(middle + 24, word(middle + 24) ^ 1u);
        break;
    case Damage::FlipYBit:
        setWord(tile.size() - 144 + 4 * 24 + 4, word(tile.size() - 144 + 4 * 24 + 4) ^ 0x100u);
        break;
    case Damage::FlipXHighBit:
        setWord(0, word(0) ^ 0x00800000u);
        break;
    case Damage::ZOne:
        setWord(middle + 3 * 24 + 8, bitsOf(1.0f));
        break;
    case Damage::ZNegativeZero:
        setWord(middle + 5 * 24 + 8, 0x80000000u);
        break;
    case Damage::ForeignColour:
        for (int v = 0; v < 6; ++v)
            setWord(middle + v * 24 + 12, bitsOf(0.5f));
        break;
    case Damage::MixedColours: {
        // Vertex 4 gets a band other than the cell's.
        const float red = floatOf(word(middle + 12));
        const int other = red == float(heightColors[3].red / 255.0) ? 7 : 3;
        float rgb[3];
        heightColor(float(heightColors[other].bound), rgb[0], rgb[1], rgb[2]);
        for (int i = 0; i < 3; ++i)
            setWord(middle + 3 * 24 + 12 + 4 * i, bitsOf(rgb[i]));
        break;
    }
    case Damage::NanColour:
        setWord(middle + 2 * 24 + 16, 0x7fc00000u);
        break;
    case Damage::Truncated:
        tile.chop(144);
        break;
    case Damage::NanTriangleAppended:
        tile.append(TestTiles::nanTriangle());
        break;
    case Damage::NanTriangleInTheMiddle:
        tile.insert(middle + 72, TestTiles::nanTriangle());
        break;
    case Damage::InfiniteZAppended: {
        QByteArray t = TestTiles::nanTriangle();
        qToLittleEndian(bitsOf(1.0f), t.data() + 24);
        qToLittleEndian(bitsOf(INFINITY), t.data() + 24 + 8);
        tile.append(t);
        break;
    }
    case Damage::PieceAppended:
        tile.append(QByteArray(30, '\0'));
        break;
    case Damage::NanXInACell:
        setWord(middle + 72, 0x7fc00000u);
        break;
    case Damage::FirstCellDoubled:
        tile.insert(0, tile.left(144));
        break;
    case Damage::TruncatedByte:
        tile.chop(1);
        break;
    case Damage::Longer:
        tile.append(tile.right(144));
        break;
    case Damage::Empty:
        tile.clear();
        break;
    case Damage::ShiftedEast:
        Q_UNREACHABLE(); // made by the test itself
        break;
    case Damage::RotatedCells:
        tile = tile.mid(144) + tile.right(144);
        break;
    case Damage::SwappedCells: {
        const QByteArray a = tile.mid(middle, 144);
        tile.replace(middle, 144, tile.mid(middle + 144, 144));
        tile.replace(middle + 144, 144, a);
        break;
    }
    }
}

} // namespace

Q_DECLARE_METATYPE(Damage)
Q_DECLARE_METATYPE(Mask)

class TileGridTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // HGT bytes per seed: relief (many bands, long runs) or random (a band
    // change at almost every cell).
    std::map<QString, QByteArray> sources;

    const QByteArray &source(const QString &kind, int lat, int lon)
    {
        const QString key = QStringLiteral("%1 %2 %3").arg(kind).arg(lat).arg(lon);
        auto it = sources.find(key);
        if (it == sources.end()) {
            HgtTileGenerator hgt;
            if (kind == QLatin1String("relief"))
                hgt.fillRelief(lat, lon, 7);
            else
                hgt.fillRandom(quint32(lat * 100 + lon));
            it = sources.emplace(key, hgt.bytes()).first;
        }
        return it->second;
    }

    // The tile as the import writes it: through the conversion into a file.
    QString convertedFile(const QString &kind, int lat, int lon, int q)
    {
        const QDir out(dir.filePath(QStringLiteral("%1-q%2").arg(kind).arg(q)));
        const QString chgt = out.filePath(ChgtTile::fileName(lat, lon));
        if (!QFile::exists(chgt)) {
            QDir().mkpath(out.path());
            const QString hgt = out.filePath(QStringLiteral("N%1E%2.hgt").arg(lat, 2, 10, QLatin1Char('0')).arg(lon, 3, 10, QLatin1Char('0')));
            QFile file(hgt);
            if (!file.open(QIODevice::WriteOnly) || file.write(source(kind, lat, lon)) != HgtTileGenerator::TileBytes)
                return {};
            file.close();
            if (ConvertHgt::convertFile(hgt, out, q) != ConvertHgt::Outcome::Converted)
                return {};
            QFile::remove(hgt);
        }
        return chgt;
    }

    std::map<QString, TileGrid> grids;
    const TileGrid &grid(const QString &kind, int lat, int lon, int q)
    {
        const QString key = QStringLiteral("%1 %2 %3 %4").arg(kind).arg(lat).arg(lon).arg(q);
        auto it = grids.find(key);
        if (it == grids.end()) {
            const QByteArray cells = builderCells(source(kind, lat, lon), lon, lat, q);
            it = grids.emplace(key, TileGrid::recognise(cells.constData(), cells.size())).first;
        }
        return it->second;
    }

    // The same tile with the border's cells left out.
    const TileGrid &holedGrid(const QString &kind, int lat, int lon, int q)
    {
        const QString key = QStringLiteral("holes %1 %2 %3 %4").arg(kind).arg(lat).arg(lon).arg(q);
        auto it = grids.find(key);
        if (it == grids.end()) {
            const QByteArray cells =
                TestTiles::withHoles(builderCells(source(kind, lat, lon), lon, lat, q), q, TestTiles::borderHoles);
            it = grids.emplace(key, TileGrid::recognise(cells.constData(), cells.size())).first;
        }
        return it->second;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void sizes()
    {
        const qint64 expected[] = {207360000, 51840000, 23040000, 12960000, 8294400};
        for (int q = 1; q <= 5; ++q) {
            QCOMPARE(TileGrid::fileBytes(q), expected[q - 1]);
            QCOMPARE(TileGrid::quantityOfSize(expected[q - 1]), q);
        }
        for (qint64 bytes : {qint64(0), qint64(144), qint64(8294400 - 144), qint64(207360000 + 144)})
            QCOMPARE(TileGrid::quantityOfSize(bytes), 0);
        QCOMPARE(TileGrid::levelsOf(5).front(), 5);
        QCOMPARE(TileGrid::levelsOf(5).back(), 1200);
        for (int q = 1; q <= 5; ++q) {
            for (int k : TileGrid::levelsOf(q))
                QVERIFY(k % q == 0 && 1200 % k == 0);
        }
        QCOMPARE(int(TileGrid::levelsOf(1).size()), 30); // the divisors of 1200
    }

    // Files the conversion wrote, read through a mapping: the grid holds
    // the tile's corner and quantity and gives the file back byte for byte.
    void recognisesConversions_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("lat");
        QTest::addColumn<int>("lon");
        for (int q = 1; q <= 5; ++q)
            QTest::addRow("relief q%d", q) << "relief" << q << 49 << 14;
        for (int q : {1, 3, 5})
            QTest::addRow("random q%d", q) << "random" << q << 50 << 17;
        QTest::newRow("corner 0 0") << "relief" << 2 << 0 << 0;
        QTest::newRow("corner 99 99") << "random" << 4 << 99 << 99;
    }

    void recognisesConversions()
    {
        QFETCH(QString, kind);
        QFETCH(int, q);
        QFETCH(int, lat);
        QFETCH(int, lon);
        const QString path = convertedFile(kind, lat, lon, q);
        QVERIFY(!path.isEmpty());
        MappedFile file;
        QVERIFY(file.open(path, TileGrid::fileBytes(1)));
        QVERIFY(file.isMapped());
        const TileGrid grid = TileGrid::recognise(file.data(), file.size());
        QVERIFY(!grid.isNull());
        QCOMPARE(grid.quantity(), q);
        QCOMPARE(grid.lat(), lat);
        QCOMPARE(grid.lon(), lon);
        QCOMPARE(grid.side(), 1199 / q + 1);
        QCOMPARE(grid.heldBytes(), qint64(grid.side()) * grid.side());
        const TileLevel stored(grid, q);
        const QByteArray again = levelCells(stored, stored.wholeTile());
        QCOMPARE(firstDifferentCell(again, QByteArray::fromRawData(file.data(), file.size())), -1);
    }

    void rejectsDamage_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<Damage>("kind");
        QTest::addColumn<bool>("regular");
        QTest::addColumn<bool>("holes");
        for (const auto &[q, holes] : {std::pair{5, false}, {1, false}, {5, true}, {2, true}}) {
            const auto row = [q = q, holes = holes](const char *name, Damage d, bool regular = false) {
                if (!holes || d != Damage::ShiftedEast)
                    QTest::addRow("q%d%s %s", q, holes ? " with holes" : "", name) << q << d << regular << holes;
            };
            row("intact", Damage::None, true);
            row("flipped low bit of a far x", Damage::FlipXBit);
            row("flipped bit of a y in the last cell", Damage::FlipYBit);
            row("flipped exponent bit of the first x", Damage::FlipXHighBit);
            row("z 1.0", Damage::ZOne);
            row("z -0.0", Damage::ZNegativeZero);
            row("colour not in the table", Damage::ForeignColour);
            row("cell of mixed colours", Damage::MixedColours);
            row("NaN colour", Damage::NanColour);
            row("one cell short", Damage::Truncated, true);
            row("NaN triangle appended", Damage::NanTriangleAppended, true);
            row("NaN triangle in the middle", Damage::NanTriangleInTheMiddle, true);
            row("triangle with infinite z appended", Damage::InfiniteZAppended, true);
            row("30 bytes appended", Damage::PieceAppended, true);
            row("NaN x in a cell", Damage::NanXInACell);
            row("first cell twice", Damage::FirstCellDoubled);
            row("one byte short", Damage::TruncatedByte);
            row("one cell longer", Damage::Longer);
            row("empty", Damage::Empty);
            row("shifted east by one cell", Damage::ShiftedEast);
            row("cells rotated by one", Damage::RotatedCells);
            row("two cells swapped", Damage::SwappedCells);
        }
    }

    void rejectsDamage()
    {
        QFETCH(int, q);
        QFETCH(Damage, kind);
        QFETCH(bool, regular);
        QFETCH(bool, holes);
        const int lat = 49, lon = 15;
        const QByteArray &hgt = source(QStringLiteral("random"), lat, lon);
        QByteArray tile = kind == Damage::ShiftedEast ? plainCells(hgt, lon, lat, q, 1)
                                                      : builderCells(hgt, lon, lat, q);
        if (holes)
            tile = TestTiles::withHoles(tile, q, TestTiles::borderHoles);
        const QByteArray intact = tile;
        if (kind != Damage::ShiftedEast)
            damage(tile, kind);
        const TileGrid grid = TileGrid::recognise(tile.constData(), tile.size());
        QCOMPARE(!grid.isNull(), regular);
        // What a regular one holds: the intact tile, or it with its last cell left out.
        if (regular) {
            const TileLevel stored(grid, q);
            const QByteArray cells = levelCells(stored, stored.wholeTile());
            QCOMPARE(firstDifferentCell(cells, kind == Damage::Truncated ? intact.chopped(144) : intact), -1);
            QCOMPARE(grid.hasHoles(), holes || kind == Damage::Truncated);
        }
        // An unaligned copy reads the same.
        if (q != 5)
            return;
        QByteArray shifted(tile.size() + 1, Qt::Uninitialized);
        if (!tile.isEmpty())
            std::memcpy(shifted.data() + 1, tile.constData(), size_t(tile.size()));
        QCOMPARE(!TileGrid::recognise(shifted.constData() + 1, tile.size()).isNull(), regular);
    }

    // Tiles with cells left out: a grid of the same size with the right
    // cells missing, giving back the file byte for byte; the first cell
    // present gives the quantity and the corner, wherever it lies.
    void recognisesHoles_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<Mask>("mask");
        for (int q = 1; q <= 5; ++q)
            QTest::addRow("q%d border", q) << q << Mask::Border;
        for (int q : {1, 5}) {
            QTest::addRow("q%d only the last cell", q) << q << Mask::AllButLastCell;
            QTest::addRow("q%d a single cell", q) << q << Mask::AllButOneCell;
            QTest::addRow("q%d north and east edges left out", q) << q << Mask::NorthAndEastEdges;
            QTest::addRow("q%d first cell left out", q) << q << Mask::FirstCell;
            QTest::addRow("q%d only the first column", q) << q << Mask::AllButFirstColumn;
        }
    }

    void recognisesHoles()
    {
        QFETCH(int, q);
        QFETCH(Mask, mask);
        const int lat = 49, lon = 17;
        const TestTiles::Holes holes = holesOf(mask, q);
        const QByteArray tile = TestTiles::withHoles(builderCells(source(QStringLiteral("random"), lat, lon), lon, lat, q), q, holes);
        QVERIFY(!tile.isEmpty());
        const TileGrid grid = TileGrid::recognise(tile.constData(), tile.size());
        QVERIFY(!grid.isNull());
        QCOMPARE(grid.quantity(), q);
        QCOMPARE(grid.lat(), lat);
        QCOMPARE(grid.lon(), lon);
        const int n = 1199 / q + 1;
        QCOMPARE(grid.side(), n);
        // Holes cost what cells cost: a byte each.
        QCOMPARE(grid.heldBytes(), qint64(n) * n);
        QCOMPARE(grid.cellCount(), tile.size() / 144);
        QVERIFY(grid.hasHoles());
        for (int c = 0; c < n; ++c) {
            for (int r = 0; r < n; ++r) {
                if (grid.hasCell(c, r) == TestTiles::leftOut(holes, q, c, r))
                    QFAIL(qPrintable(QStringLiteral("cell %1,%2").arg(c).arg(r)));
            }
        }
        const TileLevel stored(grid, q);
        QCOMPARE(firstDifferentCell(levelCells(stored, stored.wholeTile()), tile), -1);
        // Unaligned, and with a NaN triangle appended, the same grid.
        QByteArray shifted = QByteArray(1, 'x') + tile + TestTiles::nanTriangle();
        const TileGrid again = TileGrid::recognise(shifted.constData() + 1, shifted.size() - 1);
        QVERIFY(!again.isNull());
        const TileLevel storedAgain(again, q);
        QCOMPARE(firstDifferentCell(levelCells(storedAgain, storedAgain.wholeTile()), tile), -1);
        // A tile without any cell is empty, and not a grid.
        QVERIFY(TileGrid::recognise(tile.constData(), 0).isNull());
    }

    // Level k of a finer tile is the tile converted at quantity k, byte for
    // byte: at k up to 5 the real conversion, above it the same rule.
    void levelsMatchConversion_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("k");
        QTest::addColumn<bool>("holes");
        for (int k = 1; k <= 5; ++k)
            QTest::addRow("relief q1 k%d", k) << "relief" << 1 << k << false;
        QTest::newRow("random q1 k5") << "random" << 1 << 5 << false;
        QTest::newRow("relief q2 k4") << "relief" << 2 << 4 << false;
        QTest::newRow("random q2 k4") << "random" << 2 << 4 << false;
        QTest::newRow("relief q3 k3") << "relief" << 3 << 3 << false;
        for (int k : {6, 8, 25, 48, 1200})
            QTest::addRow("relief q1 k%d", k) << "relief" << 1 << k << false;
        QTest::newRow("random q5 k10") << "random" << 5 << 10 << false;
        QTest::newRow("random q5 k600") << "random" << 5 << 600 << false;
        QTest::newRow("random q4 k12") << "random" << 4 << 12 << false;
        // With cells left out: the level of a tile with holes is the tile
        // converted at k with the same posts' cells left out.
        for (const auto &[q, k] : {std::pair{1, 1}, {1, 5}, {1, 6}, {1, 1200}, {2, 4}, {5, 10}, {4, 12}})
            QTest::addRow("relief q%d k%d with holes", q, k) << "relief" << q << k << true;
    }

    void levelsMatchConversion()
    {
        QFETCH(QString, kind);
        QFETCH(int, q);
        QFETCH(int, k);
        QFETCH(bool, holes);
        const int lat = 50, lon = 13;
        const TileGrid &g = holes ? holedGrid(kind, lat, lon, q) : grid(kind, lat, lon, q);
        QVERIFY(!g.isNull());
        QVERIFY(g.hasLevel(k));
        const TileLevel level(g, k);
        QCOMPARE(level.side(), 1199 / k + 1);
        const QByteArray cells = levelCells(level, level.wholeTile());
        const QByteArray &hgt = source(kind, lat, lon);
        const QByteArray full = k <= 5 ? builderCells(hgt, lon, lat, k) : plainCells(hgt, lon, lat, k);
        const QByteArray expected = holes ? TestTiles::withHoles(full, k, TestTiles::borderHoles) : full;
        QVERIFY(holes ? expected.size() < full.size() : true);
        QCOMPARE(firstDifferentCell(cells, expected), -1);
        // A part of the level is the same cells, in the same order.
        const CellRange part{level.side() / 3, level.side() / 2 + 1, level.side() / 4, level.side() - 1};
        const QByteArray some = levelCells(level, part);
        QByteArray expectedPart;
        for (int c = part.column0; c < part.column1; ++c) {
            for (int r = part.row0; r < part.row1; ++r) {
                if (!holes || !TestTiles::leftOut(TestTiles::borderHoles, k, c, r))
                    expectedPart += full.mid((qsizetype(c) * level.side() + r) * 144, 144);
            }
        }
        QCOMPARE(firstDifferentCell(some, expectedPart), -1);
    }

    // The shared far edges change no vertex but the far ones where the
    // rounded edge misses the next cell's near edge, and close every such
    // gap: each column's far x and each row's far y is the next near one.
    void hairlineEdges_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("lat");
        QTest::addColumn<int>("lon");
        QTest::addColumn<bool>("eastGap"); // the stored last column misses the next tile
        QTest::newRow("q1 k1 N49E014") << 1 << 1 << 49 << 14 << false;
        QTest::newRow("q1 k5 N50E018") << 1 << 5 << 50 << 18 << false;
        QTest::newRow("q5 k5 N48E012") << 5 << 5 << 48 << 12 << false;
        QTest::newRow("q2 k2 N00E099") << 2 << 2 << 0 << 99 << false;
        QTest::newRow("q3 k3 N49E013") << 3 << 3 << 49 << 13 << true;
        QTest::newRow("q2 k6 N48E017") << 2 << 6 << 48 << 17 << true;
    }

    void hairlineEdges()
    {
        QFETCH(int, q);
        QFETCH(int, k);
        QFETCH(int, lat);
        QFETCH(int, lon);
        QFETCH(bool, eastGap);
        const TileGrid &g = grid(QStringLiteral("relief"), lat, lon, q);
        QVERIFY(!g.isNull());
        const TileLevel stored(g, k);
        const TileLevel shared(g, k, CellEdges::FarEdge::Shared);
        const int n = stored.side();
        int gapColumns = 0, gapRows = 0;
        // Bit for bit: QCOMPARE would call floats one step apart equal.
        const auto same = [](float a, float b) { return bitsOf(a) == bitsOf(b); };
        const CellEdges &sc = shared.columnEdges(), &sr = shared.rowEdges();
        const CellEdges &tc = stored.columnEdges(), &tr = stored.rowEdges();
        // The neighbouring tiles' first cells, at some other level.
        const CellEdges eastTile(lon + 1, 5 * k), northTile(lat + 1, 2 * k);
        for (int i = 0; i < n; ++i) {
            const bool last = i == n - 1;
            QVERIFY(same(sc.nearEdge(i), tc.nearEdge(i)) && same(sr.nearEdge(i), tr.nearEdge(i)));
            QVERIFY2(same(sc.farEdge(i), last ? eastTile.nearEdge(0) : tc.nearEdge(i + 1)), qPrintable(QString::number(i)));
            QVERIFY2(same(sr.farEdge(i), last ? northTile.nearEdge(0) : tr.nearEdge(i + 1)), qPrintable(QString::number(i)));
            gapColumns += !same(tc.farEdge(i), sc.farEdge(i));
            gapRows += !same(tr.farEdge(i), sr.farEdge(i));
        }
        qInfo("q%d k%d N%02dE%03d: %d of %d column and %d of %d row boundaries have a gap"
              " (the tile's own east and north edges counted in)", q, k, lat, lon, gapColumns, n, gapRows, n);
        QVERIFY(gapColumns + gapRows > 0); // else this test shows nothing
        QCOMPARE(!same(tc.farEdge(n - 1), eastTile.nearEdge(0)), eastGap);

        const QByteArray a = levelCells(stored, stored.wholeTile());
        const QByteArray b = levelCells(shared, shared.wholeTile());
        QCOMPARE(a.size(), b.size());
        const quint32 *wa = reinterpret_cast<const quint32 *>(a.constData());
        const quint32 *wb = reinterpret_cast<const quint32 *>(b.constData());
        qint64 changed = 0, expectedChanges = 0;
        for (int c = 0; c < n; ++c) {
            const bool xGap = stored.columnEdges().farEdge(c) != shared.columnEdges().farEdge(c);
            for (int r = 0; r < n; ++r) {
                const bool yGap = stored.rowEdges().farEdge(r) != shared.rowEdges().farEdge(r);
                const qsizetype base = (qsizetype(c) * n + r) * Cell;
                for (int w = 0; w < Cell; ++w) {
                    const int v = w / 6, slot = w % 6;
                    const bool farX = slot == 0 && (v == 1 || v == 4 || v == 5);
                    const bool farY = slot == 1 && (v == 2 || v == 3 || v == 4);
                    const bool mayChange = (farX && xGap) || (farY && yGap);
                    if (wa[base + w] != wb[base + w]) {
                        ++changed;
                        if (!mayChange)
                            QFAIL(qPrintable(QStringLiteral("cell %1,%2 word %3 changed").arg(c).arg(r).arg(w)));
                    }
                    expectedChanges += mayChange;
                }
            }
        }
        QCOMPARE(changed, expectedChanges);

        // In the drawn cells: the far x of every column (south-east corner)
        // is the next column's near x, the far y of every row (north-west
        // corner) the next row's near y.
        for (int i = 0; i + 1 < n; ++i) {
            const int r = i % n;
            QCOMPARE(wb[(qsizetype(i) * n + r) * Cell + 6], wb[(qsizetype(i + 1) * n + r) * Cell + 0]);
            const qsizetype cell = qsizetype(n - 1 - i) * n + i;
            QCOMPARE(wb[cell * Cell + 13], wb[(cell + 1) * Cell + 1]);
        }
    }

    // Painted through the painter view's drawing, zoomed in on a quantity-1
    // tile at many window sizes: the stored far edges leave white lines
    // between cells at some sizes, the shared ones at none.
    void hairlinesClosed_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<QRect>("window");
        QTest::addColumn<int>("tiles");  // N49E014, then its western neighbour
        QTest::addColumn<int>("width0"); // widths width0, width0 + 3, ... (201 of them)
        QTest::addColumn<int>("height"); // 0: four thirds of the width
        QTest::newRow("q1 inside a tile") << 1 << QRect(1450, 4920, 2, -2) << 1 << 100 << 0;
        QTest::newRow("q3 the seam of E013 and E014") << 3 << QRect(1399, 4952, 2, -1) << 2 << 1000 << 24;
    }

    void hairlinesClosed()
    {
        QFETCH(int, q);
        QFETCH(QRect, window);
        QFETCH(int, tiles);
        QFETCH(int, width0);
        QFETCH(int, height);
        const GeoBox area{window.x() / 100.0, (window.x() + window.width()) / 100.0,
                          (window.y() + window.height()) / 100.0, window.y() / 100.0};
        auto picture = [&](CellEdges::FarEdge edges, QSize size) {
            QVector<ColoredPolygon> polygons;
            for (int t = 0; t < tiles; ++t) {
                const TileGrid &g = grid(QStringLiteral("relief"), 49, 14 - t, q);
                const TileLevel level(g, q, edges);
                const QByteArray floats = levelCells(level, level.visibleCells(area));
                TilePolygons::appendTriangles(reinterpret_cast<const float *>(floats.constData()),
                                            floats.size() / 4, polygons);
            }
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            MapPainter().paint(painter, size, window, polygons, {}, false);
            return image;
        };
        const QRgb white = qRgb(255, 255, 255);
        int sizesWithLines = 0;
        for (int side = width0; side <= width0 + 600; side += 3) {
            const QSize size(side, height > 0 ? height : side + side / 3);
            const QImage stored = picture(CellEdges::FarEdge::Stored, size);
            const QImage shared = picture(CellEdges::FarEdge::Shared, size);
            int lines = 0;
            for (int y = 0; y < size.height(); ++y) {
                const QRgb *a = reinterpret_cast<const QRgb *>(stored.constScanLine(y));
                const QRgb *b = reinterpret_cast<const QRgb *>(shared.constScanLine(y));
                for (int x = 0; x < size.width(); ++x) {
                    // Only the pixels of the lines change.
                    if (a[x] == white)
                        ++lines;
                    else if (a[x] != b[x])
                        QFAIL(qPrintable(QStringLiteral("size %1: pixel %2,%3 changed").arg(side).arg(x).arg(y)));
                    if (b[x] == white)
                        QFAIL(qPrintable(QStringLiteral("size %1: pixel %2,%3 white").arg(side).arg(x).arg(y)));
                }
            }
            sizesWithLines += lines > 0;
        }
        qInfo("stored edges leave white lines at %d of 201 sizes", sizesWithLines);
        QVERIFY(sizesWithLines > 0); // else the sizes tried show nothing
    }

    // The cell under a map point is the triangle the painter's own lookup
    // finds there (the pointer readout's answer), and a cell's band is the
    // colour it is drawn in.
    void cellUnderPoint()
    {
        const int lat = 48, lon = 16;
        const TileGrid &g = grid(QStringLiteral("random"), lat, lon, 5);
        QVERIFY(!g.isNull());
        const TileLevel level(g, 5);
        const QByteArray floats = levelCells(level, level.wholeTile());
        QVector<ColoredPolygon> polygons;
        TilePolygons::appendTriangles(reinterpret_cast<const float *>(floats.constData()), floats.size() / 4,
                                    polygons);
        MapPainter painter;
        QRandomGenerator random(5);
        int inside = 0;
        for (int i = 0; i < 4000; ++i) {
            // Around the tile, a little beyond it on every side.
            const double x = lon - 0.01 + random.generateDouble() * 1.02;
            const double y = lat - 0.01 + random.generateDouble() * 1.02;
            const qsizetype triangle = painter.topmostAt(polygons, QPointF(100 * x, 100 * y));
            const int column = level.columnEdges().cellAt(x), row = level.rowEdges().cellAt(y);
            const qsizetype cell = column < 0 || row < 0 ? -1 : qsizetype(column) * level.side() + row;
            QCOMPARE(cell, triangle < 0 ? -1 : triangle / 2);
            if (cell >= 0) {
                ++inside;
                QCOMPARE(polygons[triangle].color, TilePolygons::colorOf(float(heightColors[level.band(column, row)].red / 255.0),
                                                                       float(heightColors[level.band(column, row)].green / 255.0),
                                                                       float(heightColors[level.band(column, row)].blue / 255.0)));
            }
        }
        QVERIFY(inside > 3000 && inside < 4000);
        // On the edge two cells share, the later one.
        const CellEdges &columns = level.columnEdges();
        QCOMPARE(columns.cellAt(columns.nearEdge(7)), 7);
        QCOMPARE(columns.cellAt(columns.farEdge(columns.count() - 1)), columns.count() - 1);
        QCOMPARE(columns.cellAt(std::nextafter(double(columns.nearEdge(0)), 0.0)), -1);
    }

    // The level a tile is drawn at for a view of widthPx x heightPx showing
    // the extent (degrees).
    void levelRule_data()
    {
        QTest::addColumn<int>("q");
        QTest::addColumn<int>("widthPx");
        QTest::addColumn<int>("heightPx");
        QTest::addColumn<double>("west");
        QTest::addColumn<double>("east");
        QTest::addColumn<double>("south");
        QTest::addColumn<double>("north");
        QTest::addColumn<int>("level");
        // The start-up extent, and the narrowest one the wheel reaches (nine steps in).
        const double s[4] = {11.0, 20.0, 48.3, 51.3};
        const double z[4] = {15.05, 15.95, 49.65, 49.95};
        const double z8[4] = {14.6, 16.4, 49.5, 50.1};
        auto row = [](const char *name, int q, int w, int h, const double *e, int level) {
            QTest::newRow(name) << q << w << h << e[0] << e[1] << e[2] << e[3] << level;
        };
        row("q1 start-up 1280x900", 1, 1280, 900, s, 5);
        row("q1 start-up 1280x1024", 1, 1280, 1024, s, 5);
        row("q1 start-up 1280x400 (the width still decides)", 1, 1280, 400, s, 5);
        row("q1 start-up 1280x300 (the height decides)", 1, 1280, 300, s, 6);
        row("q1 start-up 1920x1200", 1, 1920, 1200, s, 3);
        row("q1 start-up 1800x600 (chgt2png)", 1, 1800, 600, s, 3);
        row("q1 eight steps in 1280x900", 1, 1280, 900, z8, 1);
        row("q1 nine steps in 1280x900", 1, 1280, 900, z, 1);
        row("q2 start-up 1280x900", 2, 1280, 900, s, 6);
        row("q3 start-up 1280x900", 3, 1280, 900, s, 6);
        row("q4 start-up 1280x900", 4, 1280, 900, s, 8);
        row("q5 start-up 1080x900 (cells half a pixel)", 5, 1080, 900, s, 5);
        row("q5 start-up 1079x900", 5, 1079, 900, s, 10);
        row("q5 start-up 1280x1024", 5, 1280, 1024, s, 5);
        row("q5 start-up 1920x1200", 5, 1920, 1200, s, 5);
        row("q5 eight steps in 1080x700", 5, 1080, 700, z8, 5);
        row("q5 nine steps in 1080x700", 5, 1080, 700, z, 5);
        row("q1 a 100 px view", 1, 100, 100, s, 60);
        row("q1 a 2 px view: coarsest", 1, 2, 2, s, 1200);
        row("q5 a 1 px view: coarsest", 5, 1, 1, s, 1200);
    }

    void levelRule()
    {
        QFETCH(int, q);
        QFETCH(int, widthPx);
        QFETCH(int, heightPx);
        QFETCH(double, west);
        QFETCH(double, east);
        QFETCH(double, south);
        QFETCH(double, north);
        QFETCH(int, level);
        QCOMPARE(LevelChoice::levelFor(q, widthPx / (east - west), heightPx / (north - south)), level);
        // Not finer than its data, and what it picks divides 1200.
        QVERIFY(level % q == 0 && 1200 % level == 0);
    }

    // Painting only the cells a view can show gives the pixels of painting
    // the whole level, through the painter view's own drawing; and the
    // level the rule picks from a quantity-1 tile paints the picture of the
    // tile converted at that quantity.
    void visibleCellsPaintTheSame_data()
    {
        QTest::addColumn<int>("q");       // of the three tiles
        QTest::addColumn<QRect>("window"); // the painter's window, hundredths of a degree
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("level");   // the rule's choice there
        QTest::addColumn<bool>("cut");    // the view cuts the tiles
        QTest::newRow("q1 start-up") << 1 << QRect(1100, 5130, 900, -300) << QSize(1280, 900) << 5 << false;
        QTest::newRow("q1 three degrees") << 1 << QRect(1400, 5050, 300, -150) << QSize(800, 600) << 3 << true;
        QTest::newRow("q2 eight steps in") << 2 << QRect(1460, 5010, 180, -60) << QSize(1280, 900) << 2 << true;
        QTest::newRow("q2 corner of four cells") << 2 << QRect(1493, 5011, 14, -3) << QSize(701, 333) << 2 << true;
        QTest::newRow("q2 across the seam") << 2 << QRect(1480, 5030, 60, -70) << QSize(640, 480) << 2 << true;
        QTest::newRow("q2 beyond the tiles") << 2 << QRect(1700, 4930, 100, -50) << QSize(320, 240) << 2 << true;
    }

    void visibleCellsPaintTheSame()
    {
        QFETCH(int, q);
        QFETCH(QRect, window);
        QFETCH(QSize, size);
        QFETCH(int, level);
        QFETCH(bool, cut);
        const GeoBox area{window.x() / 100.0, (window.x() + window.width()) / 100.0,
                          (window.y() + window.height()) / 100.0, window.y() / 100.0};
        const QRectF degrees(QPointF(area.west, area.north), QPointF(area.east, area.south));
        QCOMPARE(LevelChoice::levelFor(q, size.width() / degrees.width(), size.height() / -degrees.height()), level);
        const std::pair<int, int> tiles[] = {{49, 14}, {49, 15}, {50, 14}};
        auto paint = [&](bool visibleOnly, qint64 *cells) {
            QVector<ColoredPolygon> polygons;
            for (const auto &[lat, lon] : tiles) {
                const TileLevel l(grid(QStringLiteral("relief"), lat, lon, q), level);
                const CellRange range = visibleOnly ? l.visibleCells(area) : l.wholeTile();
                *cells += range.cellCount();
                const QByteArray floats = levelCells(l, range);
                TilePolygons::appendTriangles(reinterpret_cast<const float *>(floats.constData()),
                                            floats.size() / 4, polygons);
            }
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            MapPainter().paint(painter, size, window, polygons, {}, false);
            return image;
        };
        qint64 all = 0, visible = 0;
        const QImage whole = paint(false, &all);
        const QImage part = paint(true, &visible);
        QVERIFY(whole == part);
        QVERIFY(cut ? visible < all : visible == all);
        if (window.x() == 1700)
            QCOMPARE(visible, qint64(0));

        // The same picture from the tiles converted at that level, read as
        // the views read them.
        if (level > 5)
            return;
        QVector<ColoredPolygon> polygons;
        for (const auto &[lat, lon] : tiles) {
            QByteArray floats;
            QVERIFY(ChgtTileReader::readTriangles(convertedFile(QStringLiteral("relief"), lat, lon, level), floats));
            TilePolygons::appendTriangles(reinterpret_cast<const float *>(floats.constData()),
                                        floats.size() / 4, polygons);
        }
        QImage converted(size, QImage::Format_RGB32);
        converted.fill(Qt::white);
        {
            QPainter painter(&converted);
            MapPainter().paint(painter, size, window, polygons, {}, false);
        }
        QVERIFY(converted == part);
    }
};

RZ_REGISTER_TEST(TileGridTest);
#include "tst_tilegrid.moc"
