#pragma once

#include "engine/TableEngine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace venqor {

// Access to the register NUMS for one run: in table mode through the table's indexes, in
// query mode through the user's statements Sql1Text (:NUM) and Sql2Text (:FAM, :NAM,
// :OTCH, :BIRTH). Matching is exact, as the engine compares keys and parameters.

struct RegisterSettings {
    std::string location;  // dedtNUMS: a directory, sqlite:PATH or postgresql://...
    bool useQuery = false; // UseQuery
    std::string sql1Text;  // lookup by number
    std::string sql2Text;  // lookup by name and birth date
};

class Register {
public:
    Register();
    ~Register();
    Register(const Register&) = delete;
    Register& operator=(const Register&) = delete;

    // Opens the register for a run's lookups of one kind, inside one read transaction. A
    // failure leaves it unavailable, with the failure's message as the reason.
    void OpenRegister(const RegisterSettings& settings, LookupKind kind);
    bool available() const { return reader_ != nullptr && lost_.empty(); }
    const std::string& unavailableReason() const { return reason_; }
    // Why the register was lost part way, when a lookup found its connection gone (the
    // server ended the session or stopped answering): it is then no longer available, and
    // no lookup is made from then on. Empty while it is not.
    const std::string& lossReason() const { return lost_; }

    // Lookups (the register must be available); on true the found record is current. A
    // failure of the engine (a statement without the parameter, ...) propagates.
    bool FindByStrNum(std::int32_t num);
    bool FindByNameBirth(std::string_view fam, std::string_view nam, std::string_view otch, Date birth);

    // The record of the last lookup, when it found one (TableError otherwise), until the next
    // lookup.
    RecordReader& record();

    // Block lookups, for the line loop, where the engine makes them: the keys of a block of
    // lines are looked up together on a second thread (lookUpBlock) while the lines of the
    // block before are treated; useBlock() takes part in what is left of their lookup, waits
    // for it and answers from them from then on: before each line, answerFromBlock names
    // the key gathered for it (or -1), and a lookup of that very key is answered from the
    // block, with the record or the failure the lookup had. Any other lookup is made alone,
    // as without blocks.
    bool takesBlocks() const { return blocks_[0].lookup != nullptr; }
    // The most keys a block may hold (takesBlocks() must be true).
    std::size_t maxBlockKeys() const { return blocks_[0].lookup->maxKeys(); }
    // Takes the keys over, leaving `keys` with the keys of an earlier block to be reused.
    void lookUpBlock(std::vector<LookupKey>& keys);
    void useBlock();
    void answerFromBlock(std::ptrdiff_t key) { blockKey_ = key; }

    // Ends the read transaction and releases the register; never throws.
    void Close();

private:
    // The keys of a block, their lookup and its answers.
    struct Block {
        std::unique_ptr<BlockLookup> lookup;
        std::vector<LookupKey> keys;
        std::vector<LookupAnswer> answers;
    };

    RecordReader& requireAvailable();
    // The block's answer for the key of the current line when it is `matches`; nothing
    // otherwise, after the find under way has ended (the lookup is then made alone).
    template <typename Matches> std::optional<bool> blockAnswer(Matches matches);
    // Waits for the find under way, if any, to end on the lookup thread.
    void waitForFind() noexcept;
    // A lookup made alone through the table or the query.
    bool findAlone(LookupKind kind, const LookupKey& key);
    // Notes a failure that lost the connection (see lossReason).
    void noteLoss(const std::exception_ptr& failure) noexcept;

    // The block lookup protocol between this (the reading) thread and the lookup thread.
    // lookUpBlock() hands a block that does not answer and the ticket of its find to the
    // lookup thread, which runs the find through the first connection; useBlock() alone
    // meets it again: help() with that ticket (the second connection's part, on this
    // thread), then the end of the find, after which the block answers. Meanwhile this
    // thread uses neither the first connection (a lookup alone waits for the find to end)
    // nor the block being filled (current_ never points into it).
    //
    // Close() resets every member below.
    std::unique_ptr<Database> database_;
    std::unique_ptr<Table> table_;
    std::unique_ptr<Query> query_;
    RecordReader* reader_ = nullptr;  // the table or the query
    RecordReader* current_ = nullptr; // what record() reads: the reader, a block, or nothing
    std::string reason_;
    std::string lost_;
    Block blocks_[2];
    struct Pending; // the find under way: its block, its ticket, its future
    std::unique_ptr<Pending> pending_;
    Block* answering_ = nullptr; // the block that answers, never the one being filled
    std::ptrdiff_t blockKey_ = -1;
};

} // namespace venqor
