#include "interaction.h"

#include <QDebug>

namespace dw {
namespace {

// Where no dialog can be shown: messages go to the log, every question is cancelled.
class HeadlessInteraction final : public Interaction
{
public:
    void messageBox(QWidget *, const QString &title, const QString &text) override
    {
        qWarning().noquote() << title << ":" << text;
    }
    int printerSetup(QWidget *, QPrinter &, bool) override { return -1; }
    std::optional<SaveTarget> askSaveAs(QWidget *, const SaveTarget &) override { return std::nullopt; }
    int sortDialog(QWidget *, const DataWindow &, QString &) override { return 0; }
    int filterDialog(QWidget *, const DataWindow &, QString &) override { return 0; }
    bool keyDown(int) override { return false; }
    QAction *popMenu(QMenu &, const QPoint &) override { return nullptr; }
};

Interaction *g_replacement = nullptr;
Interaction *g_standard = nullptr;

} // namespace

std::optional<QString> Interaction::chooseFolder(QWidget *, const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

ColumnsAnswer Interaction::chooseColumns(QWidget *, QList<ColumnChoice> &)
{
    return ColumnsAnswer::Cancelled;
}

Interaction &interaction()
{
    static HeadlessInteraction headless;
    if (g_replacement)
        return *g_replacement;
    return g_standard ? *g_standard : headless;
}

void setInteraction(Interaction *replacement)
{
    g_replacement = replacement;
}

void setStandardInteraction(Interaction *standard)
{
    g_standard = standard;
}

} // namespace dw
