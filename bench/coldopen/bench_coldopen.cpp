// Opening tiles that are not in the system's file cache, as a user does the
// day after they were made, in the real window (WindowRZ::openPaths, the
// open of "Otevřít...") at 1280 x 1024: the q = 1 country (21 tiles
// N48-N50 x E012-E018, 4.4 GB) and 200 q = 2 tiles (N44-N53 x E005-E024,
// 9.7 GB). Each cold open is compared with a cold `cat` of the same files
// in the same run, since a disk's speed drifts; warm opens too, and the
// open as it was before read-ahead and progress (OpenTiles::intoViews
// without progress, nothing fetched ahead), cold and warm. Measured in a
// fresh process each: the time from the open to the map on screen, memory
// held after it and at peak (VmRSS / VmHWM of the whole process), and when
// the progress bar appeared, in the OpenGL view and in the painter view.
//
// The files are dropped from the page cache before each cold measurement:
// with --drop all (root) the whole cache (`sync; echo 3 >
// /proc/sys/vm/drop_caches`), by default each file's own pages
// (POSIX_FADV_DONTNEED), which leaves other programs' cache alone. What
// stays cached is checked (mincore) and reported; where nothing can be
// dropped the benchmark says so.
//
//   bench_coldopen [--runs N] [--dir DIR] [--sets country1,tiles200] [--drop files|all] [--keep]
//
// The tiles are made under DIR (default benchtiles/ in the working
// directory) and deleted at the end unless --keep. One open alone, in this
// process, for series of one's own:
//   bench_coldopen --dir DIR --child SET [--painter] [--old | --no-read-ahead]
// Needs a display with OpenGL, e.g.
//   xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 bench_coldopen

#include "BenchSupport.h"
#include "DrawGLWdg.h"
#include "DrawQtWdg.h"
#include "OpenTiles.h"
#include "ReadAhead.h"
#include "WindowRZ.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

using BenchSupport::median;

QStringList tilesOf(const QString &set, const QString &root, bool make)
{
    QStringList files;
    if (set == QLatin1String("tiles200")) {
        const QDir dir(root + QStringLiteral("/tiles200"));
        QDir().mkpath(dir.path());
        for (int lat = 44; lat <= 53; ++lat)
            for (int lon = 5; lon <= 24; ++lon)
                files << (make ? BenchSupport::makeTile(dir, lat, lon, 2)
                               : dir.filePath(BenchSupport::tileName(lat, lon, "chgt")));
        return files;
    }
    const QDir dir(root + QStringLiteral("/country1"));
    QDir().mkpath(dir.path());
    if (make)
        return BenchSupport::countryTiles(dir, 1);
    for (int lat = 48; lat <= 50; ++lat)
        for (int lon = 12; lon <= 18; ++lon)
            files << dir.filePath(BenchSupport::tileName(lat, lon, "chgt"));
    return files;
}

qint64 bytesOf(const QString &set)
{
    return set == QLatin1String("tiles200") ? 200 * qint64(600 * 600) * 144 : 21 * qint64(1200 * 1200) * 144;
}

// Share of the files' pages in the page cache, 0..1; -1 where unknown.
double residentShare(const QStringList &files)
{
#ifdef Q_OS_LINUX
    const long page = sysconf(_SC_PAGESIZE);
    qint64 pages = 0, resident = 0;
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
            continue;
        uchar *map = file.map(0, file.size());
        if (!map)
            return -1;
        std::vector<unsigned char> in(size_t((file.size() + page - 1) / page));
        if (mincore(map, size_t(file.size()), in.data()) != 0)
            return -1;
        pages += qint64(in.size());
        for (unsigned char c : in)
            resident += c & 1;
        file.unmap(map);
    }
    return pages ? double(resident) / pages : 0.0;
#else
    Q_UNUSED(files);
    return -1;
#endif
}

// Drops the files from the page cache; says how, or that it cannot.
QString dropCache(const QStringList &files, bool all)
{
#ifdef Q_OS_LINUX
    sync();
    if (all) {
        QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
        if (drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2) {
            drop.close();
            return QStringLiteral("drop_caches");
        }
    }
    for (const QString &path : files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        fdatasync(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    return QStringLiteral("fadvise");
#else
    Q_UNUSED(files);
    Q_UNUSED(all);
    return QString();
#endif
}

double catMs(const QStringList &files)
{
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cat.start(QStringLiteral("cat"), files);
    if (!cat.waitForFinished(-1) || cat.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

void glFinishIn(DrawGLWdg &gl)
{
    gl.makeCurrent();
    QOpenGLContext::currentContext()->functions()->glFinish();
    gl.doneCurrent();
}

// One open in a fresh window: "new" through openPaths, "old" as the open
// was before (no read-ahead, no progress, the files read by this thread
// too). Prints its figures on one line.
int child(const QStringList &files, bool painter, bool old, bool readAhead)
{
    if (old || !readAhead)
        ReadAhead::setEnabled(false);
    WindowRZ window;
    window.resize(1280, 1024);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    DrawQtWdg *qt = window.findChild<DrawQtWdg *>();
    DrawGLWdg *gl = window.findChild<DrawGLWdg *>();
    QAction *showQt = window.findChild<QAction *>(QStringLiteral("actionShowQtWdg"));
    QProgressBar *bar = window.findChild<QProgressBar *>(QStringLiteral("progressBarOpen"));
    if (!qt || !gl || !showQt || !bar)
        return 1;
    const bool haveGl = !painter && gl->isVisible();
    if (!haveGl)
        showQt->trigger();
    QTest::qWait(200);
    const qint64 emptyKb = BenchSupport::statusKb("VmRSS");

    QSignalSpy painted(haveGl ? static_cast<QObject *>(gl) : qt, SIGNAL(sProgress(int)));
    QElapsedTimer clock;
    // When the bar first shows: timers run while the open waits.
    double barMs = -1;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (barMs < 0 && bar->isVisible())
            barMs = clock.nsecsElapsed() / 1e6;
    });
    watch.start();
    clock.start();
    if (old) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        OpenTiles::intoViews(files, *qt, *gl);
        QApplication::restoreOverrideCursor();
    } else {
        window.openPaths(files);
    }
    if (painted.isEmpty() && !painted.wait(120000))
        return 1;
    if (haveGl)
        glFinishIn(*gl);
    const double openMs = clock.nsecsElapsed() / 1e6;
    watch.stop();
    // What the open left queued (deferred deletes, repaints, the window
    // handing back freed memory) runs first.
    QTest::qWait(WindowRZ::HandBackAfterMs + 300);
    std::printf("open=%.1f empty=%lld held=%lld peak=%lld bar=%.1f grids=%d\n", openMs, emptyKb,
                BenchSupport::statusKb("VmRSS"), BenchSupport::statusKb("VmHWM"), barMs,
                qt->mapContent().gridCount());
    std::fflush(stdout);
    return qt->mapContent().gridCount() == files.size() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 3;
    QString root = QDir::current().filePath(QStringLiteral("benchtiles"));
    QString childSet;
    QStringList sets{"country1", "tiles200"};
    bool dropAll = false, keep = false, painter = false, old = false, readAhead = true;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i] == QLatin1String("--painter"))
            painter = true;
        else if (args[i] == QLatin1String("--old"))
            old = true;
        else if (args[i] == QLatin1String("--no-read-ahead"))
            readAhead = false;
        if (i + 1 == args.size())
            break;
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--dir"))
            root = args[i + 1];
        else if (args[i] == QLatin1String("--child"))
            childSet = args[i + 1];
        else if (args[i] == QLatin1String("--sets"))
            sets = args[i + 1].split(QLatin1Char(','));
        else if (args[i] == QLatin1String("--drop"))
            dropAll = args[i + 1] == QLatin1String("all");
    }
    if (!childSet.isEmpty())
        return child(tilesOf(childSet, root, false), painter, old, readAhead);

    // Room for the tiles first: they are large.
    QDir().mkpath(root);
    qint64 needed = 0;
    for (const QString &set : sets) {
        for (const QString &path : tilesOf(set, root, false))
            if (!QFile::exists(path))
                needed += bytesOf(set) / (set == QLatin1String("tiles200") ? 200 : 21);
    }
    const qint64 available = QStorageInfo(root).bytesAvailable();
    if (needed + (qint64(2) << 30) > available) {
        std::fprintf(stderr, "%s has %.1f GB free, the tiles need %.1f GB more (and 2 GB to spare)\n",
                     qPrintable(root), available / 1e9, needed / 1e9);
        return 1;
    }
    std::map<QString, QStringList> tiles;
    for (const QString &set : sets)
        tiles[set] = tilesOf(set, root, true); // made before any timing

    struct Kind
    {
        const char *name;
        bool cold, painter, old;
    };
    const Kind kinds[] = {{"cold", true, false, false},
                          {"cold-old", true, false, true},
                          {"cold-painter", true, true, false},
                          {"warm-first", false, false, false},
                          {"warm", false, false, false},
                          {"warm-old", false, false, true}};
    const QRegularExpression field(QStringLiteral("(\\w+)=(-?[0-9.]+)"));
    std::map<QString, std::map<QString, std::vector<double>>> figures;
    QString dropMethod;
    double worstResident = 0;
    const auto drop = [&](const QStringList &files) {
        dropMethod = dropCache(files, dropAll);
        worstResident = std::max(worstResident, residentShare(files));
    };
    for (int r = 0; r < runs; ++r) {
        for (const QString &set : sets) {
            const QStringList &files = tiles[set];
            auto &f = figures[set];
            drop(files);
            f["cat"].push_back(catMs(files));
            f["catwarm"].push_back(catMs(files));
            // The first open after the cold ones finds the memory they freed
            // handed back to this machine's host, and takes up to twice as
            // long: it is not counted ("warm-first"). The two warm opens
            // counted take turns at going first.
            std::vector<Kind> order(std::begin(kinds), std::end(kinds));
            if (r % 2 == 1)
                std::swap(order[4], order[5]);
            for (const Kind &kind : order) {
                if (kind.cold)
                    drop(files);
                QStringList childArgs{"--dir", root, "--child", set};
                if (kind.painter)
                    childArgs << "--painter";
                if (kind.old)
                    childArgs << "--old";
                QProcess process;
                process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                process.start(QCoreApplication::applicationFilePath(), childArgs);
                process.waitForFinished(-1);
                const QString out = QString::fromLatin1(process.readAllStandardOutput());
                if (process.exitCode() != 0 || !out.contains(QLatin1String("grids="))) {
                    std::fprintf(stderr, "the %s %s run failed: %s\n", qPrintable(set), kind.name,
                                 qPrintable(out));
                    return 1;
                }
                for (auto it = field.globalMatch(out); it.hasNext();) {
                    const QRegularExpressionMatch m = it.next();
                    f[QString::fromLatin1(kind.name) + QLatin1Char('.') + m.captured(1)].push_back(
                        m.captured(2).toDouble());
                }
            }
            std::printf("run %d %s: cat %.0f ms, cold open %.0f ms (%.2f x cat), before read-ahead %.0f ms; "
                        "warm open %.0f ms, before %.0f ms\n",
                        r + 1, qPrintable(set), f["cat"].back(), f["cold.open"].back(),
                        f["cold.open"].back() / f["cat"].back(), f["cold-old.open"].back(),
                        f["warm.open"].back(), f["warm-old.open"].back());
            std::fflush(stdout);
        }
    }

    std::printf("\nbench_coldopen: WindowRZ at 1280x1024, the OpenGL view unless said, medians of %d runs, "
                "a fresh process per open\n", runs);
    if (dropMethod.isEmpty())
        std::printf("the page cache cannot be dropped here: the cold figures are not cold\n");
    else
        std::printf("page cache dropped by %s before each cold figure; at most %.1f %% of the files' pages "
                    "stayed cached%s\n",
                    dropMethod == QLatin1String("fadvise") ? "POSIX_FADV_DONTNEED per file" : "drop_caches",
                    worstResident * 100,
                    worstResident > 0.05 ? " (so the cold figures are partly warm)" : "");
    std::printf("\n%-9s %8s %8s | %9s %6s %9s | %9s %9s | %8s %8s | %11s %11s | %8s %8s\n", "set", "cat ms",
                "warm cat", "cold open", "÷ cat", "before", "warm open", "before", "held MB", "peak MB",
                "before held", "before peak", "bar ms GL", "bar ms Qt");
    for (const QString &set : sets) {
        auto &f = figures[set];
        const auto m = [&](const char *key) { return median(f[QLatin1String(key)]); };
        std::vector<double> ratios;
        for (size_t i = 0; i < f["cat"].size(); ++i)
            ratios.push_back(f["cold.open"][i] / f["cat"][i]);
        std::printf("%-9s %8.0f %8.0f | %9.0f %6.2f %9.0f | %9.0f %9.0f | %8.0f %8.0f | %11.0f %11.0f | %8.0f %8.0f\n",
                    qPrintable(set), m("cat"), m("catwarm"), m("cold.open"), median(ratios),
                    m("cold-old.open"), m("warm.open"), m("warm-old.open"), m("warm.held") / 1024,
                    m("warm.peak") / 1024, m("warm-old.held") / 1024, m("warm-old.peak") / 1024,
                    m("cold.bar"), m("cold-painter.bar"));
        std::printf("%-9s cold open ÷ cat per run:", "");
        for (double ratio : ratios)
            std::printf(" %.2f", ratio);
        std::printf("; cold held/peak %.0f/%.0f MB, before %.0f/%.0f MB; painter view cold open %.0f ms\n",
                    m("cold.held") / 1024, m("cold.peak") / 1024, m("cold-old.held") / 1024,
                    m("cold-old.peak") / 1024, m("cold-painter.open"));
    }
    if (!keep) {
        for (const QString &set : sets)
            QDir(root + QLatin1Char('/') + set).removeRecursively();
    }
    return 0;
}
