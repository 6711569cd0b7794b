#include "support/sample.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

// The guide's pictures are made by tools/guide-screenshots.sh, one `shot NAME` each: the
// guide shows exactly those, each is in docs/guia and in the package, so a picture
// nobody remakes (or one the script makes for nothing) does not go unnoticed.
class GuideTest : public QObject
{
    Q_OBJECT
private:
    static QString read(const QString &relativePath)
    {
        QFile file(testsupport::sourceFile(relativePath));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

    static QStringList captured(const QString &text, const QString &pattern)
    {
        QStringList names;
        for (const auto &match :
             QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(text))
            names.append(match.captured(1));
        return names;
    }

    static QStringList sorted(QStringList names)
    {
        names.sort();
        return names;
    }

private slots:
    void theGuideShowsWhatTheScriptMakes()
    {
        const QString script = read(u"tools/guide-screenshots.sh"_s);
        const QString guide = read(u"docs/guia.md"_s);
        const QString installed = read(u"tests/package/installed-files.txt"_s);
        QVERIFY(!script.isEmpty() && !guide.isEmpty() && !installed.isEmpty());

        const QStringList made = captured(script, u"^\\s*shot ([\\w-]+)\\s*$"_s);
        QVERIFY(made.size() >= 10);
        QCOMPARE(QSet<QString>(made.begin(), made.end()).size(), made.size()); // none made twice

        const QStringList shown = captured(guide, uR"(!\[[^\]]*\]\(guia/([\w-]+)\.png\))"_s);
        QCOMPARE(sorted(QSet<QString>(shown.begin(), shown.end()).values()), sorted(made));
        // Every picture link of the guide is one of those (no other folder, no other format).
        QCOMPARE(captured(guide, uR"(\]\((guia/[^)]*)\))"_s).size(), shown.size());

        QStringList files
            = QDir(testsupport::sourceFile(u"docs/guia"_s)).entryList({u"*"_s}, QDir::Files | QDir::Hidden);
        for (QString &file : files)
            file.chop(file.endsWith(u".png"_s) ? 4 : 0);
        QCOMPARE(sorted(files), sorted(made));

        QCOMPARE(sorted(captured(installed, uR"(^/usr/share/doc/zemparol/guia/([\w-]+)\.png$)"_s)),
                 sorted(made));
    }
};

QTEST_GUILESS_MAIN(GuideTest)
#include "tst_guide.moc"
