#pragma once

#include "db/connectionopener.h"

#include <QString>

#include <memory>

namespace testsupport {

// A database driver the test controls, behind every Transaction::connect() while it
// lives: connecting fails with `connectError` when it is set ("%1" stands for the connect
// string it was given), else every statement fails with `queryError`. Real drivers echo
// what they were given in texts like these.
class FakeDriver
{
public:
    QString connectError;
    QString queryError;

    FakeDriver()
    {
        dw::setConnectionOpener(
            [this](const QString &connectString, dw::DbError &error) { return open(connectString, error); });
    }
    ~FakeDriver() { dw::setConnectionOpener({}); }
    FakeDriver(const FakeDriver &) = delete;
    FakeDriver &operator=(const FakeDriver &) = delete;

private:
    class Refusing final : public dw::Connection
    {
    public:
        explicit Refusing(QString text) : m_text(std::move(text)) {}
        dw::Dialect dialect() const override { return dw::Dialect::Access; }
        std::unique_ptr<dw::Cursor> query(const QString &, const std::vector<dw::Value> &,
                                          dw::DbError &error) override
        {
            error.code = -3100;
            error.text = m_text;
            return nullptr;
        }

    private:
        QString m_text;
    };

    std::unique_ptr<dw::Connection> open(const QString &connectString, dw::DbError &error) const
    {
        if (!connectError.isEmpty()) {
            error.code = 28000;
            error.text = connectError.arg(connectString);
            return nullptr;
        }
        return std::make_unique<Refusing>(queryError);
    }
};

} // namespace testsupport
