#include "OpenProgress.h"

#include "RepaintNow.h"

#include <QApplication>
#include <QEvent>
#include <QFutureWatcher>
#include <QProgressBar>
#include <QStatusBar>

OpenProgress::OpenProgress(QStatusBar *statusBar)
    : QObject(statusBar), bar(new QProgressBar(statusBar))
{
    bar->setObjectName(QStringLiteral("progressBarOpen"));
    bar->setFormat(QStringLiteral("Otevírání: %v z %m souborů"));
    bar->setTextVisible(true);
    bar->setAccessibleName(QStringLiteral("Průběh otevírání"));
    bar->setMinimumWidth(bar->fontMetrics().horizontalAdvance(bar->format()) + 40);
    // Never taller than the status bar is without it: the map keeps its size.
    bar->setMaximumHeight(statusBar->sizeHint().height());
    statusBar->insertPermanentWidget(0, bar);
    bar->hide();

    showTimer.setSingleShot(true);
    // A coarse timer may fire a little early, which would put the bar off
    // to the second look.
    showTimer.setTimerType(Qt::PreciseTimer);
    connect(&showTimer, &QTimer::timeout, this, [this] {
        const qint64 elapsed = sinceStart.elapsed();
        if (!showsBar(elapsed, filesDone, filesTotal)) {
            showTimer.start(nextLookInMs(elapsed));
            return;
        }
        showFigures();
        bar->show();
    });
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(RefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &OpenProgress::showFigures);
}

void OpenProgress::filesOpened(int done, int total)
{
    filesDone = done;
    filesTotal = total;
    if (!underway) {
        underway = true;
        qApp->installEventFilter(this);
    }
    // Each open, one asked for during another too, shows its bar after
    // its own wait.
    if (done == 0) {
        sinceStart.start();
        showTimer.start(ShowAfterMs);
    }
    if (done == total) {
        // All are in: the bar goes with the picture drawn next, not in a
        // composition of the whole window of its own.
        showTimer.stop();
        refreshTimer.stop();
        if (bar->isVisible()) {
            bar->hide();
            // The status bar lays itself out now, not in a composition
            // after the picture.
            QCoreApplication::sendPostedEvents(bar->parentWidget(), QEvent::LayoutRequest);
        }
        return;
    }
    if (bar->isVisible() && !refreshTimer.isActive())
        refreshTimer.start();
    // Files read already are taken without waiting for them; the bar's
    // timers and repaints are served between them too.
    if (done > 0)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool OpenProgress::showsBar(qint64 elapsedMs, int done, int total)
{
    if (elapsedMs < ShowAfterMs)
        return false;
    if (elapsedMs >= ShowByMs || done <= 0)
        return true;
    // The files so far at the pace so far.
    return elapsedMs * (total - done) / done >= AlmostDoneMs;
}

int OpenProgress::nextLookInMs(qint64 elapsedMs)
{
    const qint64 next = elapsedMs < ShowAfterMs ? ShowAfterMs : ShowByMs;
    return int(qBound(qint64(1), next - elapsedMs, qint64(ShowByMs)));
}

void OpenProgress::showFigures()
{
    bar->setMaximum(filesTotal);
    bar->setValue(filesDone);
}

void OpenProgress::waitFor(const QFuture<void> &reading)
{
    // The watcher posts the end here, which wakes the wait below.
    QFutureWatcher<void> watcher;
    watcher.setFuture(reading);
    // Paint, timers and queued signals go on; what the user does waits in
    // the window system's queue until the open is over.
    while (!reading.isFinished())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void OpenProgress::finish()
{
    showTimer.stop();
    refreshTimer.stop();
    if (bar->isVisible()) {
        bar->hide();
        repaintNow(bar->parentWidget());
    }
    if (underway)
        qApp->removeEventFilter(this);
    underway = false;
}

bool OpenProgress::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken as handled, so no shortcut is looked for.
        event->accept();
        return true;
    case QEvent::Shortcut:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        event->ignore();
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
