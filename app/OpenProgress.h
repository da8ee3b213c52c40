#pragma once

#include "OpenTiles.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QProgressBar;
class QStatusBar;

// How the window waits for an open. The open stays one action that blocks
// the window: input is held back until it ends (and input that bypasses the
// window system, dropped files among it, is refused), but everything else
// goes on, so the window repaints, and an open that lasts longer than
// ShowAfterMs, and is not about to end, shows how many files are in, in a
// bar in the status bar: "Otevírání: 37 z 200 souborů".
class OpenProgress : public QObject, public OpenTiles::Progress
{
    Q_OBJECT

public:
    static constexpr int ShowAfterMs = 500;
    // An open that looks this close to its end by then shows no bar, which
    // would only flash (and compose the window once more); any open still
    // under way at ShowByMs shows it.
    static constexpr int AlmostDoneMs = 200;
    static constexpr int ShowByMs = 900;
    // Whether an open elapsedMs into it, with done of its total files in,
    // shows its bar now.
    static bool showsBar(qint64 elapsedMs, int done, int total);
    // When to look again after a look that showed no bar: at ShowAfterMs
    // if it came before, else at ShowByMs.
    static int nextLookInMs(qint64 elapsedMs);
    // The bar's figure changes at most this often: each change composes
    // the window again, OpenGL content and all, which in software costs
    // a warm open of 200 tiles a tenth of its time at five times a second.
    static constexpr int RefreshMs = 1000;
    // The bar goes to the right of the status bar, hidden until needed.
    explicit OpenProgress(QStatusBar *statusBar);

    void filesOpened(int done, int total) override;
    void waitFor(const QFuture<void> &reading) override;
    // The open is over: the bar goes, input comes through again.
    void finish();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showFigures();

    QProgressBar *bar;
    QTimer showTimer;
    QElapsedTimer sinceStart;
    QTimer refreshTimer;
    int filesDone = 0;
    int filesTotal = 0;
    bool underway = false;
};
