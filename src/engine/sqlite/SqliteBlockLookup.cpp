#include "engine/sqlite/SqliteBlockLookup.h"

#include "base/Errors.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace venqor::sqlite {

namespace {

constexpr std::size_t NoRow = static_cast<std::size_t>(-1);
// A block's keys are shared between the two connections from this many per connection on:
// below that, sharing them costs about as much as it saves.
constexpr std::size_t KeysPerConnection = 32;
constexpr std::size_t ChunksPerConnection = 16; // so that both end together
constexpr std::size_t PrefetchAhead = 8;        // keys

// Kept rows, one after another, each column as its type (a byte), then for an integer or a
// real its 8 bytes, and for a real, a text or a blob the length of its text (4 bytes) and
// the text.
using Arena = std::string;

// Where a key's row lies: the arena of the connection that found it, and its start there.
struct Found {
    std::size_t arena = 0;
    std::size_t start = NoRow;
};

template <typename T> void put(Arena& arena, const T& value)
{
    arena.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T> T take(const char*& p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

// A key's place in the lookup order: leading bytes of the key as numbers, compared in
// turn, then the key's own position. Neighbours in this order are neighbours in the index
// (names differing only after their first bytes stay close).
struct OrderKey {
    std::uint64_t major = 0;
    std::uint64_t minor = 0;
    std::uint32_t index = 0;

    friend bool operator<(const OrderKey& a, const OrderKey& b)
    {
        return a.major != b.major ? a.major < b.major
            : a.minor != b.minor  ? a.minor < b.minor
                                  : a.index < b.index;
    }
};

// The first `count` bytes of `text` (NUL after its end) as a big-endian number, shifted by `shift`.
std::uint64_t leadingBytes(std::string_view text, std::size_t count, int shift)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0U);
    return value << shift;
}

OrderKey orderKey(LookupKind kind, const LookupKey& key, std::size_t index)
{
    OrderKey order;
    order.index = static_cast<std::uint32_t>(index);
    if (kind == LookupKind::ByNumber) {
        order.major = static_cast<std::uint64_t>(key.number) ^ (std::uint64_t { 1 } << 63);
    } else {
        order.major = leadingBytes(key.fam, 8, 0);
        order.minor = leadingBytes(key.nam, 4, 32) | leadingBytes(key.otch, 4, 0);
    }
    return order;
}

class KeptBlockLookup final : public BlockLookup {
public:
    KeptBlockLookup(Columns columns, LookupKind kind, std::vector<SingleLookup> lookUps)
        : columns_(std::move(columns))
        , kind_(kind)
        , lookUps_(std::move(lookUps))
        , arenas_(lookUps_.size())
    {
    }

    void find(Ticket ticket, std::span<const LookupKey> keys, std::vector<LookupAnswer>& answers) override
    {
        std::unique_lock lock(taking_, std::defer_lock);
        // However this ends, the chunks are set up, so that help() never waits in vain.
        Chunks chunks;
        const auto setUp = [&] {
            lock.lock();
            chunks_ = chunks;
            setUp_ = ticket.find;
            lock.unlock();
            chunksSetUp_.notify_all();
        };
        try {
            answers.assign(keys.size(), {});
            found_.assign(keys.size(), {});
            kept_.current = false;
            order_.resize(keys.size());
            for (std::size_t i = 0; i < keys.size(); ++i)
                order_[i] = orderKey(kind_, keys[i], i);
            std::sort(order_.begin(), order_.end());
            arenas_[0].clear();
            chunks = Chunks::Of(keys, answers, lookUps_.size() > 1);
        } catch (...) {
            chunks = {};
            setUp();
            throw;
        }
        setUp();
        // The first connection takes chunks of neighbouring keys from the front, help()
        // through the second from the back, till they meet: each reads its own end of the
        // index. The last chunk is left to help().
        for (;;) {
            lock.lock();
            const bool left
                = chunks_.front < chunks_.back && (!chunks_.shared || chunks_.front + 1 < chunks_.count);
            if (!left)
                return;
            const std::size_t chunk = chunks_.front++;
            lock.unlock();
            lookUpChunk(0, chunk);
        }
    }

    void help(Ticket ticket) override
    {
        std::unique_lock lock(taking_);
        chunksSetUp_.wait(lock, [&] { return setUp_ >= ticket.find; });
        if (setUp_ != ticket.find || !chunks_.shared)
            return;
        arenas_[1].clear();
        while (chunks_.front < chunks_.back) {
            const std::size_t chunk = --chunks_.back;
            lock.unlock();
            lookUpChunk(1, chunk);
            lock.lock();
        }
    }

    void select(std::size_t i) override
    {
        kept_.current = false;
        if (const char* row = rowAt(i))
            kept_.select(row, columns_.size());
        // The lines read their rows in the order of their keys, not in the order found:
        // fetch the next one while this one is read.
        if (i + 1 < found_.size())
            if (const char* next = rowAt(i + 1)) {
                __builtin_prefetch(next);
                __builtin_prefetch(next + 64);
            }
    }

    int fieldIndex(std::string_view name) const override { return columns_.indexOf(name); }
    std::string_view fieldText(int index) override { return columns_.text(row(), index); }
    Date fieldDate(int index) override { return columns_.date(row(), index); }
    std::int64_t fieldInt(int index) override { return columns_.integer(row(), index); }

private:
    // The current kept row, read as Columns reads a statement's row.
    class KeptRow final : public Row {
    public:
        struct Column {
            int type = SQLITE_NULL;
            std::int64_t integer = 0;
            double real = 0;
            std::string_view text;
        };

        // Makes the row at `p` (of `width` columns) current.
        void select(const char* p, int width)
        {
            columns_.resize(static_cast<std::size_t>(width));
            for (Column& column : columns_) {
                column = Column {};
                column.type = take<std::uint8_t>(p);
                if (column.type == SQLITE_INTEGER)
                    column.integer = take<std::int64_t>(p);
                if (column.type == SQLITE_FLOAT)
                    column.real = take<double>(p);
                if (column.type == SQLITE_FLOAT || column.type == SQLITE_TEXT || column.type == SQLITE_BLOB) {
                    const auto length = take<std::uint32_t>(p);
                    column.text = std::string_view(p, length);
                    p += length;
                }
            }
            current = true;
        }

        int type(int index) const override { return column(index).type; }
        std::int64_t integer(int index) const override { return column(index).integer; }
        double real(int index) const override { return column(index).real; }
        std::string_view text(int index) const override
        {
            const Column& c = column(index);
            if (c.type == SQLITE_INTEGER) {
                number_ = std::to_string(c.integer);
                return number_;
            }
            return c.text;
        }

        bool current = false;

    private:
        const Column& column(int index) const { return columns_[static_cast<std::size_t>(index)]; }

        std::vector<Column> columns_;
        mutable std::string number_;
    };

    // The chunks of a block's keys in lookup order, and those not yet taken: [front, back).
    struct Chunks {
        std::span<const LookupKey> keys;
        std::vector<LookupAnswer>* answers = nullptr;
        std::size_t keysEach = 1, count = 0, front = 0, back = 0;
        bool shared = false; // between find() and help()

        static Chunks Of(
            std::span<const LookupKey> keys, std::vector<LookupAnswer>& answers, bool twoConnections)
        {
            Chunks chunks;
            chunks.keys = keys;
            chunks.answers = &answers;
            chunks.shared = twoConnections && keys.size() >= 2 * KeysPerConnection;
            chunks.keysEach = chunks.shared
                ? std::max(KeysPerConnection, keys.size() / (2 * ChunksPerConnection))
                : std::max<std::size_t>(keys.size(), 1);
            chunks.count = (keys.size() + chunks.keysEach - 1) / chunks.keysEach;
            chunks.back = chunks.count;
            return chunks;
        }
    };

    // Looks up the keys of a chunk, in lookup order, through lookUps_[run], adding the rows
    // found to arenas_[run].
    void lookUpChunk(std::size_t run, std::size_t chunk)
    {
        const std::span<const LookupKey> keys = chunks_.keys;
        std::vector<LookupAnswer>& answers = *chunks_.answers;
        const std::size_t begin = chunk * chunks_.keysEach;
        const std::size_t end = std::min(keys.size(), begin + chunks_.keysEach);
        Arena& arena = arenas_[run];
        const SingleLookup& lookUp = lookUps_[run];
        for (std::size_t k = begin; k < end; ++k) {
            const std::size_t i = order_[k].index;
            // The keys are taken out of their order: fetch those a few lookups ahead.
            if (k + PrefetchAhead < end) {
                const auto* ahead = reinterpret_cast<const char*>(&keys[order_[k + PrefetchAhead].index]);
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + sizeof(LookupKey) - 1);
            }
            try {
                if (sqlite3_stmt* row = lookUp(keys[i])) {
                    found_[i] = { run, arena.size() };
                    keep(row, arena);
                    answers[i].found = true;
                }
            } catch (...) {
                answers[i].failure = std::current_exception();
            }
        }
    }

    // Appends the statement's row to `arena`.
    void keep(sqlite3_stmt* statement, Arena& arena) const
    {
        const StatementRow row(statement);
        for (int i = 0; i < columns_.size(); ++i) {
            const int type = row.type(i);
            arena += static_cast<char>(type);
            if (type == SQLITE_INTEGER)
                put(arena, row.integer(i));
            if (type == SQLITE_FLOAT)
                put(arena, row.real(i));
            if (type == SQLITE_FLOAT || type == SQLITE_TEXT || type == SQLITE_BLOB) {
                const std::string_view text = row.text(i);
                put(arena, static_cast<std::uint32_t>(text.size()));
                arena += text;
            }
        }
    }

    // The row found for keys[i], or nullptr.
    const char* rowAt(std::size_t i) const
    {
        const Found& found = found_[i];
        return found.start == NoRow ? nullptr : arenas_[found.arena].data() + found.start;
    }

    const Row& row() const
    {
        if (!kept_.current)
            throw TableError("no record of the block is current");
        return kept_;
    }

    Columns columns_;
    const LookupKind kind_;
    std::vector<SingleLookup> lookUps_;
    std::vector<Arena> arenas_; // the rows found through each connection, in lookup order
    std::vector<OrderKey> order_;
    std::vector<Found> found_;
    std::mutex taking_; // guards what follows
    std::condition_variable chunksSetUp_;
    std::uint64_t setUp_ = 0; // the ticket of the last find whose chunks are set up
    Chunks chunks_;
    KeptRow kept_;
};

} // namespace

std::unique_ptr<BlockLookup> MakeBlockLookup(
    Columns columns, LookupKind kind, std::vector<SingleLookup> lookUps)
{
    return std::make_unique<KeptBlockLookup>(std::move(columns), kind, std::move(lookUps));
}

} // namespace venqor::sqlite
