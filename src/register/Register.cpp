#include "register/Register.h"

#include "base/Errors.h"

#include <chrono>
#include <future>
#include <utility>

namespace venqor {

namespace {

constexpr std::size_t SmallBlock = 64; // keys

} // namespace

struct Register::Pending {
    std::future<void> future;
};

Register::Register()
    : lookingUp_(std::make_unique<Pending>())
{
}

Register::~Register()
{
    Close();
}

void Register::OpenRegister(const RegisterSettings& settings, LookupKind kind)
{
    Close();
    reason_.clear();
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
    } catch (const std::exception& error) {
        const std::string reason = error.what();
        Close();
        reason_ = reason;
        return;
    }
    reader_ = table_ ? static_cast<RecordReader*>(table_.get()) : query_.get();
    current_ = reader_;
    try {
        for (Block& block : blocks_)
            block.lookup = table_ ? table_->blockLookup(kind) : query_->blockLookup(kind);
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
    return *reader_;
}

template <typename Matches> std::optional<bool> Register::blockAnswer(Matches matches)
{
    const std::ptrdiff_t key = std::exchange(blockKey_, -1);
    if (answering_ && key >= 0 && matches(answering_->keys[static_cast<std::size_t>(key)])) {
        const LookupAnswer& answer = answering_->answers[static_cast<std::size_t>(key)];
        if (answer.failure)
            std::rethrow_exception(answer.failure);
        if (answer.found) {
            answering_->lookup->select(static_cast<std::size_t>(key));
            current_ = answering_->lookup.get();
        }
        return answer.found;
    }
    // The connection is the block lookup's until it ends.
    waitForBlock();
    current_ = reader_;
    return std::nullopt;
}

void Register::waitForBlock() noexcept
{
    if (lookingUp_->future.valid())
        lookingUp_->future.wait();
}

void Register::lookUpBlock(std::vector<LookupKey>& keys)
{
    // A lookup not used yet ends first: one find() at a time, and every find() made.
    waitForBlock();
    Block& block = blocks_[nextBlock_];
    block.keys.swap(keys);
    // A small block is not worth a thread: it is looked up when it is used.
    const auto policy = block.keys.size() < SmallBlock ? std::launch::deferred : std::launch::async;
    lookingUp_->future = std::async(policy, [&block] { block.lookup->find(block.keys, block.answers); });
    ++block.finds; // once the find is sure to be made
}

void Register::useBlock()
{
    answering_ = nullptr;
    blockKey_ = -1;
    Block& block = blocks_[nextBlock_];
    if (lookingUp_->future.valid()) {
        // This thread takes part in a lookup made on the other one, and finishes what a
        // lookup made here (deferred, in get()) left to it.
        const bool here
            = lookingUp_->future.wait_for(std::chrono::seconds(0)) == std::future_status::deferred;
        if (!here)
            block.lookup->help(block.finds);
        std::exchange(lookingUp_->future, {}).get();
        if (here)
            block.lookup->help(block.finds);
    }
    answering_ = &block;
    nextBlock_ ^= 1;
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
    if (table_)
        return FindKey(*table_, kind, key);
    query_->close();
    SetLookupParams(*query_, kind, key);
    query_->open();
    return !query_->eof();
}

RecordReader& Register::record()
{
    requireAvailable();
    return *current_;
}

void Register::Close()
{
    waitForBlock();
    lookingUp_->future = {};
    answering_ = nullptr;
    blockKey_ = -1;
    nextBlock_ = 0;
    for (Block& block : blocks_)
        block.lookup.reset();
    reader_ = nullptr;
    current_ = nullptr;
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
