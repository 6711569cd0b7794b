#include "filterdialog.h"

#include "columnheading.h"
#include "datawindow.h"
#include "expr/expression.h"
#include "expr/functions.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <algorithm>

namespace dw {
namespace {

constexpr int insertRole = Qt::UserRole;

// Binds the names of an expression to the data window's columns; the dialog only
// checks expressions, it never evaluates them.
class ColumnNames final : public EvalContext
{
public:
    explicit ColumnNames(const DataWindow &dw) : m_dw(dw) {}
    int columnNumber(const QString &name) const override { return m_dw.columnNumber(name); }
    Value columnValue(int, qint64) const override { return {}; }
    QString lookupDisplay(int, qint64) const override { return {}; }
    QString describe(const QString &path) const override { return m_dw.Describe(path); }

private:
    const DataWindow &m_dw;
};

struct Operator
{
    const char16_t *text;
    const char16_t *hint;
};

// The operators, as they are inserted, after the language's own functions.
constexpr Operator operators[] = {
    {u" = ", u"Igual a"}, {u" <> ", u"Distinto de"}, {u" < ", u"Menor que"}, {u" > ", u"Mayor que"},
    {u" AND ", u"Y"},     {u" OR ", u"O"},           {u"not ", u"No"},       {u" & ", u"Une dos textos"},
};

} // namespace

FilterDialog::FilterDialog(const DataWindow &dw, const QString &expression, QWidget *parent)
    : QDialog(parent)
    , m_dw(dw)
{
    setWindowTitle(QStringLiteral("Especificar Filtro"));

    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QStringLiteral("expressionEdit"));
    m_edit->setTabChangesFocus(true);

    m_columns = new QListWidget(this);
    m_columns->setObjectName(QStringLiteral("columnList"));
    for (int column = 1; column <= dw.columnCount(); ++column) {
        const QString name = dw.columnName(column);
        const QString heading = columnHeading(dw, name);
        auto *item = new QListWidgetItem(
            heading == name ? name : QStringLiteral("%1 (%2)").arg(name, heading), m_columns);
        item->setData(insertRole, name);
    }

    m_functions = new QListWidget(this);
    m_functions->setObjectName(QStringLiteral("functionList"));
    // Each function the parser knows and users write; "()" puts the cursor inside.
    for (const expr::FunctionSpec &function : expr::functions()) {
        if (function.hint.isEmpty())
            continue;
        auto *item = new QListWidgetItem(function.name.toString() + QStringLiteral("()"), m_functions);
        item->setData(insertRole, item->text());
        item->setToolTip(function.hint.toString());
    }
    for (const Operator &op : operators) {
        const QString text = QString::fromUtf16(op.text);
        auto *item = new QListWidgetItem(text.trimmed(), m_functions);
        item->setData(insertRole, text);
        item->setToolTip(QString::fromUtf16(op.hint));
    }

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("errorLabel"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Expresión del filtro:"), this), 0, 0, 1, 2);
    grid->addWidget(m_edit, 1, 0, 1, 2);
    grid->addWidget(m_error, 2, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Columnas:"), this), 3, 0);
    grid->addWidget(new QLabel(QStringLiteral("Funciones:"), this), 3, 1);
    grid->addWidget(m_columns, 4, 0);
    grid->addWidget(m_functions, 4, 1);
    grid->addWidget(buttons, 5, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(4, 2);

    const auto insertItem = [this](QListWidgetItem *item) { insertText(item->data(insertRole).toString()); };
    connect(m_columns, &QListWidget::itemDoubleClicked, this, insertItem);
    connect(m_functions, &QListWidget::itemDoubleClicked, this, insertItem);
    connect(m_edit, &QPlainTextEdit::textChanged, m_error, [this] {
        m_error->clear();
        m_error->setMinimumHeight(0);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    setExpression(expression);
    resize(560, 420);
}

QString FilterDialog::expression() const
{
    return m_edit->toPlainText().trimmed();
}

void FilterDialog::setExpression(const QString &expression)
{
    m_edit->setPlainText(expression);
    m_edit->moveCursor(QTextCursor::End);
}

void FilterDialog::insertText(const QString &text)
{
    QTextCursor cursor = m_edit->textCursor();
    cursor.insertText(text);
    if (text.endsWith(QStringLiteral("()")))
        cursor.movePosition(QTextCursor::Left);
    m_edit->setTextCursor(cursor);
    m_edit->setFocus();
}

QString FilterDialog::errorText() const
{
    return m_error->text();
}

void FilterDialog::accept()
{
    const QString text = expression();
    if (!text.isEmpty()) {
        QString error;
        if (!Expression::parse(text, ColumnNames(m_dw), &error)) {
            // The parser's own text says what is wrong and where.
            m_error->setText(error.isEmpty() ? QStringLiteral("La expresión no es válida.") : error);
            m_error->setMinimumHeight(m_error->heightForWidth(std::max(m_error->width(), m_edit->width())));
            return;
        }
    }
    m_error->clear();
    QDialog::accept();
}

} // namespace dw
