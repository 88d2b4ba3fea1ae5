#include "engine/sqlite/SqliteBlockLookup.h"

#include "scan/Errors.h"

#include <algorithm>
#include <numeric>
#include <tuple>

namespace venqor::sqlite {

namespace {

constexpr std::size_t NoRow = static_cast<std::size_t>(-1);

// A column of a kept row: its type and number, and where its text lies in the block's text.
struct Cell {
    union {
        std::int64_t integer = 0;
        double real;
    };
    std::uint32_t textStart = 0;
    std::uint32_t textLength = 0;
    int type = SQLITE_NULL;
};

class KeptBlockLookup final : public BlockLookup {
public:
    KeptBlockLookup(Columns columns, LookupKind kind, SingleLookup lookUp)
        : columns_(std::move(columns))
        , kind_(kind)
        , lookUp_(std::move(lookUp))
    {
    }

    void find(std::span<const LookupKey> keys, std::vector<LookupAnswer>& answers) override
    {
        answers.assign(keys.size(), {});
        rowOf_.assign(keys.size(), NoRow);
        cells_.clear();
        text_.clear();
        kept_.first = NoRow;
        order_.resize(keys.size());
        std::iota(order_.begin(), order_.end(), std::size_t { 0 });
        if (kind_ == LookupKind::ByNumber)
            std::sort(order_.begin(), order_.end(),
                [&](std::size_t a, std::size_t b) { return keys[a].number < keys[b].number; });
        else
            std::sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
                return std::tie(keys[a].fam, keys[a].nam, keys[a].otch, keys[a].birth)
                    < std::tie(keys[b].fam, keys[b].nam, keys[b].otch, keys[b].birth);
            });
        for (const std::size_t i : order_) {
            try {
                if (sqlite3_stmt* row = lookUp_(keys[i])) {
                    rowOf_[i] = keep(row);
                    answers[i].found = true;
                }
            } catch (...) {
                answers[i].failure = std::current_exception();
            }
        }
    }

    void select(std::size_t i) override { kept_.first = rowOf_[i]; }

    int fieldIndex(std::string_view name) const override { return columns_.indexOf(name); }
    std::string_view fieldText(int index) override { return columns_.text(row(), index); }
    Date fieldDate(int index) override { return columns_.date(row(), index); }
    std::int64_t fieldInt(int index) override { return columns_.integer(row(), index); }

private:
    // A kept row read as Columns reads a statement's row.
    class KeptRow final : public Row {
    public:
        explicit KeptRow(const KeptBlockLookup& block)
            : block_(block)
        {
        }
        int type(int index) const override { return cell(index).type; }
        std::int64_t integer(int index) const override { return cell(index).integer; }
        double real(int index) const override { return cell(index).real; }
        std::string_view text(int index) const override
        {
            const Cell& c = cell(index);
            if (c.type == SQLITE_INTEGER) {
                number_ = std::to_string(c.integer);
                return number_;
            }
            return std::string_view(block_.text_).substr(c.textStart, c.textLength);
        }

        std::size_t first = NoRow; // where the cells of the current row begin

    private:
        const Cell& cell(int index) const { return block_.cells_[first + static_cast<std::size_t>(index)]; }

        const KeptBlockLookup& block_;
        mutable std::string number_;
    };

    // Copies the statement's row; returns where its cells begin.
    std::size_t keep(sqlite3_stmt* statement)
    {
        const std::size_t first = cells_.size();
        const StatementRow row(statement);
        for (int i = 0; i < columns_.size(); ++i) {
            Cell cell;
            cell.type = row.type(i);
            if (cell.type == SQLITE_INTEGER) {
                cell.integer = row.integer(i);
            } else if (cell.type != SQLITE_NULL) {
                if (cell.type == SQLITE_FLOAT)
                    cell.real = row.real(i);
                const std::string_view text = row.text(i);
                cell.textStart = static_cast<std::uint32_t>(text_.size());
                cell.textLength = static_cast<std::uint32_t>(text.size());
                text_ += text;
            }
            cells_.push_back(cell);
        }
        return first;
    }

    const Row& row() const
    {
        if (kept_.first == NoRow)
            throw TableError("no record of the block is current");
        return kept_;
    }

    Columns columns_;
    const LookupKind kind_;
    SingleLookup lookUp_;
    std::vector<std::size_t> order_;
    std::vector<std::size_t> rowOf_; // where the cells of each key's row begin
    std::vector<Cell> cells_;
    std::string text_;
    KeptRow kept_ { *this };
};

} // namespace

std::unique_ptr<BlockLookup> MakeBlockLookup(Columns columns, LookupKind kind, SingleLookup lookUp)
{
    return std::make_unique<KeptBlockLookup>(std::move(columns), kind, std::move(lookUp));
}

} // namespace venqor::sqlite
