#pragma once

#include "interaction.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QStringList>
#include <QTest>

#include <functional>
#include <optional>

namespace testsupport {

// True when a key and a click sent through the application's dispatch reach their
// receiver: nothing holds the user's input back, so a dialog shown now could be answered.
inline bool inputReachesDialogs()
{
    class Probe final : public QObject
    {
    public:
        int received = 0;
        bool event(QEvent *event) override
        {
            if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress)
                ++received;
            return QObject::event(event);
        }
    } probe;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&probe, &key);
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&probe, &click);
    return probe.received == 2;
}

} // namespace testsupport

// An Interaction for tests: records what would have been shown and answers from
// fields the test sets. Installs itself on construction and restores the Qt one on
// destruction, so no test ever blocks on a modal dialog. Every dialog asked for while the
// user's input is held back fails the running test: a real one could never be answered.
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
    bool offeredSelection = false; // whether the last printer selection offered "Selección"
    bool chooseSelection = false; // a confirmed selection that offers it chooses it
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
    QList<bool> lastMenuEnabled; // beside each of lastMenuItems
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

    // The column chooser: what it listed last, and its answer; on Confirmed exactly the
    // columns named in `visibleColumns` are checked.
    QList<dw::ColumnChoice> listedColumns;
    dw::ColumnsAnswer columnsAnswer = dw::ColumnsAnswer::Cancelled;
    QStringList visibleColumns;
    int columnsCalls = 0;

    // The dialogs asked for while input was held back.
    QStringList unanswerable;

    void messageBox(QWidget *, const QString &title, const QString &text) override
    {
        expectAnswerable(title);
        boxes.append({title, text});
    }
    int printerSetup(QWidget *, QPrinter &printer, bool offerSelection) override
    {
        expectAnswerable(QStringLiteral("printer"));
        ++printerSetupCalls;
        offeredSelection = offerSelection;
        if (printerSetupResult == 1 && offerSelection && chooseSelection)
            printer.setPrintRange(QPrinter::Selection);
        proposedPrintFile = printer.outputFileName();
        if (printerSetupResult == 1 && !printToFile.isEmpty())
            printer.setOutputFileName(printToFile);
        return printerSetupResult;
    }
    std::optional<dw::SaveTarget> askSaveAs(QWidget *, const dw::SaveTarget &proposed) override
    {
        expectAnswerable(QStringLiteral("save as"));
        ++saveAsCalls;
        suggestedSaveName = proposed.fileName;
        suggestedSave = proposed;
        return saveTarget;
    }
    int sortDialog(QWidget *, const dw::DataWindow &, QString &criteria) override
    {
        expectAnswerable(QStringLiteral("sort"));
        ++sortCalls;
        if (sortResult == 1)
            criteria = sortCriteria;
        return sortResult;
    }
    int filterDialog(QWidget *, const dw::DataWindow &, QString &expression) override
    {
        expectAnswerable(QStringLiteral("filter"));
        ++filterCalls;
        shownFilter = expression;
        if (filterResult == 1)
            expression = filterExpression;
        return filterResult;
    }
    dw::ColumnsAnswer chooseColumns(QWidget *, QList<dw::ColumnChoice> &columns) override
    {
        expectAnswerable(QStringLiteral("columns"));
        ++columnsCalls;
        listedColumns = columns;
        if (columnsAnswer == dw::ColumnsAnswer::Confirmed) {
            for (dw::ColumnChoice &column : columns)
                column.visible = visibleColumns.contains(column.name);
        }
        return columnsAnswer;
    }
    bool keyDown(int virtualKey) override
    {
        return (virtualKey == 17 && ctrl) || (virtualKey == 16 && shift);
    }
    QAction *popMenu(QMenu &menu, const QPoint &) override
    {
        expectAnswerable(QStringLiteral("menu"));
        ++menuCalls;
        lastMenuItems.clear();
        lastMenuEnabled.clear();
        QAction *chosen = nullptr;
        for (QAction *action : menu.actions()) {
            if (!action->isVisible())
                continue;
            lastMenuItems.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            lastMenuEnabled.append(action->isEnabled());
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
        expectAnswerable(question);
        folderQuestions.append({question, explanation, startFolder});
        if (folderAnswers.isEmpty())
            return std::nullopt;
        return folderAnswers.takeFirst();
    }

private:
    void expectAnswerable(const QString &dialog)
    {
        if (testsupport::inputReachesDialogs())
            return;
        unanswerable.append(dialog);
        QTest::qFail(
            qPrintable(QStringLiteral("dialog \"%1\" asked for while input is held back").arg(dialog)),
            __FILE__, __LINE__);
    }
};
