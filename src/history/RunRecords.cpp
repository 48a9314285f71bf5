#include "history/RunRecords.h"

#include "fs/FileDescriptor.h"
#include "fs/FileOps.h"
#include "fs/ItemNames.h"
#include "fs/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>
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

// A comment field: "-" for none, else "=" and the escaped text. False when malformed.
bool commentFrom(std::string_view field, std::optional<std::string>& comment)
{
    if (field == "-")
        return true;
    if (field.empty() || field[0] != '=')
        return false;
    comment = RunJournal::unescaped(field.substr(1));
    return comment.has_value();
}

bool intentFrom(std::vector<std::string_view> const& f, RecordedChange& change)
{
    if (f.size() < 9 || !numberFrom(f[1], change.sequence))
        return false;
    auto kind = journalChangeFromName(f[2]);
    // A comment write names the comment it writes; journals written before that was recorded do not.
    if (f.size() != 9 && !(f.size() == 10 && kind == JournalChange::Comment))
        return false;
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
    if (!commentFrom(f[8], change.previous))
        return false;
    if (f.size() == 10) {
        change.writtenKnown = true;
        if (!commentFrom(f[9], change.written))
            return false;
    }
    return true;
}

bool movesIntoCycleName(RecordedChange const& change)
{
    return change.change == JournalChange::Move && isCycleTemporaryPath(change.target);
}

// A move into a cycle's temporary name, done, is a step on the way: its item's change is the move that
// takes it out under its new name, counted there. (A step that failed stays counted: the cycle failed there.)
bool countedOnItsOwn(bool intoCycleName, ChangeOutcome outcome)
{
    return !intoCycleName || outcome != ChangeOutcome::Done;
}

}

std::size_t RunRecords::changeCount() const
{
    if (m_counts)
        return (*m_counts)[std::size_t(ChangeOutcome::Unknown)] + (*m_counts)[std::size_t(ChangeOutcome::Done)]
            + (*m_counts)[std::size_t(ChangeOutcome::Failed)];
    return std::size_t(std::count_if(changes.begin(), changes.end(), [](RecordedChange const& change) {
        return countedOnItsOwn(movesIntoCycleName(change), change.outcome);
    }));
}

std::size_t RunRecords::count(ChangeOutcome outcome) const
{
    if (m_counts)
        return outcome == ChangeOutcome::Untried ? 0 : (*m_counts)[std::size_t(outcome)];
    std::size_t n = 0;
    for (auto const& change : changes)
        n += change.outcome == outcome && countedOnItsOwn(movesIntoCycleName(change), outcome);
    return n;
}

// Reads a journal a line at a time: the records of a run of a million changes are read as they come,
// without the 200 MB of its text held at once.
class RunRecords::Reader {
public:
    // `intents`: how many changes the journal records, or an estimate, for room made once.
    Reader(Reading reading, std::size_t intents)
        : m_whole(reading == Reading::Changes)
    {
        // Room for every intent at once: a vector grown by doubling would hold up to three times its changes
        // while it grows.
        if (m_whole) {
            m_run.changes.reserve(intents);
        } else {
            m_outcomes.reserve(intents);
            m_intoCycleName.reserve(intents);
        }
        m_bySequence.reserve(intents);
    }

    // Takes one line, without its line end. False when the journal's first line is not its header: the text
    // is no journal.
    bool take(std::string_view line);
    std::optional<RunRecords> finish();

private:
    bool m_whole;
    bool m_first = true;
    RunRecords m_run;
    // Read as counts, each change is read as it would be and only its outcome kept.
    std::vector<ChangeOutcome> m_outcomes;
    // Read as counts: whether each change moves its item into a cycle's temporary name.
    std::vector<bool> m_intoCycleName;
    std::unordered_map<std::uint64_t, std::size_t> m_bySequence;
    std::vector<std::string_view> m_fields;
};

bool RunRecords::Reader::take(std::string_view line)
{
    if (m_first) {
        m_first = false;
        return line == "quodrix-journal 1";
    }
    if (line.empty() || line[0] == '#')
        return true;
    auto& f = m_fields;
    fieldsOf(line, f);
    RunRecords& run = m_run;
    if (f[0] == "I") {
        RecordedChange change;
        if (intentFrom(f, change) && !m_bySequence.contains(change.sequence)) {
            m_bySequence[change.sequence] = m_whole ? run.changes.size() : m_outcomes.size();
            if (m_whole)
                run.changes.push_back(std::move(change));
            else {
                m_outcomes.push_back(ChangeOutcome::Unknown);
                m_intoCycleName.push_back(movesIntoCycleName(change));
            }
        }
    } else if (f[0] == "O" && f.size() == 4) {
        std::uint64_t sequence = 0;
        auto const found = numberFrom(f[1], sequence) ? m_bySequence.find(sequence) : m_bySequence.end();
        if (found == m_bySequence.end())
            return true;
        std::size_t const index = found->second;
        ChangeOutcome& outcome = m_whole ? run.changes[index].outcome : m_outcomes[index];
        std::optional<ItemIdentity> made;
        if (f[2] == "done" && identityFrom(f[3], made)) {
            outcome = ChangeOutcome::Done;
            if (m_whole)
                run.changes[index].made = made;
        } else if (f[2] == "failed") {
            outcome = ChangeOutcome::Failed;
            if (m_whole)
                run.changes[index].cause = RunJournal::unescaped(f[3]).value_or(std::string(f[3]));
        } else if (f[2] == "untried")
            outcome = ChangeOutcome::Untried;
    } else if (f.size() == 3 && f[0] == "end") {
        run.ended = true;
        run.incomplete = f[2] == "incomplete";
        run.interrupted = f[2] == "interrupted";
    } else if (f.size() == 2) {
        auto value = RunJournal::unescaped(f[1]);
        if (!value)
            return true;
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
    return true;
}

std::optional<RunRecords> RunRecords::Reader::finish()
{
    RunRecords& run = m_run;
    if (m_first || run.id.empty())
        return std::nullopt;
    // A change recorded with its batch and never tried is none of the run's changes.
    std::erase_if(run.changes, [](RecordedChange const& change) { return change.outcome == ChangeOutcome::Untried; });
    if (!m_whole) {
        run.m_counts.emplace();
        for (std::size_t i = 0; i < m_outcomes.size(); ++i) {
            if (countedOnItsOwn(m_intoCycleName[i], m_outcomes[i]))
                ++(*run.m_counts)[std::size_t(m_outcomes[i])];
        }
    }
    return std::move(run);
}

namespace {

// Calls `visit` with each line of the file open as `fd` (without its line end), reading it a block at a time;
// a last line without its line end is a line cut short and is not visited. False when a read fails or when
// `visit` answers false. `fileBytes`: the file's size when it was opened, so that a small journal (most runs
// change a few files) takes a block of its own size.
template<typename Visit>
bool forEachLine(int fd, off_t fileBytes, Visit&& visit)
{
    constexpr std::size_t kBlockBytes = 1 << 20;
    std::string block(std::min(std::size_t(std::max<off_t>(fileBytes, 0)) + 1, kBlockBytes), '\0');
    // block[0, filled) holds what was read and not yet visited: the start of a line, then what follows.
    std::size_t filled = 0;
    auto& calls = systemCalls();
    while (true) {
        if (filled == block.size())
            block.resize(block.size() * 2);  // a line longer than the block
        ssize_t const n = calls.read(fd, block.data() + filled, block.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        std::string_view const text(block.data(), filled + std::size_t(n));
        // The bytes kept from the last read hold no line end.
        std::size_t lineStart = 0;
        for (std::size_t end = text.find('\n', filled); end != std::string_view::npos; end = text.find('\n', end + 1)) {
            if (!visit(text.substr(lineStart, end - lineStart)))
                return false;
            lineStart = end + 1;
        }
        filled = text.size() - lineStart;
        std::memmove(block.data(), block.data() + lineStart, filled);
    }
}

}

std::optional<RunRecords> RunRecords::read(std::string const& path, Reading reading, Status* failure)
{
    auto const fail = [failure](Status cause) {
        if (failure)
            *failure = std::move(cause);
        return std::nullopt;
    };
    struct stat info {};
    auto const open = [&path, &info](FileDescriptor& in) { return openFileForReading(path, in, info); };
    // Read as changes, the changes are counted first (a read of the file that keeps nothing), so that their
    // room is made once.
    std::size_t intents = 0;
    if (reading == Reading::Changes) {
        FileDescriptor in;
        if (Status opened = open(in); !opened)
            return fail(opened);
        if (!forEachLine(in.get(), info.st_size, [&intents](std::string_view line) {
                intents += line.starts_with("I ");
                return true;
            }))
            return fail(Status::fromErrno("read " + path));
    }
    FileDescriptor in;
    if (Status opened = open(in); !opened)
        return fail(opened);
    Reader reader(reading, intents);
    bool journal = true;
    bool any = false;
    bool const whole = forEachLine(in.get(), info.st_size, [&](std::string_view line) {
        any = true;
        return journal = reader.take(line);
    });
    if (!whole && journal)
        return fail(Status::fromErrno("read " + path));
    std::optional<RunRecords> records = journal ? reader.finish() : std::nullopt;
    if (!records && (any || info.st_size > 0))
        return fail(Status::refused(path + ": not a journal"));
    return records;
}

std::optional<RunRecords> RunRecords::parse(std::string_view text, Reading reading)
{
    std::size_t intents = 0;
    for (std::size_t at = text.find("\nI "); at != std::string_view::npos; at = text.find("\nI ", at + 3))
        ++intents;
    Reader reader(reading, intents);
    while (!text.empty()) {
        auto newline = text.find('\n');
        if (newline == std::string_view::npos)
            break;  // cut short
        if (!reader.take(text.substr(0, newline)))
            return std::nullopt;
        text.remove_prefix(newline + 1);
    }
    return reader.finish();
}

}
