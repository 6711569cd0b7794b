#include "atomicwrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace dw {
namespace {

QString nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Why the temporary file beside the target could not be made, said for the folder
// where it matters.
QString openFailure(const QString &fileName, const QSaveFile &file)
{
    const QFileInfo target(fileName);
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        return QStringLiteral("La carpeta «%1» no existe.").arg(nativeName(folder.filePath()));
    if (target.exists() && !target.isWritable())
        return QStringLiteral("El archivo «%1» es de solo lectura.").arg(nativeName(fileName));
    return QStringLiteral(
               "No se puede escribir en la carpeta «%1»: no tiene permiso o es de solo lectura (%2).")
        .arg(nativeName(folder.filePath()), file.errorString());
}

QString writeFailure(const QString &fileName, const QSaveFile &file)
{
    if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResizeError)
        return QStringLiteral("No se pudo escribir «%1»: el disco está lleno o no admite escritura (%2).")
            .arg(nativeName(fileName), file.errorString());
    return QStringLiteral("No se pudo escribir «%1» (%2).").arg(nativeName(fileName), file.errorString());
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

bool writeAtomically(const QString &fileName, const std::function<bool(QIODevice &, QString *)> &produce,
                     QString *error)
{
    if (fileName.isEmpty())
        return fail(error, QStringLiteral("No se indicó el nombre del archivo."));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, openFailure(fileName, file));
    QString why;
    if (!produce(file, &why)) {
        const bool deviceFailed = file.error() != QFileDevice::NoError;
        const QString message = deviceFailed || why.isEmpty() ? writeFailure(fileName, file) : why;
        file.cancelWriting();
        return fail(error, message);
    }
    // commit() alone would rename a file whose buffered tail did not fit on the disk:
    // everything must have reached the temporary file before it replaces the target.
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        const QString message = writeFailure(fileName, file);
        file.cancelWriting();
        return fail(error, message);
    }
    if (!file.commit())
        return fail(error, writeFailure(fileName, file));
    return true;
}

} // namespace dw
