#include "TestRegistry.h"
#include "AppWindow.h"

#include "OpenProgress.h"
#include "TileReading.h"

#include <atomic>
#include <map>
#include <memory>

namespace {

// Holds the reading of chosen files on the threads that open them, each
// until the test lets it go, so a test acts while an open certainly goes
// on. A file is let go by release(), by the gate's end, or after the bound
// of a conversion's wait, so a failing test ends instead of hanging.
class OpenGate
{
public:
    explicit OpenGate(const QStringList &held) : files(std::make_shared<Files>())
    {
        for (const QString &path : held)
            (*files)[path];
        TileReading::setOpenHook([f = files](const QString &path) {
            const auto it = f->find(path);
            if (it == f->end())
                return;
            it->second.holding = true;
            it->second.gate.tryAcquire(1, Waits::Conversion);
            it->second.holding = false;
        });
    }
    ~OpenGate()
    {
        TileReading::setOpenHook(nullptr);
        for (auto &file : *files)
            file.second.gate.release();
    }

    bool isHolding(const QString &path) const { return files->at(path).holding; }
    void release(const QString &path) { files->at(path).gate.release(); }

private:
    struct File
    {
        QSemaphore gate;
        std::atomic<bool> holding{false};
    };
    // Made whole before the hook is set, read-only afterwards.
    using Files = std::map<QString, File>;
    std::shared_ptr<Files> files;
};

// Lines of the files' paths in the list of this process's mappings, and
// descriptors open on them (where the system lists them in /proc).
QStringList heldOpen(const QString &dir)
{
    QStringList held;
    for (const QByteArray &line : TestTiles::fileBytes("/proc/self/maps").split('\n'))
        if (line.contains(QFile::encodeName(dir)))
            held << QString::fromLocal8Bit(line);
    for (const QFileInfo &fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget().startsWith(dir))
            held << fd.symLinkTarget();
    return held;
}

} // namespace

// A long open ("Otevřít...", a drop, the command line) shows how far it has
// got and still blocks the window: the map stays as it was until the end,
// nothing the user does starts anything, and afterwards the picture and
// what is held are those of any open.
class OpenProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void barWhenWorthIt_data()
    {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("done");
        QTest::addColumn<bool>("shows");
        QTest::newRow("before half a second") << 499 << 0 << false;
        QTest::newRow("a timer a little early") << 475 << 27 << false;
        QTest::newRow("nothing in yet") << 500 << 0 << true;
        QTest::newRow("half way") << 500 << 100 << true;
        QTest::newRow("0.2 s to go") << 500 << 142 << true;
        QTest::newRow("one file to go") << 500 << 199 << false;
        QTest::newRow("still one to go") << 899 << 199 << false;
        QTest::newRow("by the deadline") << 900 << 199 << true;
    }

    // Of 200 files: an open about to end shows no bar that would only flash.
    // A look that shows none comes again at the next point, also when its
    // timer came a little early.
    void barWhenWorthIt()
    {
        QFETCH(int, elapsedMs);
        QFETCH(int, done);
        QFETCH(bool, shows);
        QCOMPARE(OpenProgress::showsBar(elapsedMs, done, 200), shows);
        if (!shows)
            QCOMPARE(elapsedMs + OpenProgress::nextLookInMs(elapsedMs),
                     elapsedMs < OpenProgress::ShowAfterMs ? OpenProgress::ShowAfterMs : OpenProgress::ShowByMs);
    }

    // Files taken without a wait for them (read ahead of the window) still
    // let the window's timers run between them: the bar's among them.
    void timersBetweenFiles()
    {
        QStatusBar statusBar;
        OpenProgress progress(&statusBar);
        int fired = 0;
        progress.filesOpened(0, 3);
        QTimer::singleShot(0, this, [&] { ++fired; });
        progress.filesOpened(1, 3);
        QCOMPARE(fired, 1);
        progress.filesOpened(3, 3);
        progress.finish();
    }

    // An open held on its last file looks about to end at first, and still
    // shows its bar by the deadline.
    void lastFileHeld()
    {
        QTemporaryDir dir;
        QStringList files;
        for (const qint16 height : {150, 350, 700, 1500})
            files << constantTile(dir.path(), QStringLiteral("N49E0%1").arg(14 + files.size()), height);
        resetViews();
        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *bar = w.findChild<QProgressBar *>("progressBarOpen");
        OpenGate gate({files[3]});
        bool shown = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            // The bar may have come earlier on a busy machine; its figure
            // catches up within a second.
            if (!shown && bar->isVisible() && gate.isHolding(files[3])
                && bar->text() == QStringLiteral("Otevírání: 3 z 4 souborů")) {
                shown = true;
                gate.release(files[3]);
            }
        });
        poll.start();
        w.openPaths(files);
        QVERIFY(shown);
        QVERIFY(!bar->isVisible());
    }

    void longOpen_data()
    {
        QTest::addColumn<bool>("painter");
        QTest::newRow("OpenGL view") << false;
        QTest::newRow("painter view") << true;
    }

    void longOpen()
    {
        QFETCH(bool, painter);
        QTemporaryDir dir;
        QStringList files;
        for (const qint16 height : {150, 350, 700, 1500})
            files << constantTile(dir.path(), QStringLiteral("N49E0%1").arg(14 + files.size()), height);
        QVERIFY(!files.contains(QString()));
        resetViews();
        const qsizetype logBefore = logLines().size();

        WindowRZ w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1000, 700);
        QTRY_COMPARE_WITH_TIMEOUT(w.size(), QSize(1000, 700), Waits::Event);
        auto *qtView = qobject_cast<DrawQtWdg *>(viewOf(w, 0));
        QWidget *view = showPage(w, painter ? 0 : 1);
        QVERIFY(view);
        auto *bar = w.findChild<QProgressBar *>("progressBarOpen");
        QVERIFY(!bar->isVisible());
        auto *toolBar = w.findChild<QToolBar *>("mainToolBar");
        const QSize viewSize = view->size();
        const ViewExtent extent = DrawQtWdg::viewExtent();

        // What the user tries while the open is held: a tool-bar button,
        // the menu, a map key, the wheel and a file dropped on the window.
        bool popupSeen = false;
        const auto tryInput = [&] {
            QTest::mouseClick(toolBar->widgetForAction(actionOf(w, painter ? "actionShowGLWdg" : "actionShowQtWdg")),
                              Qt::LeftButton);
            QTest::mouseClick(toolBar->widgetForAction(actionOf(w, "actionRepaint")), Qt::LeftButton);
            QMenuBar *menus = w.menuBar();
            QTest::mouseClick(menus, Qt::LeftButton, {}, menus->actionGeometry(menus->actions().constFirst()).center());
            popupSeen = QApplication::activePopupWidget() != nullptr;
            if (popupSeen)
                QApplication::activePopupWidget()->close();
            QTest::keyClick(view, Qt::Key_Right);
            const QPointF c(view->width() / 2, view->height() / 2);
            QWheelEvent in(c, view->mapToGlobal(c), {}, {0, 120}, {}, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view, &in);
            dropOn(&w, {files[0]});
            // Reason enough to paint the view again.
            view->update();
        };

        // Files 1 to 3 are held as they are read, each until the bar says
        // the files before it are in.
        const auto barText = [](int k) { return QStringLiteral("Otevírání: %1 z 4 souborů").arg(k); };
        auto gate = std::make_unique<OpenGate>(QStringList{files[1], files[2], files[3]});
        QStringList shown;
        QImage first, held;
        bool sizeKept = true, waitCursor = true, inputTried = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (first.isNull())
                first = onScreen(view);
            sizeKept = sizeKept && view->size() == viewSize;
            waitCursor = waitCursor && QApplication::overrideCursor()
                         && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            if (!bar->isVisible())
                return;
            if (shown.isEmpty() || shown.constLast() != bar->text())
                shown << bar->text();
            for (int k = 1; k < 4; ++k) {
                if (!gate->isHolding(files[k]) || bar->text() != barText(k))
                    continue;
                if (!inputTried) {
                    inputTried = true;
                    tryInput();
                } else if (held.isNull()) {
                    held = onScreen(view);
                }
                gate->release(files[k]);
            }
        });
        poll.start();
        {
            const ModalDriver noDialog(QList<ModalDriver::Handler>{});
            w.openPaths(files);
        }
        // The files' picture is on the screen as the open returns.
        QVERIFY(!first.isNull() && onScreen(view) != first);
        poll.stop();
        gate.reset();

        // The bar came, counted the files in one by one, and went.
        if (shown.value(0) == barText(0))
            shown.removeFirst();
        if (shown.value(shown.size() - 1) == barText(4))
            shown.removeLast();
        QCOMPARE(shown, (QStringList{barText(1), barText(2), barText(3)}));
        QVERIFY(!bar->isVisible() && !QApplication::overrideCursor() && waitCursor);

        // Meanwhile the map stayed as it was, and nothing started.
        QVERIFY(inputTried && !held.isNull() && sizeKept && !popupSeen && held == first);
        QCOMPARE(w.findChild<QStackedWidget *>("stackedWidget")->currentWidget(), view);
        QVERIFY(DrawQtWdg::viewExtent() == extent);
        QCOMPARE(logLines().size(), logBefore);
        QCOMPARE(qtView->mapContent().gridCount(), 4); // the drop opened nothing
        QCOMPARE(w.findChild<DrawGLWdg *>()->tileCount(), 4);

        // The picture and what is held are those of an open nobody waited for.
        QCOMPARE(qtView->mapContent().gridBytes(), qint64(4 * 240 * 240));
        QCOMPARE(heldOpen(dir.path()), QStringList());
        QCOMPARE(view->size(), viewSize);
        WindowRZ plain;
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        plain.resize(w.size());
        QTRY_COMPARE_WITH_TIMEOUT(plain.size(), w.size(), Waits::Event);
        if (painter)
            actionOf(plain, "actionShowQtWdg")->trigger();
        // There the last file is asked for while the second is held, as a
        // drop accepted just before the open began: it opens after the
        // others, on top.
        bool asked = false;
        gate = std::make_unique<OpenGate>(QStringList{files[1]});
        QTimer ask;
        ask.setInterval(10);
        connect(&ask, &QTimer::timeout, this, [&] {
            if (!asked && gate->isHolding(files[1])) {
                asked = true;
                plain.openPaths({files[3]});
                gate->release(files[1]);
            }
        });
        ask.start();
        plain.openPaths(files.first(3));
        gate.reset();
        QVERIFY(asked && !QApplication::overrideCursor());
        QVERIFY(!plain.findChild<QProgressBar *>("progressBarOpen")->isVisible());
        QList<int> order;
        for (const MapContent::Entry &e : plain.findChild<DrawQtWdg *>()->mapContent().entries())
            order << (e.grid ? e.grid->lon() : -1);
        QCOMPARE(order, (QList<int>{14, 15, 16, 17}));
        QCOMPARE(plain.findChild<DrawGLWdg *>()->tileCount(), 4);
        QVERIFY(pictureOf(view) == pictureOf(plain.findChild<QStackedWidget *>("stackedWidget")->currentWidget()));
    }
};

RZ_REGISTER_TEST(OpenProgressTest);
#include "tst_openprogress.moc"
