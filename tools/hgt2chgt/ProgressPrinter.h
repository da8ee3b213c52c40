#pragma once

#include <QObject>

#include <cstdio>

// Shows conversion progress on a stream: a redrawn bar on a terminal, one
// percentage line per value otherwise.
class ProgressPrinter : public QObject
{
    Q_OBJECT

public:
    explicit ProgressPrinter(FILE *stream, QObject *parent = nullptr);

    // Ends a bar left on the current line.
    void finish();

public slots:
    void showProgress(int percent);

private:
    FILE *stream;
    bool terminal;
    bool barShown = false;
    int lastPercent = -1;
};
