#include "TestRegistry.h"

#include "CommandLine.h"
#include "FileDropFilter.h"
#include "FileRouting.h"

#include <QtTest>

// args, action, files ("@" is the current directory), a part of the text
using Parse = std::tuple<QStringList, CommandLine::Action, QStringList, QString>;
// args, exit code, the start of standard output (lines simplified), a part of standard error
using Run = std::tuple<QStringList, int, QString, QString>;
Q_DECLARE_METATYPE(Parse)
Q_DECLARE_METATYPE(Run)

// Which file goes where, and rzmap's own command line, by the parsing
// function and by the real program.
class FileRoutingTest : public QObject
{
    Q_OBJECT

private slots:
    // Each path after the list it goes to: 't' tiles, 's' sources, '?' unknown.
    void routes_data()
    {
        QTest::addColumn<QStringList>("routed");
        QTest::newRow("mixed, order kept") << QStringList{"t/a/N50E014.chgt", "s/a/N49E014.hgt", "?/a/notes.txt",
                                                          "t/b/N49E013.chgt", "s/b/M33.zip",
                                                          "s/b/N50E014.SRTMGL1.hgt.zip"};
        QTest::newRow("upper case suffixes") << QStringList{"t/x/N49E014.CHGT", "s/x/N49E014.HGT", "s/x/M33.ZIP"};
        QTest::newRow("elevation rasters, any name")
            << QStringList{"s/d/dmr5g.tif", "t/d/N49E014.chgt", "s/d/Copernicus_DSM_10_N49_00_E014_00_DEM.TIF",
                           "s/d/mosaic.vrt", "s/d/eu.tiff", "s/d/grid.asc", "s/d/model.img", "?/d/shade.png"};
        QTest::newRow("suffix of a folder, not of the name")
            << QStringList{"?/tiles.chgt/readme", "?/srtm.zip/", "?/x/N49E014.chgt.bak", "?/x/N49E014.hgt.gz",
                           "?/dem.tif/readme", "?/x/dem.tif.aux.xml"};
    }

    void routes()
    {
        QFETCH(QStringList, routed);
        QStringList paths, tiles, sources, unknown;
        for (const QString &r : routed) {
            paths << r.mid(1);
            (r[0] == 't' ? tiles : r[0] == 's' ? sources : unknown) << paths.last();
        }
        const FileRouting r = FileRouting::of(paths);
        QCOMPARE(r.tiles, tiles);
        QCOMPARE(r.sources, sources);
        QCOMPARE(r.unknown, unknown);
        QCOMPARE(r.hasWork(), !tiles.isEmpty() || !sources.isEmpty());
    }

    // A drag carries URLs: only local files count.
    void dropsCarryLocalFiles()
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/d/N49E014.chgt"), QUrl("https://example.org/N50E014.chgt"),
                      QUrl::fromLocalFile("/d/a b/N49E015.hgt")});
        QCOMPARE(FileDropFilter::localFiles(&data), (QStringList{"/d/N49E014.chgt", "/d/a b/N49E015.hgt"}));
        QMimeData text;
        text.setText("/d/N49E014.chgt");
        QCOMPARE(FileDropFilter::localFiles(&text), QStringList());
    }

    void commandLine_data()
    {
        QTest::addColumn<Parse>("parse");
        const auto run = CommandLine::Action::Run;
        QTest::newRow("no files") << Parse{{}, run, {}, {}};
        QTest::newRow("files made absolute, in order")
            << Parse{{"tiles/N49E014.chgt", "/data/N50E014.hgt", "../x/M33.zip", "file:///u/N49E015.chgt"}, run,
                     {"@/tiles/N49E014.chgt", "/data/N50E014.hgt", "@/../x/M33.zip", "/u/N49E015.chgt"}, {}};
        QTest::newRow("a file named like an option, after --") << Parse{{"--", "--help"}, run, {"@/--help"}, {}};
        // Help, the version and mistakes alone: realProgram.
        QTest::newRow("help beside a mistake") << Parse{{"-x", "-h"}, CommandLine::Action::ShowHelp, {}, "--version"};
    }

    void commandLine()
    {
        QFETCH(Parse, parse);
        auto [args, action, files, text] = parse;
        const CommandLine c = CommandLine::parse(QStringList{"rzmap"} + args);
        QCOMPARE(c.action, action);
        for (QString &f : files)
            f = QDir::cleanPath(f.replace("@", QDir::currentPath()));
        QCOMPARE(c.files, files);
        QVERIFY2(c.text.contains(text), qPrintable(c.text));
    }

    // The real program answers help and version without any display, and
    // a mistake with exit code 2 on standard error; every line of the help
    // is Czech on a system set to English, Qt's help options too.
    void realProgram_data()
    {
        QTest::addColumn<Run>("run");
        const QString usage = "Použití: " RZMAP_PATH " [volby] [SOUBOR...]\n", version = "rzmap " RZMAP_VERSION "\n";
        QTest::newRow("--help")
            << Run{{"--help"}, 0, usage +
                   "Zobrazuje výšková data jako barevnou výškovou mapu a převádí dlaždice HGT na dlaždice CHGT.\n"
                   "Zadané dlaždice CHGT otevře v obou mapových pohledech; dlaždice HGT a jejich archivy zip\n"
                   "nabídne k importu.\n\nVolby:\n"
                   "-h, --help Zobrazit nápovědu k volbám příkazového řádku.\n"
                   "--help-all Zobrazit nápovědu včetně voleb knihovny Qt.\n"
                   "-v, --version Zobrazit informace o verzi.\n\nArgumenty:\n"
                   "soubory Dlaždice CHGT k otevření, HGT a archivy zip k importu.\n", ""};
        QTest::newRow("-h with a file") << Run{{"N49E014.chgt", "-h"}, 0, usage, ""};
        QTest::newRow("--help-all") << Run{{"--help-all"}, 0, usage, ""};
        QTest::newRow("--version beside a file") << Run{{"a.chgt", "--version"}, 0, version, ""};
        QTest::newRow("-v after a toolkit option") << Run{{"-platform", "xcb", "-v"}, 0, version, ""};
        QTest::newRow("unknown option")
            << Run{{"--frobnicate"}, 2, "", "rzmap: Neznámá volba 'frobnicate'.\nNápovědu vypíše 'rzmap --help'.\n"};
    }

    void realProgram()
    {
        QFETCH(Run, run);
        const auto &[args, exitCode, out, err] = run;
        QProcess rzmap;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            env.remove(name);
        env.insert("LANG", "C");
        // No display at all, unless the mistake needs the window system.
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            if (exitCode == 0)
                env.remove(name);
        rzmap.setProcessEnvironment(env);
        rzmap.start(RZMAP_PATH, args);
        QVERIFY(rzmap.waitForFinished(60000));
        QCOMPARE(rzmap.exitStatus(), QProcess::NormalExit);
        QCOMPARE(rzmap.exitCode(), exitCode);
        QStringList lines;
        for (const QString &line : QString::fromUtf8(rzmap.readAllStandardOutput()).split('\n'))
            lines << line.simplified();
        const QString stdOut = lines.join('\n'), stdErr = QString::fromUtf8(rzmap.readAllStandardError());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
    }
};

RZ_REGISTER_TEST(FileRoutingTest);
#include "tst_filerouting.moc"
