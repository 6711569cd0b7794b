#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Benchmarks register themselves (one BenchRegistrar per file), so each measurement lives
// in its own file and the runner needs no list. Every measurement prints one line of
// key=value pairs, e.g. "op=sort n=1000000 ms=900 qt_ms=12000 ratio=0.075".
namespace dw {
class Transaction;
}

namespace bench {

struct Options
{
    std::vector<long> sizes; // directory sizes to measure (members)
    QString workDir; // scratch folder for generated directories and outputs
    QString gensample; // path of the sample generator
    int repeats = 5; // runs per measurement; the median is reported
};

using BenchFunction = std::function<void(const Options &)>;

struct BenchRegistrar
{
    BenchRegistrar(const char *name, BenchFunction function);
};

struct Registered
{
    QString name;
    BenchFunction function;
};
[[nodiscard]] std::vector<Registered> &registered();

// Prints one measurement line.
void report(const QStringList &pairs);
// The median of several timings in milliseconds.
[[nodiscard]] double median(std::vector<double> values);
// Wall time of one run of `work`, in milliseconds.
[[nodiscard]] double timed(const std::function<void()> &work);
// The median of `runs` timings that `run` returns.
[[nodiscard]] double medianOf(int runs, const std::function<double()> &run);
// Milliseconds as a report shows them: two decimals below 10, whole above.
[[nodiscard]] QString ms(double value);
// value / reference with three decimals, "-" without a reference.
[[nodiscard]] QString ratio(double value, double reference);
// Peak resident memory of the process so far, in MB (since the last resetPeakRss()).
[[nodiscard]] double peakRssMb();
// Starts a new peak at the current resident memory, so each size reports its own peak
// (Linux; elsewhere the peak stays that of the whole run).
void resetPeakRss();
// Peak memory, in MB, of `work` run in a fresh child process plus every process it started.
[[nodiscard]] double peakOfRun(const std::function<void()> &work);
// Current resident memory of the process, in MB.
[[nodiscard]] double currentRssMb();
// The process's resident memory now, in MB, split as the kernel counts it: private
// (anonymous: the heap, the rows) and file-backed (mapped files and the program's libraries).
struct Resident
{
    double anonMb = 0;
    double fileMb = 0;
    [[nodiscard]] double totalMb() const { return anonMb + fileMb; }
};
[[nodiscard]] Resident residentNow();
// Connects `transaction` the way the program does, through the Access driver's connect
// string, to the database file `file`; true when connected.
bool connectAccess(dw::Transaction &transaction, const QString &file);
// The folder of a generated sample directory of n members (generated once, then reused).
[[nodiscard]] QString sampleOf(const Options &options, long members);

} // namespace bench
