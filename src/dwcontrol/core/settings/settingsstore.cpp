#include "settings/settingsstore.h"

#include "files/temporaryfolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace dw {

namespace {

const QString kCompany = u"Calvexa"_s;

std::unique_ptr<QSettings> scoped(QSettings::Scope scope, const QString &company, const QString &application)
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, scope, company, application);
    settings->setFallbacksEnabled(false);
    return settings;
}

std::optional<QString> textIn(const QSettings &settings, const QString &key)
{
    if (!settings.contains(key))
        return std::nullopt;
    const QVariant value = settings.value(key);
    // An INI value with an unquoted comma comes back as a list: the commas were part of
    // the text, so the pieces are joined again.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

std::mutex reportMutex;
SettingsStore::UnwritableReport unwritableReport;

void reportUnwritable(const QString &file, const QString &reason)
{
    static QSet<QString> said;
    SettingsStore::UnwritableReport report;
    {
        const std::lock_guard lock(reportMutex);
        if (said.contains(file))
            return;
        said.insert(file);
        report = unwritableReport;
    }
    const QString text = u"No se puede guardar la configuración en %1: %2. Lo que cambie en esta sesión "
                         u"(el orden, las columnas, las carpetas) no se recordará al volver a abrir el "
                         u"programa."_s.arg(QDir::toNativeSeparators(file), reason);
    qWarning().noquote() << text;
    if (report)
        report(text);
}

#ifndef Q_OS_WIN

// A key or section name as QSettings writes it in an INI file: %XX and %UXXXX escapes,
// and a backslash between the groups of a key.
QString unescapedIni(QStringView raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == u'\\') {
            out += u'/';
        } else if (c == u'%' && i + 5 < raw.size() && raw[i + 1] == u'U') {
            bool ok = false;
            const ushort code = raw.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 5;
            } else {
                out += c;
            }
        } else if (c == u'%' && i + 2 < raw.size()) {
            bool ok = false;
            const ushort code = raw.mid(i + 1, 2).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

// One line of an INI file as QSettings reads it.
struct IniLine
{
    enum Kind { Other, Section, Key } kind = Other;
    QString name; // the section, or the key below its section
    qsizetype equals = -1; // of a key line: where its '=' is
};

IniLine readLine(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.front() == u';' || trimmed.front() == u'#')
        return {};
    if (trimmed.front() == u'[') {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0)
            return {};
        QString section = unescapedIni(trimmed.mid(1, close - 1).trimmed());
        // Keys below [General] are the store's own, without a group.
        if (section.compare(u"General"_s, Qt::CaseInsensitive) == 0)
            section.clear();
        return {IniLine::Section, section, -1};
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0)
        return {};
    return {IniLine::Key, unescapedIni(line.left(equals).trimmed()), equals};
}

QString fullKey(const QString &section, const QString &key)
{
    return section.isEmpty() ? key : section + u'/' + key;
}

// The section header and key line QSettings itself writes for one value, so that the
// value's quoting and escapes are exactly those it reads back.
struct EncodedEntry
{
    QString sectionLine;
    QString section;
    QString keyLine;
    QString value; // what follows the '=' of keyLine
};

std::optional<EncodedEntry> encoded(const QString &key, const QString &value)
{
    // Never a folder at the root or in the start folder when TMPDIR is wrong.
    const QString root = temporaryFolder();
    if (root.isEmpty())
        return std::nullopt;
    const QTemporaryDir folder(QDir(root).filePath(u"zemparol-ajuste-XXXXXX"_s));
    if (!folder.isValid())
        return std::nullopt;
    const QString path = folder.filePath(u"entry.conf"_s);
    {
        QSettings writer(path, QSettings::IniFormat);
        writer.setValue(key, value);
        writer.sync();
        if (writer.status() != QSettings::NoError)
            return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    EncodedEntry entry;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const IniLine read = readLine(line);
        if (read.kind == IniLine::Section) {
            entry.sectionLine = line.trimmed();
            entry.section = read.name;
        } else if (read.kind == IniLine::Key) {
            entry.keyLine = line.trimmed();
            entry.value = line.mid(read.equals + 1).trimmed();
        }
    }
    if (entry.keyLine.isEmpty())
        return std::nullopt;
    return entry;
}

// An INI line or value with every character beyond ASCII written as an INI escape (\xHHHH, the
// next character escaped too when it is a hex digit, as QSettings does), for a file kept in
// Latin-1: QSettings reads every INI file as UTF-8, so the bytes of a Latin-1 "ñ" would come
// back as a replacement character, while the escape reads back as written.
QString asciiOnly(const QString &text)
{
    QString out;
    bool escaped = false;
    for (const QChar c : text) {
        const bool hexDigit
            = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        escaped = c.unicode() > 0x7F || (escaped && hexDigit);
        if (escaped)
            out += u"\\x"_s + QString::number(c.unicode(), 16);
        else
            out += c;
    }
    return out;
}

// `content` with the value of `key` set: the key's own lines change, or one line is added
// at the end of its section (or a section at the end of the file). Nothing when the file
// already holds that value.
std::optional<QString> withValue(const QString &content, const QString &key, const EncodedEntry &entry)
{
    const bool crlf = content.contains(u"\r\n"_s);
    QStringList lines = content.isEmpty() ? QStringList() : content.split(u'\n');
    const bool endsWithNewline = content.endsWith(u'\n');
    if (endsWithNewline)
        lines.removeLast();

    QString section;
    bool found = false;
    bool changed = false;
    qsizetype sectionEnd = -1; // the line after which a new key of the section goes
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString &line = lines[i];
        const IniLine read = readLine(line);
        if (read.kind == IniLine::Section) {
            section = read.name;
            if (section == entry.section)
                sectionEnd = i;
            continue;
        }
        if (read.kind != IniLine::Key)
            continue;
        if (section == entry.section)
            sectionEnd = i;
        if (fullKey(section, read.name) != key)
            continue;
        found = true;
        const bool carriageReturn = line.endsWith(u'\r');
        const QStringView after = QStringView(line).mid(read.equals + 1);
        if (after.trimmed() == entry.value)
            continue;
        // The administrator's spacing around the '=' stays.
        qsizetype valueStart = 0;
        while (valueStart < after.size() && (after[valueStart] == u' ' || after[valueStart] == u'\t'))
            ++valueStart;
        line = line.left(read.equals + 1 + valueStart) + entry.value + (carriageReturn ? u"\r"_s : QString());
        changed = true;
    }
    if (found)
        return changed ? std::optional<QString>(lines.join(u'\n') + (endsWithNewline ? u"\n"_s : QString()))
                       : std::nullopt;

    const QString cr = crlf ? u"\r"_s : QString();
    if (sectionEnd >= 0) {
        lines.insert(sectionEnd + 1, entry.keyLine + cr);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(cr);
        lines.append(entry.sectionLine + cr);
        lines.append(entry.keyLine + cr);
    }
    return lines.join(u'\n') + u'\n';
}

// The largest settings file a write rewrites. The program's own take a few kilobytes (it
// ignores stored values over 4,096 characters), an administrator's a few more; a write, which
// reads the file twice to be sure no value is lost, takes about 40 ms at this size, so a click
// never waits longer than that. A larger file is left as it is and said.
constexpr qint64 LargestRewrittenFile = 1024 * 1024;

bool containsAll(const QStringList &keys, const QStringList &wanted)
{
    const QSet<QString> present(keys.cbegin(), keys.cend());
    return std::all_of(wanted.cbegin(), wanted.cend(),
                       [&](const QString &key) { return present.contains(key); });
}

// A new file is the writer's: an administrator writing a user's file gives it back.
void giveBack(const QString &file, const std::optional<std::pair<uid_t, gid_t>> &owner)
{
    if (owner && (owner->first != ::geteuid() || owner->second != ::getegid()))
        (void)::chown(QFile::encodeName(file).constData(), owner->first, owner->second);
}

// Writes `key` into the INI file at `path`; the reason when it cannot.
std::optional<QString> writeIni(const QString &path, const QString &key, const QString &value)
{
    QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : path;
    info = QFileInfo(target);
    // A file nobody may write is meant to stay as it is, also for an administrator's
    // account, which the system would let write it.
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite)))
        return u"el archivo es de sólo lectura"_s;
    if (!info.exists() && !QDir().mkpath(info.absolutePath()))
        return u"no se puede crear la carpeta %1"_s.arg(QDir::toNativeSeparators(info.absolutePath()));

    // The program's own settings take a few kilobytes; a larger file is an administrator's
    // and rewriting it at every click would freeze the window, so it is left as it is.
    if (info.exists() && info.size() > LargestRewrittenFile)
        return u"el archivo pasa de %1 MB; el programa no lo reescribe"_s.arg(LargestRewrittenFile
                                                                              / (1024 * 1024));
    const auto entry = encoded(key, value);
    if (!entry) {
        return u"no hay una carpeta temporal donde preparar el valor (%1)"_s.arg(
            QDir::toNativeSeparators(intendedTemporaryFolder()));
    }

    // The same lock QSettings takes, so two copies of the program do not mix their writes.
    QLockFile lock(target + u".lock"_s);
    lock.setStaleLockTime(5000);
    const bool locked = lock.tryLock(2000);
    Q_UNUSED(locked); // a folder without room for the lock still lets the file be written

    QByteArray original;
    QStringList keysBefore; // as the reader finds them
    if (info.exists()) {
        keysBefore = QSettings(target, QSettings::IniFormat).allKeys();
        QFile file(target);
        if (!file.open(QIODevice::ReadOnly))
            return file.errorString();
        original = file.readAll();
    }
    // A file written in Latin-1 stays in it.
    const bool latin1 = !QByteArrayView(original).isValidUtf8();
    const QString content = latin1 ? QString::fromLatin1(original) : QString::fromUtf8(original);
    const QDateTime before = info.exists() ? info.lastModified() : QDateTime();
    std::optional<std::pair<uid_t, gid_t>> owner;
    if (struct stat present{}; ::stat(QFile::encodeName(target).constData(), &present) == 0)
        owner = std::pair(present.st_uid, present.st_gid);
    EncodedEntry line = *entry;
    if (latin1) {
        line.keyLine = asciiOnly(line.keyLine);
        line.value = asciiOnly(line.value);
    }
    const auto changed = withValue(content, key, line);
    if (!changed)
        return std::nullopt;

    // Written beside and renamed into place, never over the file itself: a write cut short
    // leaves the old file whole. A folder that takes no new file refuses the write.
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return u"la carpeta %1 no admite un archivo nuevo (%2)"_s.arg(
            QDir::toNativeSeparators(info.absolutePath()), file.errorString());
    }
    const QByteArray bytes = latin1 ? changed->toLatin1() : changed->toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    giveBack(target, owner);

    // A reader of the same process (QSettings) reads the file again only when its size or
    // time changed: two writes of one size within a millisecond would otherwise look alike.
    const QDateTime after = QFileInfo(target).lastModified();
    if (before.isValid() && after <= before) {
        QFile touched(target);
        if (touched.open(QIODevice::Append))
            touched.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
    }
    // A damaged file the reader takes otherwise than line by line (a section or a quote left
    // open, a lone carriage return, a line continued by a backslash) may hide the new line or
    // have another key swallowed by it: then the file is put back and the reader writes the
    // value itself, keeping every value it reads there, though not the comments.
    const QSettings written(target, QSettings::IniFormat);
    const QStringList keysAfter = written.allKeys();
    const bool keptEveryKey = containsAll(keysAfter, keysBefore);
    if (textIn(written, key) != value || !keptEveryKey) {
        QSaveFile restored(target);
        restored.setDirectWriteFallback(false);
        if (!restored.open(QIODevice::WriteOnly) || restored.write(original) != original.size()
            || !restored.commit())
            return restored.errorString();
        QFile touched(target);
        if (touched.open(QIODevice::Append))
            touched.setFileTime(QFileInfo(target).lastModified().addMSecs(1),
                                QFileDevice::FileModificationTime);
        lock.unlock(); // the reader takes the same lock to write
        QSettings settings(target, QSettings::IniFormat);
        settings.setValue(key, value);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return u"el archivo está dañado y no admite el cambio"_s;
        giveBack(target, owner);
    }
    return std::nullopt;
}

#endif

} // namespace

SettingsStore::SettingsStore(const QString &company, const QString &application)
    : m_company(company)
    , m_application(storeName(application))
{}

void SettingsStore::setUnwritableReport(UnwritableReport report)
{
    const std::lock_guard lock(reportMutex);
    unwritableReport = std::move(report);
}

SettingsStore SettingsStore::program()
{
    return {kCompany, QCoreApplication::applicationName()};
}

QString SettingsStore::storeName(const QString &application)
{
    // Each word capitalised, the rest in small letters, as the registry key is named.
    QString result = application.toLower();
    bool atWordStart = true;
    for (QChar &c : result) {
        if (c.isLetterOrNumber()) {
            if (atWordStart)
                c = c.toUpper();
            atWordStart = false;
        } else {
            atWordStart = true;
        }
    }
    return result;
}

QString SettingsStore::userFile() const
{
    return scoped(QSettings::UserScope, m_company, m_application)->fileName();
}

QString SettingsStore::machineFile() const
{
    return scoped(QSettings::SystemScope, m_company, m_application)->fileName();
}

std::optional<QString> SettingsStore::text(const QString &key) const
{
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
        if (auto value = textIn(*scoped(scope, m_company, m_application), key);
            value && !value->trimmed().isEmpty())
            return value;
    }
    return std::nullopt;
}

std::optional<QString> SettingsStore::userText(const QString &key) const
{
    auto value = textIn(*scoped(QSettings::UserScope, m_company, m_application), key);
    return value && !value->trimmed().isEmpty() ? value : std::nullopt;
}

QStringList SettingsStore::texts(const QString &key) const
{
    QStringList values;
    for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
        if (auto value = textIn(*scoped(scope, m_company, m_application), key);
            value && !value->trimmed().isEmpty())
            values.append(*value);
    }
    return values;
}

bool SettingsStore::setText(const QString &key, const QString &value) const
{
#ifdef Q_OS_WIN
    const auto settings = scoped(QSettings::UserScope, m_company, m_application);
    settings->setValue(key, value);
    settings->sync();
    if (settings->status() == QSettings::NoError)
        return true;
    reportUnwritable(settings->fileName(), u"el registro no admite el cambio"_s);
    return false;
#else
    const QString file = userFile();
    if (const auto problem = writeIni(file, key, value)) {
        reportUnwritable(file, *problem);
        return false;
    }
    return true;
#endif
}

} // namespace dw
