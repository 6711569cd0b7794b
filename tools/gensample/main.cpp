// Writes a sample member directory: <folder>/zemparol.mdb (an SQLite file with the table
// `directorio`) and <folder>/Fotos with every picture the cards show, all drawn here.

#include "database.h"
#include "members.h"
#include "pictures.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxPhotos = 300;

int failWith(const QString &message)
{
    QTextStream(stderr) << "gensample: " << message << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing needs a GUI application but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Writes a sample member directory into <folder>: zemparol.mdb (SQLite, table directorio) "
        "and Fotos/ with the network's and the agency's logos, one portrait per member and the "
        "institutions' logos. Directories of more than %1 members reuse the first %1 portraits "
        "(large directories serve the benchmarks)."_s.arg(kMaxPhotos));
    parser.addHelpOption();
    parser.addPositionalArgument(u"folder"_s, u"Folder to write (created when missing)."_s);
    const QCommandLineOption membersOption(u"members"_s, u"Number of members (default 150)."_s, u"N"_s,
                                           u"150"_s);
    const QCommandLineOption seedOption(
        u"seed"_s, u"Seed; the same seed gives the same directory (default 1)."_s, u"S"_s, u"1"_s);
    parser.addOption(membersOption);
    parser.addOption(seedOption);
    parser.process(application);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return failWith(u"expected one folder; see --help"_s);
    bool ok = false;
    const qint64 members = parser.value(membersOption).toLongLong(&ok);
    if (!ok || members < 0)
        return failWith(u"--members wants a number of members"_s);
    const quint64 seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        return failWith(u"--seed wants a whole number"_s);

    const QDir folder(positional.first());
    if (!QDir().mkpath(folder.filePath(u"Fotos"_s)))
        return failWith(u"cannot create %1"_s.arg(folder.filePath(u"Fotos"_s)));
    const QDir photos(folder.filePath(u"Fotos"_s));

    const int photoCount = int(std::min<qint64>(members, kMaxPhotos));
    const MemberGenerator generator(seed, members, photoCount);

    bool drawn = drawNetworkLogo(photos.filePath(u"Logo_zemparol.jpg"_s))
        && drawAgencyLogo(photos.filePath(u"logo_vardelo.png"_s));
    int index = 0;
    for (const Institution &institution : institutions())
        drawn = drawn
            && drawInstitutionLogo(photos.filePath(institution.logoFile), institution.acronym, index++,
                                   institution.company);
    for (int n = 1; n <= photoCount && drawn; ++n)
        drawn = drawPortrait(photos.filePath(MemberGenerator::photoFile(n)), generator.photoInitials(n),
                             seed * 7919 + quint64(n));
    if (!drawn)
        return failWith(u"cannot write the pictures in %1"_s.arg(photos.path()));

    DirectoryWriter writer;
    if (!writer.open(folder.filePath(u"zemparol.mdb"_s)))
        return failWith(writer.error());
    for (qint64 id = 1; id <= members; ++id) {
        if (!writer.insert(generator.member(id)))
            return failWith(writer.error());
    }
    if (!writer.commit())
        return failWith(writer.error());
    return 0;
}
