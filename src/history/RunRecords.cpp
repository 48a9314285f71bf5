#include "history/RunRecords.h"

#include "fs/FileBytes.h"

#include <charconv>
#include <unordered_map>

namespace quodrix {

namespace {

// The fields of a line, separated by single spaces, into `fields` (kept from line to line, so that its room
// is made once).
void fieldsOf(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    while (true) {
        auto space = line.find(' ');
        fields.push_back(line.substr(0, space));
        if (space == std::string_view::npos)
            return;
        line.remove_prefix(space + 1);
    }
}

template<typename Number>
bool numberFrom(std::string_view text, Number& value)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// "dev:ino:size:mtime", or "-" for none. False when malformed.
bool identityFrom(std::string_view text, std::optional<ItemIdentity>& identity)
{
    if (text == "-") {
        identity.reset();
        return true;
    }
    // Exactly four numbers, each ended by a colon but the last.
    ItemIdentity id;
    auto const next = [&text](auto& number, bool last) {
        auto colon = text.find(':');
        if (last != (colon == std::string_view::npos))
            return false;
        bool const read = numberFrom(text.substr(0, colon), number);
        text.remove_prefix(last ? text.size() : colon + 1);
        return read;
    };
    if (!next(id.device, false) || !next(id.inode, false) || !next(id.size, false) || !next(id.modifiedNs, true))
        return false;
    identity = id;
    return true;
}

bool intentFrom(std::vector<std::string_view> const& f, RecordedChange& change)
{
    if (f.size() != 9 || !numberFrom(f[1], change.sequence))
        return false;
    auto kind = journalChangeFromName(f[2]);
    auto source = RunJournal::unescaped(f[3]);
    auto target = RunJournal::unescaped(f[4]);
    auto aside = RunJournal::unescaped(f[7]);
    if (!kind || !source || !target || !aside || !identityFrom(f[5], change.identity)
        || !identityFrom(f[6], change.targetBefore))
        return false;
    change.change = *kind;
    change.source = std::move(*source);
    change.target = std::move(*target);
    change.aside = std::move(*aside);
    if (f[8] != "-") {
        if (f[8].empty() || f[8][0] != '=')
            return false;
        change.previous = RunJournal::unescaped(f[8].substr(1));
        if (!change.previous)
            return false;
    }
    return true;
}

}

std::size_t RunRecords::changeCount() const
{
    if (m_counts)
        return (*m_counts)[std::size_t(ChangeOutcome::Unknown)] + (*m_counts)[std::size_t(ChangeOutcome::Done)]
            + (*m_counts)[std::size_t(ChangeOutcome::Failed)];
    return changes.size();
}

std::size_t RunRecords::count(ChangeOutcome outcome) const
{
    if (m_counts)
        return outcome == ChangeOutcome::Untried ? 0 : (*m_counts)[std::size_t(outcome)];
    std::size_t n = 0;
    for (auto const& change : changes)
        n += change.outcome == outcome;
    return n;
}

std::optional<RunRecords> RunRecords::read(std::string const& path, Reading reading)
{
    // Read in one block of the file's size: a run of a million changes has a journal of about 200 MB.
    FileBytes text;
    if (!text.read(path))
        return std::nullopt;
    return parse(text.view(), reading);
}

std::optional<RunRecords> RunRecords::parse(std::string_view text, Reading reading)
{
    RunRecords run;
    bool const whole = reading == Reading::Changes;
    // Room for every intent at once: a vector grown by doubling would hold up to three times its changes
    // while it grows.
    std::size_t intents = 0;
    for (std::size_t at = text.find("\nI "); at != std::string_view::npos; at = text.find("\nI ", at + 3))
        ++intents;
    if (whole)
        run.changes.reserve(intents);
    // Read as counts, each change is read as it would be and only its outcome kept.
    std::vector<ChangeOutcome> outcomes;
    if (!whole)
        outcomes.reserve(intents);
    std::unordered_map<std::uint64_t, std::size_t> bySequence;
    bySequence.reserve(intents);
    bool first = true;
    std::vector<std::string_view> f;
    while (!text.empty()) {
        auto newline = text.find('\n');
        if (newline == std::string_view::npos)
            break;  // cut short
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        if (first) {
            if (line != "quodrix-journal 1")
                return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        fieldsOf(line, f);
        if (f[0] == "I") {
            RecordedChange change;
            if (intentFrom(f, change) && !bySequence.contains(change.sequence)) {
                bySequence[change.sequence] = whole ? run.changes.size() : outcomes.size();
                if (whole)
                    run.changes.push_back(std::move(change));
                else
                    outcomes.push_back(ChangeOutcome::Unknown);
            }
        } else if (f[0] == "O" && f.size() == 4) {
            std::uint64_t sequence = 0;
            if (!numberFrom(f[1], sequence) || !bySequence.contains(sequence))
                continue;
            std::size_t const index = bySequence[sequence];
            ChangeOutcome& outcome = whole ? run.changes[index].outcome : outcomes[index];
            std::optional<ItemIdentity> made;
            if (f[2] == "done" && identityFrom(f[3], made)) {
                outcome = ChangeOutcome::Done;
                if (whole)
                    run.changes[index].made = made;
            } else if (f[2] == "failed") {
                outcome = ChangeOutcome::Failed;
                if (whole)
                    run.changes[index].cause = RunJournal::unescaped(f[3]).value_or(std::string(f[3]));
            } else if (f[2] == "untried")
                outcome = ChangeOutcome::Untried;
        } else if (f.size() == 3 && f[0] == "end") {
            run.ended = true;
            run.incomplete = f[2] == "incomplete";
        } else if (f.size() == 2) {
            auto value = RunJournal::unescaped(f[1]);
            if (!value)
                continue;
            if (f[0] == "run")
                run.id = *value;
            else if (f[0] == "command")
                run.command = *value;
            else if (f[0] == "undoes")
                run.undoes = *value;
            else if (f[0] == "started")
                (void)numberFrom(f[1], run.startedNs);
            else if (f[0] == "end")
                run.ended = true;
        }
    }
    if (first || run.id.empty())
        return std::nullopt;
    // A change recorded with its batch and never tried is none of the run's changes.
    std::erase_if(run.changes, [](RecordedChange const& change) { return change.outcome == ChangeOutcome::Untried; });
    if (!whole) {
        run.m_counts.emplace();
        for (ChangeOutcome outcome : outcomes)
            ++(*run.m_counts)[std::size_t(outcome)];
    }
    return run;
}

}
