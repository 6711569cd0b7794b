// One remembered value (a sort) written into the user's settings file, as a heading click
// does, for files of the sizes an administrator may leave (comments and keys the program
// does not know), against writing the same bytes with a plain loop:
//   settings_write   median time of one write, and of the plain write of the file

#include "bench.h"

#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

QByteArray administratorsFile(qint64 bytes)
{
    QByteArray text
        = "; Configuración de la red, mantenida por el administrador\n[Consultas]\nSegundosMaximos=30\n"
          "[GridStyle]\ndw_listado_grid\\sortorder=nombre A\n[Notas]\n";
    for (int n = 0; text.size() < bytes; ++n)
        text += "nota" + QByteArray::number(n) + "=una línea que el programa no conoce y deja como está\n";
    return text;
}

void settingsWrite(const bench::Options &options)
{
    QTemporaryDir home(QDir(options.workDir).filePath(u"settings-XXXXXX"_s));
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    const dw::SettingsStore store(u"Calvexa"_s, u"Medida"_s);
    const QString file = store.userFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    for (const qint64 size :
         {qint64(4) << 10, qint64(64) << 10, qint64(1) << 20, (qint64(4) << 20) - (qint64(64) << 10)}) {
        const QByteArray content = administratorsFile(size);
        {
            QFile out(file);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write(content);
        }
        int run = 0;
        const double writeMs = bench::medianOf(options.repeats, [&] {
            const QString sort = (++run % 2) ? u"email D"_s : u"cargo A"_s;
            return bench::timed([&] { (void)store.setText(u"GridStyle/dw_listado_grid/sortorder"_s, sort); });
        });
        const double plainMs = bench::medianOf(options.repeats, [&] {
            return bench::timed([&] {
                QSaveFile out(file + u".plano"_s);
                out.open(QIODevice::WriteOnly);
                out.write(content);
                out.commit();
            });
        });
        bench::report({u"op=settings_write"_s, u"file_kb=%1"_s.arg(content.size() / 1024),
                       u"ms="_s + bench::ms(writeMs), u"plain_write_ms="_s + bench::ms(plainMs),
                       u"target_ms=50"_s});
    }
    qputenv("XDG_CONFIG_HOME", previous);
}

const bench::BenchRegistrar registrar("settings_write", settingsWrite);

} // namespace
