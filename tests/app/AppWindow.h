#pragma once

#include "ModalDriver.h"
#include "ViewTesting.h"
#include "WindowRZ.h"

using namespace ViewTesting;

inline QStringList logLines()
{
    return QString::fromUtf8(TestTiles::fileBytes("log.txt")).split('\n', Qt::SkipEmptyParts);
}

// The view as the screen shows it, not as it would paint now.
inline QImage onScreen(QWidget *view)
{
    const QRect r(view->mapTo(view->window(), QPoint(0, 0)), view->size());
    const QPixmap shot = view->screen()->grabWindow(view->window()->winId(), r.x(), r.y(), r.width(), r.height());
    return shot.toImage().convertToFormat(QImage::Format_RGB32);
}

// What a view paints now, in either view.
inline QImage pictureOf(QWidget *view)
{
    auto *gl = qobject_cast<DrawGLWdg *>(view);
    return (gl ? gl->grabFramebuffer() : view->grab().toImage()).convertToFormat(QImage::Format_RGB32);
}

// Drags the files (or URLs) over the window and drops them there; whether
// both were taken.
inline bool dropOn(QWidget *window, const QStringList &places)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : places)
        urls << QUrl::fromUserInput(p);
    mime.setUrls(urls);
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

inline QAction *actionOf(const QWidget &w, const char *name)
{
    return w.findChild<QAction *>(name);
}

// Page 0 is the painter view, page 1 the OpenGL view.
inline QWidget *viewOf(const QWidget &w, int page)
{
    return w.findChild<QStackedWidget *>("stackedWidget")->widget(page);
}

// Shows page 0 (painter) or 1 (OpenGL) by its action; the view once exposed.
inline QWidget *showPage(WindowRZ &w, int page)
{
    actionOf(w, page ? "actionShowGLWdg" : "actionShowQtWdg")->trigger();
    return QTest::qWaitForWindowExposed(viewOf(w, page)) ? viewOf(w, page) : nullptr;
}

// The window a view shows, in degrees (the painter view counts hundredths).
inline ViewExtent degreesOf(int page)
{
    return page ? DrawGLWdg::viewExtent() : ViewExtentMath::scaled(DrawQtWdg::viewExtent(), 0.01);
}

// "Otevřít..." with the files named in its dialog.
inline void openByMenu(WindowRZ &w, const QStringList &files)
{
    ModalDriver opening({ModalDriver::chooseFiles(files)});
    actionOf(w, "actionOpenFiles")->trigger();
}

// "Import..." of the files into out at quantity q, accepted.
inline void importByMenu(WindowRZ &w, const QStringList &files, const QString &out, int q)
{
    ModalDriver driver({ModalDriver::chooseFiles(files), ModalDriver::answerImport(out, q, "pushButtonImport")});
    actionOf(w, "actionImportFiles")->trigger();
}

// Tiles N49E010.hgt on, n of them, of one height in dir, and last the tile
// later/N50E016.hgt: a run's files and one for a later import.
inline QStringList runFiles(const QString &dir, int n, qint16 height)
{
    QStringList files;
    for (int lon = 10; lon < 10 + n; ++lon)
        files << QStringLiteral("%1/N49E0%2.hgt").arg(dir).arg(lon);
    files << dir + "/later/N50E016.hgt";
    bool saved = QDir(dir).mkpath("later");
    for (const QString &file : std::as_const(files))
        saved = saved && HgtTileGenerator(height).save(file);
    return saved ? files : QStringList();
}

// The import a user accepted just before a run made "Import..." wait for
// it: the command as the menu would give it, answered by the handler.
inline QStringList importDespiteRun(WindowRZ &w, const QStringList &files, const ModalDriver::Handler &answer)
{
    ModalDriver driver({ModalDriver::chooseFiles(files), answer});
    QMetaObject::invokeMethod(&w, "importHgtFiles");
    return driver.seen;
}

// Holds a conversion on its own thread when it takes the given file, so a
// test acts while the run certainly goes on. The worker announces each
// file with its progress value, under the lock that hands out files, so no
// other file is taken meanwhile. It is let go by open(), by the gate's end,
// or once the run is asked to stop.
class RunGate
{
public:
    RunGate(const ConvertHgt &worker, int file, int files) : state(std::make_shared<State>())
    {
        // The worker is the context, and the state is shared: an emission
        // racing with the gate's end touches nothing that is gone.
        connection = QObject::connect(&worker, &ConvertHgt::sProgress, &worker,
            [s = state, w = &worker, value = int(100 * qint64(file) / files)](int percent) {
                s->values.fetch_add(1);
                if (percent != value || s->held.exchange(true))
                    return;
                const QDeadlineTimer bound(Waits::Conversion);
                while (!s->gate.tryAcquire(1, 2) && !bound.hasExpired() && !w->isInterruptionRequested()) {
                }
            }, Qt::DirectConnection);
    }
    ~RunGate()
    {
        QObject::disconnect(connection);
        open();
    }

    bool isHolding() const { return state->held; }
    int filesTaken() const { return state->values; }
    void open() { state->gate.release(); }

private:
    struct State
    {
        QSemaphore gate;
        std::atomic<bool> held{false};
        std::atomic<int> values{0};
    };
    std::shared_ptr<State> state;
    QMetaObject::Connection connection;
};
