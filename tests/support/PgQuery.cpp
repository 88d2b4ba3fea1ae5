#include "PgQuery.h"

#include <libpq-fe.h>
#include <memory>
#include <stdexcept>

namespace venqor::test {

std::vector<SqlRow> PgRows(const std::string& uri, const std::string& sql)
{
    const std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(uri.c_str()), &PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK)
        throw std::runtime_error(uri + ": " + PQerrorMessage(conn.get()));
    PQsetNoticeProcessor(
        conn.get(), [](void*, const char*) {}, nullptr);
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn.get(), sql.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throw std::runtime_error(sql + ": " + PQresultErrorMessage(result.get()));
    std::vector<SqlRow> rows;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        SqlRow& out = rows.emplace_back();
        for (int column = 0; column < PQnfields(result.get()); ++column)
            if (PQgetisnull(result.get(), row, column))
                out.emplace_back(std::nullopt);
            else
                out.emplace_back(PQgetvalue(result.get(), row, column));
    }
    return rows;
}

} // namespace venqor::test
