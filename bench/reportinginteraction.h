#pragma once

#include "interaction.h"

#include <QTextStream>

namespace bench {

// Installed for a measurement: database errors go to the terminal instead of a message
// box nobody can close, and every other question is declined.
class ReportingInteraction final : public dw::Interaction
{
public:
    ReportingInteraction() { dw::setInteraction(this); }
    ~ReportingInteraction() override { dw::setInteraction(nullptr); }
    ReportingInteraction(const ReportingInteraction &) = delete;
    ReportingInteraction &operator=(const ReportingInteraction &) = delete;

    void messageBox(QWidget *, const QString &title, const QString &text) override
    {
        QTextStream(stderr) << "dwbench: " << title << ": " << text << "\n";
    }
    int printerSetup(QWidget *, QPrinter &, bool) override { return -1; }
    std::optional<dw::SaveTarget> askSaveAs(QWidget *, const dw::SaveTarget &) override
    {
        return std::nullopt;
    }
    int sortDialog(QWidget *, const dw::DataWindow &, QString &) override { return 0; }
    int filterDialog(QWidget *, const dw::DataWindow &, QString &) override { return 0; }
    bool keyDown(int) override { return false; }
    QAction *popMenu(QMenu &, const QPoint &) override { return nullptr; }
};

} // namespace bench
