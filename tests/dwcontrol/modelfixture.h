#pragma once

#include "datawindow.h"

#include <QString>
#include <QStringList>

#include <functional>

// Records what a data window tells its control, and lets a test answer sqlPreview the
// way a window script would (by calling SetSQLPreview).
class RecordingObserver : public dw::DataWindowObserver
{
public:
    explicit RecordingObserver(dw::DataWindow &dw) : m_dw(dw) { dw.setObserver(this); }
    ~RecordingObserver() override { m_dw.setObserver(nullptr); }

    QStringList previews;
    QList<long> retrieveEnds;
    int layoutChanges = 0;
    int rowChanges = 0;
    std::function<QString(const QString &)> rewrite; // the statement to send instead

    void sqlPreview(int request, int sqlType, const QString &sqlSyntax, int buffer, long row) override
    {
        previews.append(sqlSyntax);
        lastArguments = {request, sqlType, buffer, int(row)};
        if (rewrite)
            previewResult = m_dw.SetSQLPreview(rewrite(sqlSyntax));
    }
    void retrieveEnd(long rowCount) override { retrieveEnds.append(rowCount); }
    void layoutChanged() override { ++layoutChanges; }
    void rowsChanged() override { ++rowChanges; }
    QWidget *dialogParent() const override { return nullptr; }

    QList<int> lastArguments;
    int previewResult = 0;

private:
    dw::DataWindow &m_dw;
};
