#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What every benchmark here needs: medians, clocks and the country's tiles.
namespace BenchSupport {

double median(std::vector<double> values);
// Wall time of work, in milliseconds.
double timeMs(const std::function<void()> &work);
// Processor time of the whole process so far (all threads), in milliseconds.
double processorMs();
// A field of /proc/self/status in kB ("VmRSS", or "VmHWM", the peak, which
// unlike getrusage's is per address space); -1 where there is none.
qint64 statusKb(const char *field);

// N49E014.<ext>
QString tileName(int lat, int lon, const char *ext);
// A CHGT tile of generated relief (seed 1) converted at quantity; one left
// there by an earlier run of the same size is kept.
QString makeTile(const QDir &dir, int lat, int lon, int quantity);
// The 3 x 7 tiles over the country, N48-N50 and E012-E018.
QStringList countryTiles(const QDir &dir, int quantity);

} // namespace BenchSupport
