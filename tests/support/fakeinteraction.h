#pragma once

#include "interaction.h"

#include <QAction>
#include <QMenu>
#include <QPrinter>
#include <QStringList>

#include <functional>
#include <optional>

// An Interaction for tests: records what would have been shown and answers from
// fields the test sets. Installs itself on construction and restores the Qt one on
// destruction, so no test ever blocks on a modal dialog.
class FakeInteraction : public dw::Interaction
{
public:
    FakeInteraction() { dw::setInteraction(this); }
    ~FakeInteraction() override { dw::setInteraction(nullptr); }

    struct Box
    {
        QString title;
        QString text;
    };
    QList<Box> boxes;

    int printerSetupResult = 1;
    int printerSetupCalls = 0;
    // The PDF file the printer selection "chooses" on confirm (none keeps what the dialog
    // proposed), and the file it proposed last (empty when it proposed a printer).
    QString printToFile;
    QString proposedPrintFile;
    std::optional<dw::SaveTarget> saveTarget;
    int saveAsCalls = 0;
    QString suggestedSaveName; // what the last save dialog proposed
    dw::SaveTarget suggestedSave; // the same, with the format it selected
    int sortResult = 1;
    QString sortCriteria; // what the sort dialog "chooses"
    int sortCalls = 0;
    int filterResult = 1;
    QString filterExpression;
    int filterCalls = 0;
    QString shownFilter; // the expression the last filter dialog opened with
    bool ctrl = false;
    bool shift = false;
    // The visible item texts of the last popup menu, and the text of the item to choose
    // (none chooses nothing).
    QStringList lastMenuItems;
    QString chooseMenuItem;
    int menuCalls = 0;
    // What each folder chooser asked, and the folders it "chooses", one per question; with
    // none left it is cancelled.
    struct FolderQuestion
    {
        QString question;
        QString explanation;
        QString startFolder;
    };
    QList<FolderQuestion> folderQuestions;
    QStringList folderAnswers;

    void messageBox(QWidget *, const QString &title, const QString &text) override
    {
        boxes.append({title, text});
    }
    int printerSetup(QWidget *, QPrinter &printer) override
    {
        ++printerSetupCalls;
        proposedPrintFile = printer.outputFileName();
        if (printerSetupResult == 1 && !printToFile.isEmpty())
            printer.setOutputFileName(printToFile);
        return printerSetupResult;
    }
    std::optional<dw::SaveTarget> askSaveAs(QWidget *, const dw::SaveTarget &proposed) override
    {
        ++saveAsCalls;
        suggestedSaveName = proposed.fileName;
        suggestedSave = proposed;
        return saveTarget;
    }
    int sortDialog(QWidget *, const dw::DataWindow &, QString &criteria) override
    {
        ++sortCalls;
        if (sortResult == 1)
            criteria = sortCriteria;
        return sortResult;
    }
    int filterDialog(QWidget *, const dw::DataWindow &, QString &expression) override
    {
        ++filterCalls;
        shownFilter = expression;
        if (filterResult == 1)
            expression = filterExpression;
        return filterResult;
    }
    bool keyDown(int virtualKey) override
    {
        return (virtualKey == 17 && ctrl) || (virtualKey == 16 && shift);
    }
    QAction *popMenu(QMenu &menu, const QPoint &) override
    {
        ++menuCalls;
        lastMenuItems.clear();
        QAction *chosen = nullptr;
        for (QAction *action : menu.actions()) {
            if (!action->isVisible())
                continue;
            lastMenuItems.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            if (!action->isSeparator() && action->text() == chooseMenuItem)
                chosen = action;
        }
        if (chosen)
            chosen->trigger();
        return chosen;
    }
    std::optional<QString> chooseFolder(QWidget *, const QString &question, const QString &explanation,
                                        const QString &startFolder) override
    {
        folderQuestions.append({question, explanation, startFolder});
        if (folderAnswers.isEmpty())
            return std::nullopt;
        return folderAnswers.takeFirst();
    }
};
