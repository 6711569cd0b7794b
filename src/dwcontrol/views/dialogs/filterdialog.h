#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace dw {

class DataWindow;

// The filter dialog: an expression of the engine's language, with the columns and the
// functions at hand (a double click inserts one at the cursor). The expression is
// checked when the user confirms: an invalid one shows why ("errorLabel") and the
// dialog stays open. An empty expression is accepted: it removes the filter. Widgets
// carry object names ("expressionEdit", "columnList", "functionList", "errorLabel").
class FilterDialog final : public QDialog
{
    Q_OBJECT
public:
    FilterDialog(const DataWindow &dw, const QString &expression, QWidget *parent = nullptr);

    [[nodiscard]] QString expression() const;
    void setExpression(const QString &expression);
    // Inserts a column name or a function at the cursor.
    void insertText(const QString &text);
    [[nodiscard]] QString errorText() const;

public slots:
    void accept() override;

private:
    const DataWindow &m_dw;
    QPlainTextEdit *m_edit = nullptr;
    QListWidget *m_columns = nullptr;
    QListWidget *m_functions = nullptr;
    QLabel *m_error = nullptr;
};

} // namespace dw
