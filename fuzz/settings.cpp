// The settings file as an administrator, an older version or a power cut may leave it: read
// through the store, then one value written. The value must read back as written and every
// other key must still be there; in a file the reader takes line by line their values stay
// as they were (tests/app/tst_settings checks that), while a damaged one is rewritten by the
// reader itself, which keeps each value as it reads it.
#include "settings/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <map>

namespace {

const QString Key = QStringLiteral("GridStyle/d_listado/columnwidths");
const QString Value = QStringLiteral("nombre=1200;institucion=640, \"x\" ;ñ=[a]");

// Every key of the file as QSettings reads it, with the store's reading of its value.
std::map<QString, QString> everything(const dw::SettingsStore &store, const QString &file)
{
    std::map<QString, QString> values;
    const QSettings raw(file, QSettings::IniFormat);
    for (const QString &key : raw.allKeys())
        values[key] = store.userText(key).value_or(QStringLiteral("<none>"));
    return values;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int run = 0;
    ++run;
    const dw::SettingsStore store(QStringLiteral("Calvexa"), QStringLiteral("Fuzz"));
    const QString file = store.userFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(reinterpret_cast<const char *>(data), qint64(size));
        // A time of its own for each input, so that QSettings, which keeps what it read of a
        // file while its time and size stay, reads every input afresh; and an old one, so
        // that the write below gives the file a new time.
        out.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000 + run), QFileDevice::FileModificationTime);
    }
    std::map<QString, QString> before = everything(store, file);
    if (store.setText(Key, Value)) {
        if (store.userText(Key) != Value)
            __builtin_trap(); // the written value does not read back
        std::map<QString, QString> after = everything(store, file);
        before.erase(Key);
        after.erase(Key);
        for (const auto &entry : before) {
            if (!after.contains(entry.first))
                __builtin_trap(); // another key lost by the write
        }
    }
    QFile::remove(file);
    return 0;
}
