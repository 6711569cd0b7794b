// dwbench [--sizes 10000,100000,1000000] [--repeats N] [--work DIR] [--gensample PATH] [--only a,b]
// Runs every registered measurement and prints one key=value line per figure.

#include "bench.h"

#include "rows/largeblocks.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // The program's own memory policy, so that its figures are the program's.
    dw::giveLargeBlocksBack();
    // Measurements paint and lay out widgets, never on a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Measures the data window engine against plain yardsticks."_s);
    parser.addHelpOption();
    const QCommandLineOption sizes(u"sizes"_s, u"Directory sizes, comma separated."_s, u"list"_s,
                                   u"10000,100000,1000000"_s);
    const QCommandLineOption repeats(u"repeats"_s, u"Runs per measurement (median reported)."_s, u"N"_s,
                                     u"5"_s);
    const QCommandLineOption work(u"work"_s, u"Folder for generated directories and outputs."_s, u"DIR"_s,
                                  QDir::temp().filePath(u"dwbench"_s));
    const QCommandLineOption gensample(u"gensample"_s, u"Path of the sample generator."_s, u"PATH"_s);
    const QCommandLineOption only(u"only"_s, u"Run only these measurements, comma separated."_s, u"names"_s);
    parser.addOptions({sizes, repeats, work, gensample, only});
    parser.process(application);

    bench::Options options;
    for (const QString &size : parser.value(sizes).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const long members = size.trimmed().toLong(&ok);
        if (!ok || members <= 0) {
            QTextStream(stderr) << "dwbench: bad size '" << size << "'\n";
            return 2;
        }
        options.sizes.push_back(members);
    }
    bool ok = false;
    options.repeats = std::max(1, parser.value(repeats).toInt(&ok));
    if (!ok) {
        QTextStream(stderr) << "dwbench: --repeats wants a number\n";
        return 2;
    }
    options.workDir = QDir(parser.value(work)).absolutePath();
    QDir().mkpath(options.workDir);
    options.gensample = parser.isSet(gensample)
        ? parser.value(gensample)
        : QDir(QCoreApplication::applicationDirPath()).filePath(u"../tools/gensample"_s);

    const QStringList wanted = parser.value(only).split(u',', Qt::SkipEmptyParts);
    std::vector<bench::Registered> all = bench::registered();
    std::sort(all.begin(), all.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    for (const bench::Registered &measurement : all) {
        if (!wanted.isEmpty() && !wanted.contains(measurement.name))
            continue;
        measurement.function(options);
    }
    return 0;
}
