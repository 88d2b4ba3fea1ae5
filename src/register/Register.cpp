#include "register/Register.h"

#include "base/Errors.h"
#include "base/Stop.h"

#include <chrono>
#include <future>
#include <system_error>
#include <utility>

namespace venqor {

namespace {

constexpr std::size_t SmallBlock = 64; // keys

} // namespace

struct Register::Pending {
    Block* block = nullptr;
    BlockLookup::Ticket ticket;
    std::future<void> future;
};

Register::Register()
    : pending_(std::make_unique<Pending>())
{
}

Register::~Register()
{
    Close();
}

void Register::OpenRegister(const RegisterSettings& settings, LookupKind kind)
{
    Close();
    try {
        database_ = OpenDatabase(settings.location);
        if (settings.useQuery) {
            query_ = database_->query();
            query_->setSql(kind == LookupKind::ByNumber ? settings.sql1Text : settings.sql2Text);
            query_->prepare();
        } else {
            table_ = database_->table("NUMS");
            table_->open();
            table_->setIndexFields(kind == LookupKind::ByNumber ? "" : "FAM;NAM;OTCH;BIRTH");
        }
        database_->beginRead();
    } catch (const Interrupted&) {
        Close();
        throw;
    } catch (const std::exception& error) {
        const std::string reason = error.what();
        Close();
        reason_ = reason;
        return;
    }
    reader_ = table_ ? static_cast<RecordReader*>(table_.get()) : query_.get();
    current_ = nullptr;
    try {
        for (Block& block : blocks_)
            block.lookup = table_ ? table_->blockLookup(kind) : query_->blockLookup(kind);
    } catch (const Interrupted&) {
        Close();
        throw;
    } catch (const std::exception&) {
        // Lookups are then made one at a time, each failing in its own line.
        for (Block& block : blocks_)
            block.lookup.reset();
    }
}

RecordReader& Register::requireAvailable()
{
    if (!reader_)
        throw TableError("the register is not open" + (reason_.empty() ? std::string() : ": " + reason_));
    if (!lost_.empty())
        throw TableError("the register was lost: " + lost_);
    return *reader_;
}

void Register::noteLoss(const std::exception_ptr& failure) noexcept
{
    try {
        std::rethrow_exception(failure);
    } catch (const ConnectionLost& lost) {
        lost_ = lost.what();
    } catch (...) {
    }
}

template <typename Matches> std::optional<bool> Register::blockAnswer(Matches matches)
{
    const std::ptrdiff_t key = std::exchange(blockKey_, -1);
    current_ = nullptr;
    if (answering_ && key >= 0 && static_cast<std::size_t>(key) < answering_->keys.size()
        && matches(answering_->keys[static_cast<std::size_t>(key)])) {
        const LookupAnswer& answer = answering_->answers[static_cast<std::size_t>(key)];
        if (answer.failure) {
            noteLoss(answer.failure);
            std::rethrow_exception(answer.failure);
        }
        if (answer.found) {
            answering_->lookup->select(static_cast<std::size_t>(key));
            current_ = answering_->lookup.get();
        }
        return answer.found;
    }
    // The first connection is the find's until it ends.
    waitForFind();
    return std::nullopt;
}

void Register::waitForFind() noexcept
{
    if (pending_->future.valid())
        pending_->future.wait();
}

void Register::lookUpBlock(std::vector<LookupKey>& keys)
{
    // A find not used yet ends first: one find at a time, and every find made.
    waitForFind();
    if (!lost_.empty())
        return;
    Block& block = answering_ == &blocks_[0] ? blocks_[1] : blocks_[0];
    if (current_ == block.lookup.get())
        current_ = nullptr; // its record is about to be replaced
    block.keys.swap(keys);
    const BlockLookup::Ticket ticket = block.lookup->nextTicket();
    const auto find = [&block, ticket] { block.lookup->find(ticket, block.keys, block.answers); };
    // A small block is not worth a thread: it is looked up when it is used, and so is any
    // block when no thread can be started.
    std::future<void> future;
    if (block.keys.size() >= SmallBlock) {
        try {
            const StopSignalsBlocked stopsHere; // a stop interrupts the reading thread
            future = std::async(std::launch::async, find);
        } catch (const std::system_error&) {
        }
    }
    if (!future.valid())
        future = std::async(std::launch::deferred, find);
    *pending_ = { &block, ticket, std::move(future) };
}

void Register::useBlock()
{
    answering_ = nullptr;
    blockKey_ = -1;
    Pending pending = std::exchange(*pending_, {});
    if (!pending.future.valid())
        return;
    // This thread takes part in a find made on the other one, and finishes what a find made
    // here (deferred, in get()) left to it.
    const bool here = pending.future.wait_for(std::chrono::seconds(0)) == std::future_status::deferred;
    if (!here)
        pending.block->lookup->help(pending.ticket);
    pending.future.get();
    if (here)
        pending.block->lookup->help(pending.ticket);
    answering_ = pending.block;
}

bool Register::FindByStrNum(std::int32_t num)
{
    requireAvailable();
    if (const auto answer = blockAnswer([num](const LookupKey& key) { return key.number == num; }))
        return *answer;
    LookupKey key;
    key.number = num;
    return findAlone(LookupKind::ByNumber, key);
}

bool Register::FindByNameBirth(std::string_view fam, std::string_view nam, std::string_view otch, Date birth)
{
    requireAvailable();
    if (const auto answer = blockAnswer([&](const LookupKey& key) {
            return key.fam == fam && key.nam == nam && key.otch == otch && key.birth == birth;
        }))
        return *answer;
    return findAlone(LookupKind::ByNameBirth,
        { .fam = std::string(fam), .nam = std::string(nam), .otch = std::string(otch), .birth = birth });
}

bool Register::findAlone(LookupKind kind, const LookupKey& key)
{
    current_ = reader_;
    try {
        if (table_)
            return FindKey(*table_, kind, key);
        query_->close();
        SetLookupParams(*query_, kind, key);
        query_->open();
        return !query_->eof();
    } catch (...) {
        noteLoss(std::current_exception());
        throw;
    }
}

RecordReader& Register::record()
{
    requireAvailable();
    if (!current_)
        throw TableError("no register record is current: the last lookup found none");
    return *current_;
}

void Register::Close()
{
    // A find under way ends before what it uses is released; one deferred never runs.
    *pending_ = {};
    answering_ = nullptr;
    blockKey_ = -1;
    for (Block& block : blocks_)
        block = {};
    reader_ = nullptr;
    current_ = nullptr;
    reason_.clear();
    lost_.clear();
    try {
        if (query_)
            query_->close();
        if (table_)
            table_->close();
        if (database_)
            database_->commit();
    } catch (const std::exception&) {
        // Ending a read transaction loses nothing.
    }
    query_.reset();
    table_.reset();
    database_.reset();
}

} // namespace venqor
