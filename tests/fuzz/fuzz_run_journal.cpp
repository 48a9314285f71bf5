// Journals of runs read back, whatever their bytes (a disk that lost a block, a file cut short, an edited
// one): reading one never fails other than by reading as nothing, and a journal read as counts gives the
// counts of the one read with its changes, so that the history lists what an undo would find. A done move
// into a cycle's temporary name is a step of the cycle, not counted on its own.

#include "FuzzSupport.h"
#include "fs/ItemNames.h"
#include "history/RunRecords.h"

#include <cstdint>

using namespace quodrix;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<char const*>(data), size);
    auto const whole = RunRecords::parse(text, RunRecords::Reading::Changes);
    auto const counted = RunRecords::parse(text, RunRecords::Reading::Counts);
    QUODRIX_FUZZ_EXPECT(whole.has_value() == counted.has_value());
    if (!whole)
        return 0;
    QUODRIX_FUZZ_EXPECT(counted->changes.empty());
    QUODRIX_FUZZ_EXPECT(whole->id == counted->id && whole->command == counted->command
        && whole->undoes == counted->undoes && whole->startedNs == counted->startedNs
        && whole->ended == counted->ended && whole->incomplete == counted->incomplete);
    std::size_t steps = 0;
    for (auto const& change : whole->changes)
        steps += change.change == JournalChange::Move && change.outcome == ChangeOutcome::Done
            && isCycleTemporaryPath(change.target);
    QUODRIX_FUZZ_EXPECT(whole->changeCount() + steps == whole->changes.size());
    QUODRIX_FUZZ_EXPECT(counted->changeCount() == whole->changeCount());
    std::size_t sum = 0;
    for (ChangeOutcome outcome : { ChangeOutcome::Unknown, ChangeOutcome::Done, ChangeOutcome::Failed,
             ChangeOutcome::Untried }) {
        QUODRIX_FUZZ_EXPECT(counted->count(outcome) == whole->count(outcome));
        sum += whole->count(outcome);
    }
    QUODRIX_FUZZ_EXPECT(sum == whole->changeCount() && whole->count(ChangeOutcome::Untried) == 0);
    for (auto const& change : whole->changes) {
        QUODRIX_FUZZ_EXPECT(change.outcome != ChangeOutcome::Untried);
        // Only a comment write records the comment it writes.
        QUODRIX_FUZZ_EXPECT(!change.writtenKnown || change.change == JournalChange::Comment);
        QUODRIX_FUZZ_EXPECT(change.writtenKnown || !change.written);
    }
    return 0;
}
