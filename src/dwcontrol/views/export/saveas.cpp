#include "saveas.h"

#include "atomicwrite.h"
#include "datawindow.h"
#include "documentfolder.h"
#include "interaction.h"
#include "pdffile.h"
#include "printjob.h"
#include "textfiles.h"
#include "xlsxfile.h"

#include <QFileInfo>

namespace dw {
namespace {

// The kind of document saved files are (their own last folder) and the setting that
// keeps the format chosen last.
const QString saveKind = QStringLiteral("guardar");
const QString saveFormatKey = QStringLiteral("Archivos/Formato_guardar");

bool isKnownFormat(const QString &format)
{
    return format == u"csv" || format == u"txt" || format == u"html" || format == u"xlsx" || format == u"pdf";
}

} // namespace

SaveTarget proposedSaveTarget(const QString &baseName)
{
    SaveTarget target;
    const QString remembered = userSetting(saveFormatKey);
    const QString format = remembered.section(QLatin1Char(';'), 0, 0);
    target.format = isKnownFormat(format) ? format : QStringLiteral("csv");
    if (target.format == u"csv" && remembered == u"csv;")
        target.separator = QLatin1Char(';');
    target.fileName = proposedFilePath(baseName, target.format, saveKind);
    return target;
}

void rememberSaveTarget(const SaveTarget &target)
{
    rememberFolderOf(target.fileName, saveKind);
    const QString format = target.format.toLower();
    if (isKnownFormat(format))
        setUserSetting(saveFormatKey,
                       format == u"csv" && target.separator == u';' ? QStringLiteral("csv;") : format);
}

SaveTarget saveTargetFor(const QString &fileName, const QString &chosenFormat)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (isKnownFormat(suffix))
        return {fileName, suffix};
    if (suffix == u"htm")
        return {fileName, QStringLiteral("html")};
    const QString format = chosenFormat.toLower();
    return {fileName + QLatin1Char('.') + format, format};
}

bool saveRows(const DataWindow &dw, const SaveTarget &target, QString *error)
{
    const QString format = target.format.toLower();
    if (!isKnownFormat(format)) {
        if (error)
            *error = QStringLiteral("Formato de archivo desconocido: %1").arg(target.format);
        return false;
    }
    if (format == u"pdf")
        return writePdf(dw, target.fileName, chosenPageLayout(), error);
    if (format == u"xlsx")
        return writeXlsx(dw, target.fileName, error);

    const QString title = documentTitle(dw);
    // Only ',' and ';' are offered; anything else gets the standard comma.
    const char separator = target.separator.unicode() < 0x80 ? char(target.separator.unicode()) : ',';
    return writeAtomically(
        target.fileName,
        [&](QIODevice &device, QString *) {
            if (format == u"csv")
                return writeCsv(dw, device, separator);
            if (format == u"txt")
                return writeTabSeparated(dw, device);
            return writeHtmlPage(dw, device, title);
        },
        error);
}

} // namespace dw
