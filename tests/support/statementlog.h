#pragma once

#include "db/builtindriver.h"
#include "db/connectionopener.h"
#include "db/connectstring.h"

#include <QStringList>

#include <memory>

namespace testsupport {

// What the database receives: while it lives, every Transaction::connect() opens the
// built-in driver as the program does, and every statement sent through such a
// connection is written down, as sent (already in the database's own dialect).
class StatementLog
{
public:
    StatementLog()
    {
        dw::setConnectionOpener([this](const QString &connectString, dw::DbError &error) {
            const dw::ConnectString parts(connectString);
            std::unique_ptr<dw::Connection> real
                = dw::openBuiltInAccess(parts.value(QStringLiteral("DBQ")).value_or(QString()),
                                        parts.value(QStringLiteral("PWD")).value_or(QString()), error);
            return real ? std::make_unique<Recording>(std::move(real), m_statements) : nullptr;
        });
    }
    ~StatementLog() { dw::setConnectionOpener({}); }
    StatementLog(const StatementLog &) = delete;
    StatementLog &operator=(const StatementLog &) = delete;

    // The statements that read the members' table, in the order they were sent.
    [[nodiscard]] QStringList searches() const { return m_statements.filter(QStringLiteral("directorio")); }
    void clear() { m_statements.clear(); }

private:
    class Recording final : public dw::Connection
    {
    public:
        Recording(std::unique_ptr<dw::Connection> real, QStringList &log)
            : m_real(std::move(real))
            , m_log(log)
        {}
        dw::Dialect dialect() const override { return m_real->dialect(); }
        std::unique_ptr<dw::Cursor> query(const QString &sql, const std::vector<dw::Value> &params,
                                          dw::DbError &error) override
        {
            m_log.append(sql);
            return m_real->query(sql, params, error);
        }
        bool lost() const override { return m_real->lost(); }
        void setHeartbeat(std::function<void()> heartbeat) override
        {
            m_real->setHeartbeat(std::move(heartbeat));
        }

    private:
        std::unique_ptr<dw::Connection> m_real;
        QStringList &m_log;
    };

    QStringList m_statements;
};

} // namespace testsupport
