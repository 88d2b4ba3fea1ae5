#include "engine/pg/PgBlockLookup.h"

#include "base/Errors.h"

namespace venqor::pg {

namespace {

class PipelinedLookup final : public BlockLookup {
public:
    PipelinedLookup(std::shared_ptr<Connection> conn, Record record, LookupCall callOf)
        : conn_(std::move(conn))
        , record_(std::move(record))
        , callOf_(std::move(callOf))
    {
    }

    void find(Ticket, std::span<const LookupKey> keys, std::vector<LookupAnswer>& answers) override
    {
        record_.clear();
        answers.assign(keys.size(), {});
        calls_.clear();
        keyOfCall_.clear();
        resultOf_.assign(keys.size(), 0);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            try {
                calls_.push_back(callOf_(keys[i]));
                keyOfCall_.push_back(i);
            } catch (...) {
                answers[i].failure = std::current_exception();
            }
        }
        // A stop or a lost connection ends every lookup not answered yet with its failure.
        std::exception_ptr ended;
        try {
            conn_->pipeline(calls_, results_);
        } catch (...) {
            ended = std::current_exception();
            results_.clear();
            results_.resize(calls_.size());
        }
        for (std::size_t c = 0; c < calls_.size(); ++c) {
            const std::size_t i = keyOfCall_[c];
            if (!results_[c]) {
                if (ended) {
                    answers[i].failure = ended;
                    continue;
                }
                try {
                    results_[c] = conn_->execPrepared(calls_[c].statement, calls_[c].values, calls_[c].what);
                } catch (const Interrupted&) {
                    answers[i].failure = ended = std::current_exception();
                    continue;
                } catch (const ConnectionLost&) {
                    answers[i].failure = ended = std::current_exception();
                    continue;
                } catch (...) {
                    answers[i].failure = std::current_exception();
                    continue;
                }
            }
            answers[i].found = PQntuples(results_[c].get()) > 0;
            resultOf_[i] = c;
        }
    }

    void select(std::size_t i) override { record_.viewResult(results_[resultOf_[i]].get()); }
    // Each key's result takes a few KiB.
    std::size_t maxKeys() const override { return 4096; }

    int fieldIndex(std::string_view name) const override { return record_.fieldIndex(name); }
    std::string_view fieldText(int index) override { return record_.text(index); }
    Date fieldDate(int index) override { return record_.date(index); }
    std::int64_t fieldInt(int index) override { return record_.integer(index); }

private:
    std::shared_ptr<Connection> conn_;
    Record record_;
    LookupCall callOf_;
    std::vector<Call> calls_;
    std::vector<std::size_t> keyOfCall_;
    std::vector<Result> results_;
    std::vector<std::size_t> resultOf_; // the call of each key that was answered
};

} // namespace

std::unique_ptr<BlockLookup> MakeBlockLookup(
    std::shared_ptr<Connection> conn, Record record, LookupCall callOf)
{
    return std::make_unique<PipelinedLookup>(std::move(conn), std::move(record), std::move(callOf));
}

} // namespace venqor::pg
