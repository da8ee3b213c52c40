#pragma once

#include "ConvertHgt.h"

#include <QList>

// Runs a worker to its end on its own thread; the progress values it sent.
inline QList<int> runWorker(ConvertHgt &worker)
{
    QList<int> values;
    const auto link = QObject::connect(&worker, &ConvertHgt::sProgress, [&values](int p) { values << p; });
    worker.start();
    worker.wait();
    QObject::disconnect(link);
    return values;
}
