#include "bench.h"

#include "db/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace bench {

namespace {

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); 0 where there is no such file.
double statusKb(const QByteArray &field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

} // namespace

BenchRegistrar::BenchRegistrar(const char *name, BenchFunction function)
{
    registered().push_back({QString::fromUtf8(name), std::move(function)});
}

std::vector<Registered> &registered()
{
    static std::vector<Registered> all;
    return all;
}

void report(const QStringList &pairs)
{
    std::fputs(pairs.join(u' ').toUtf8().append('\n').constData(), stdout);
    std::fflush(stdout);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double timed(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double medianOf(int runs, const std::function<double()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    return median(times);
}

QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 0);
}

QString ratio(double value, double reference)
{
    return reference > 0 ? QString::number(value / reference, 'f', 3) : QStringLiteral("-");
}

double peakRssMb()
{
    return statusKb("VmHWM") / 1024.0;
}

double currentRssMb()
{
    return statusKb("VmRSS") / 1024.0;
}

Resident residentNow()
{
    return {statusKb("RssAnon") / 1024.0, statusKb("RssFile") / 1024.0};
}

void resetPeakRss()
{
    // Writing 5 to clear_refs resets the peak (VmHWM) to the current resident size.
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

bool connectAccess(dw::Transaction &transaction, const QString &file)
{
    transaction.DBMS = QStringLiteral("ODBC");
    transaction.DBParm
        = QStringLiteral("ConnectString='Driver={Microsoft Access Driver (*.mdb)};DBQ=%1'").arg(file);
    transaction.connect();
    return transaction.SQLCode == 0;
}

QString sampleOf(const Options &options, long members)
{
    const QString folder = QDir(options.workDir).filePath(u"sample_%1"_s.arg(members));
    if (QFileInfo::exists(QDir(folder).filePath(u"zemparol.mdb"_s)))
        return folder;
    if (options.gensample.isEmpty() || !QFileInfo(options.gensample).isExecutable()) {
        QTextStream(stderr) << "dwbench: no sample generator at '" << options.gensample << "'\n";
        return {};
    }
    QTextStream(stderr) << "dwbench: generating " << members << " members into " << folder << "\n";
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(options.gensample, {folder, u"--members"_s, QString::number(members)});
    if (!generator.waitForFinished(-1) || generator.exitStatus() != QProcess::NormalExit
        || generator.exitCode() != 0 || !QFileInfo::exists(QDir(folder).filePath(u"zemparol.mdb"_s))) {
        QTextStream(stderr) << "dwbench: the generator failed for " << members << " members\n";
        return {};
    }
    return folder;
}

// Peak memory, in MB, of `work` run in a fresh child process plus every process it started.
double peakOfRun(const std::function<void()> &work)
{
    int pipes[2];
    if (::pipe(pipes) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipes[0]);
        resetPeakRss();
        work();
        rusage children{};
        ::getrusage(RUSAGE_CHILDREN, &children);
        const double mb = peakRssMb() + double(children.ru_maxrss) / 1024.0;
        (void)!::write(pipes[1], &mb, sizeof mb);
        ::_exit(0);
    }
    ::close(pipes[1]);
    double mb = -1;
    (void)!::read(pipes[0], &mb, sizeof mb);
    ::close(pipes[0]);
    ::waitpid(child, nullptr, 0);
    return mb;
}

} // namespace bench
