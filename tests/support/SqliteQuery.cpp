#include "support/SqliteQuery.h"

#include <sqlite3.h>
#include <stdexcept>

namespace venqor::test {

std::vector<SqlRow> SqliteRows(const std::string& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    const auto fail = [&](const std::string& what) {
        const std::string message = file + ": " + what + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        throw std::runtime_error(message);
    };
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail("cannot open");
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        fail(sql);
    std::vector<SqlRow> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        SqlRow& row = rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            if (text)
                row.emplace_back(std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i))));
            else
                row.emplace_back(std::nullopt);
        }
    }
    if (rc != SQLITE_DONE)
        fail(sql);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

} // namespace venqor::test
