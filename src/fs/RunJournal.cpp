#include "fs/RunJournal.h"

#include "fs/ByteWords.h"
#include "fs/FileOps.h"
#include "fs/Interruption.h"
#include "fs/ItemPlacement.h"
#include "fs/SystemCalls.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>
#include <unistd.h>

namespace quodrix {

namespace {

// The header of every journal: what the file is and how to read it.
constexpr std::string_view kHeaderText
    = "quodrix-journal 1\n"
      "# The changes of one run, each recorded before it was made. One record a line, fields separated by one\n"
      "# space. In paths, comments, causes and the command line every byte below 0x21, 0x7f, every byte from\n"
      "# 0x80 up, \"\\\" and a leading \"-\" are written \\xHH (two hex digits); an empty field is \"-\".\n"
      "# An identity is device:inode:size:mtime-in-ns, or \"-\" when there is no item.\n"
      "#   run ID | started UNIX-NS | command LINE | undoes ID\n"
      "#   I SEQ WHAT SOURCE TARGET SOURCE-IDENTITY TARGET-IDENTITY-BEFORE ASIDE PREVIOUS-COMMENT [WRITTEN-COMMENT]\n"
      "#     WHAT: move, copy, link, remove (the item goes to ASIDE), comment (SOURCE is the file), create\n"
      "#       (a file the run wrote at TARGET; SOURCE is TARGET, SOURCE-IDENTITY the written file)\n"
      "#     ASIDE: where the item replaced at TARGET (or removed) was moved, in the run's own folder\n"
      "#     WRITTEN-COMMENT: a comment write's new comment (\"-\": it removes the comment); a comment is \"=\"\n"
      "#       and its text, so that an empty one differs from none\n"
      "#   O SEQ done IDENTITY-AT-TARGET | O SEQ failed CAUSE | O SEQ untried -\n"
      "#     untried: the change was recorded with others before them and never tried; it is no change\n"
      "#   end UNIX-NS [incomplete|interrupted]   (incomplete: an undo that could not put everything back;\n"
      "#     interrupted: the run was interrupted, and made no change after that)\n"
      "# A record without its final newline was cut short and does not count.\n";

char const* const kChangeNames[] = { "move", "copy", "link", "remove", "comment", "create" };

std::int64_t nowNs()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// "20261207-222056.123456-4242": sorts by time, unique per process.
std::string newRunId()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts {};
    gmtime_r(&now.tv_sec, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d.%06ld-%ld", parts.tm_year + 1900, parts.tm_mon + 1,
        parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, now.tv_nsec / 1000, long(getpid()));
    return text;
}

void appendNumber(std::string& out, std::int64_t value)
{
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    (void)error;
    out.append(digits, end);
}

void appendUnsigned(std::string& out, std::uint64_t value)
{
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    (void)error;
    out.append(digits, end);
}

void appendIdentity(std::string& out, std::optional<ItemIdentity> const& identity)
{
    if (!identity) {
        out += '-';
        return;
    }
    // Made whole on the stack and appended once: two identities go into the record of every change. Each
    // number takes at most 20 digits and a sign, and each piece of `text` has room for one and its ':'.
    constexpr std::size_t kPiece = 22;
    char text[4 * kPiece];
    char* end = text;
    auto const put = [&](auto number, bool last) {
        end = std::to_chars(end, end + kPiece - 1, number).ptr;
        if (!last)
            *end++ = ':';
    };
    put(identity->device, false);
    put(identity->inode, false);
    put(identity->size, false);
    put(identity->modifiedNs, true);
    out.append(text, end);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}

char const* journalChangeName(JournalChange change)
{
    return kChangeNames[int(change)];
}

std::optional<JournalChange> journalChangeFromName(std::string_view name)
{
    for (int i = 0; i < int(std::size(kChangeNames)); ++i)
        if (name == kChangeNames[i])
            return JournalChange(i);
    return std::nullopt;
}

ItemIdentity ItemIdentity::of(struct stat const& info)
{
    return { std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::int64_t(info.st_size),
        std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec };
}

std::optional<ItemIdentity> ItemIdentity::at(std::string const& path)
{
    struct stat info {};
    if (systemCalls().lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return of(info);
}

std::optional<ItemIdentity> ItemIdentity::followed(std::string const& path)
{
    struct stat info {};
    if (systemCalls().stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return of(info);
}

RunJournal::RunJournal(std::string folder, std::string commandLine)
    : m_folder(std::move(folder))
    , m_commandLine(std::move(commandLine))
    , m_id(newRunId())
    , m_path(m_folder + "/" + m_id + ".journal")
{
    m_line.reserve(1024);
}

RunJournal::~RunJournal()
{
    (void)finish();
}

std::string RunJournal::itemsFolder() const
{
    return m_folder + "/" + m_id + ".items";
}

Status RunJournal::asidePath(std::uint64_t sequence, std::string& path)
{
    std::string folder = itemsFolder();
    if (!m_itemsFolderMade) {
        if (Status made = createFolderTree(folder); !made)
            return made;
        m_itemsFolderMade = true;
    }
    path = folder + "/" + std::to_string(sequence);
    return {};
}

void RunJournal::appendEscaped(std::string& out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    if (bytes.empty()) {
        out += '-';
        return;
    }
    // Runs of bytes that stand for themselves are appended whole: paths are mostly such runs, and every
    // change of a run writes two of them. The bytes from '!' to '~' stand for themselves but the backslash,
    // and a '-' that begins the field (which alone means an empty one).
    auto const plain = [](unsigned char byte) { return unsigned(byte) - 0x21u < 0x7fu - 0x21u && byte != '\\'; };
    auto const appendEscape = [&](unsigned char byte) {
        char const escape[4] = { '\\', 'x', kHex[byte >> 4], kHex[byte & 15] };
        out.append(escape, 4);
    };
    std::size_t i = 0;
    if (bytes[0] == '-')
        appendEscape(static_cast<unsigned char>(bytes[i++]));
    while (i < bytes.size()) {
        std::size_t const start = i;
        // Eight bytes at a time while they all stand for themselves, then byte by byte.
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t const word = byteWordAt(bytes, i);
            if (!allBytesBetween(word, 0x21, 0x7e) || anyByteIs(word, '\\'))
                break;
        }
        while (i < bytes.size() && plain(static_cast<unsigned char>(bytes[i])))
            ++i;
        out.append(bytes.data() + start, i - start);
        if (i == bytes.size())
            break;
        appendEscape(static_cast<unsigned char>(bytes[i++]));
    }
}

std::optional<std::string> RunJournal::unescaped(std::string_view field)
{
    if (field == "-")
        return std::string();
    std::string bytes;
    bytes.reserve(field.size());
    // Runs of bytes up to the next backslash are taken whole: most fields have no escape at all.
    while (!field.empty()) {
        auto const* escape = static_cast<char const*>(std::memchr(field.data(), '\\', field.size()));
        std::size_t const run = escape ? std::size_t(escape - field.data()) : field.size();
        bytes.append(field.data(), run);
        field.remove_prefix(run);
        if (field.empty())
            break;
        if (field.size() < 4 || field[1] != 'x')
            return std::nullopt;
        int const high = hexValue(field[2]), low = hexValue(field[3]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        field.remove_prefix(4);
    }
    return bytes;
}

Status RunJournal::open()
{
    if (!m_stopped.ok())
        return m_stopped;
    if (m_file.valid())
        return {};
    if (Status made = createFolderTree(m_folder); !made) {
        m_stopped = made.within("journal");
        return m_stopped;
    }
    int fd = systemCalls().open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_stopped = Status::fromErrno("journal " + m_path);
        return m_stopped;
    }
    m_file = FileDescriptor(fd);
    m_line.assign(kHeaderText);
    m_line += "run ";
    appendEscaped(m_line, m_id);
    m_line += "\nstarted ";
    appendNumber(m_line, nowNs());
    m_line += "\ncommand ";
    appendEscaped(m_line, m_commandLine);
    m_line += '\n';
    if (!m_undoes.empty()) {
        m_line += "undoes ";
        appendEscaped(m_line, m_undoes);
        m_line += '\n';
    }
    if (Status written = writeLine(); !written) {
        // Nothing has been changed under a journal whose header did not reach the file: it goes, so that
        // tries on a full disk do not leave an empty journal each.
        (void)m_file.close();
        (void)systemCalls().unlink(m_path.c_str());
        return written;
    }
    // From here on an interruption ends the run between two changes.
    m_changesUnderWay = true;
    Interruption::setChangesUnderWay(true);
    return {};
}

Status RunJournal::writeLine()
{
    // One write(2) per record: a record reaches the file whole, or (when the disk fills) cut short, which
    // a reader recognises by its missing newline. No retry after a short write, which would append a
    // second piece that the reader could not tell from a record.
    ssize_t written;
    do
        written = systemCalls().write(m_file.get(), m_line.data(), m_line.size());
    while (written < 0 && errno == EINTR);
    if (written == ssize_t(m_line.size()))
        return {};
    m_stopped = written < 0 ? Status::fromErrno("journal " + m_path)
                            : Status::fromError(ENOSPC, "journal " + m_path + ": a record was cut short");
    return m_stopped;
}

void RunJournal::appendIntent(Intent const& intent, std::uint64_t sequence)
{
    m_line += "I ";
    appendUnsigned(m_line, sequence);
    m_line += ' ';
    m_line += journalChangeName(intent.change);
    m_line += ' ';
    appendEscaped(m_line, intent.source);
    m_line += ' ';
    appendEscaped(m_line, intent.target);
    m_line += ' ';
    appendIdentity(m_line, intent.identity);
    m_line += ' ';
    appendIdentity(m_line, intent.targetIdentity);
    m_line += ' ';
    appendEscaped(m_line, intent.aside);
    m_line += ' ';
    // A present comment is written with a leading "=" so that an empty one differs from none.
    auto const appendComment = [this](std::optional<std::string_view> const& comment) {
        if (comment) {
            m_line += '=';
            appendEscaped(m_line, *comment);
        } else {
            m_line += '-';
        }
    };
    appendComment(intent.previous);
    if (intent.change == JournalChange::Comment) {
        m_line += ' ';
        appendComment(intent.written);
    }
    m_line += '\n';
}

Status RunJournal::recordIntent(Intent const& intent, std::uint64_t& sequence)
{
    // A change is made right after it takes its record: records ahead still waiting were not made, and any
    // change of theirs now comes after this one, recorded anew.
    dropAhead();
    return recordIntents(std::span(&intent, 1), sequence);
}

Status const& RunJournal::stopped() const
{
    if (!m_stopped.ok())
        return m_stopped;
    if (m_changesUnderWay && !m_interruptionHeld && m_interrupted.ok() && Interruption::noted() != 0)
        m_interrupted = Status::refused(Interruption::cause());
    return m_interrupted;
}

Status RunJournal::recordIntents(std::span<Intent const> intents, std::uint64_t& first)
{
    if (Status opened = open(); !opened)
        return opened;
    if (Status const& halted = stopped(); !halted.ok())
        return halted;
    first = m_sequence + 1;
    // The outcomes of the changes before go out with these intents, in the same write.
    m_line.assign(m_pendingOutcome);
    for (Intent const& intent : intents)
        appendIntent(intent, ++m_sequence);
    Status written = writeLine();
    if (written)
        m_pendingOutcome.clear();
    return written;
}

Status RunJournal::recordAhead(std::vector<Ahead> changes)
{
    dropAhead();
    if (changes.empty())
        return {};
    std::vector<Intent> intents;
    intents.reserve(changes.size());
    for (Ahead const& change : changes) {
        auto identity = change.sourceInfo ? std::optional(ItemIdentity::of(*change.sourceInfo)) : std::nullopt;
        intents.push_back({ change.change, change.source, change.target, identity, std::nullopt, {}, std::nullopt });
    }
    std::uint64_t first = 0;
    if (Status recorded = recordIntents(intents, first); !recorded)
        return recorded;
    for (Ahead& change : changes) {
        change.sequence = first++;
        m_ahead.push_back(std::move(change));
    }
    return {};
}

std::optional<RunJournal::Ahead> RunJournal::takeAhead(JournalChange change, std::string_view source,
    std::string_view target)
{
    if (m_ahead.empty() || m_ahead.front().change != change || m_ahead.front().source != source
        || m_ahead.front().target != target)
        return std::nullopt;
    Ahead taken = std::move(m_ahead.front());
    m_ahead.pop_front();
    return taken;
}

void RunJournal::dropAhead()
{
    for (Ahead const& change : m_ahead)
        (void)recordUntried(change.sequence);
    m_ahead.clear();
}

Status RunJournal::recordDone(std::uint64_t sequence, std::optional<ItemIdentity> const& made)
{
    if (!m_stopped.ok())
        return m_stopped;
    std::string& out = m_pendingOutcome;
    out += "O ";
    appendUnsigned(out, sequence);
    out += " done ";
    appendIdentity(out, made);
    out += '\n';
    return {};
}

Status RunJournal::recordUntried(std::uint64_t sequence)
{
    if (!m_stopped.ok())
        return m_stopped;
    m_pendingOutcome += "O ";
    appendUnsigned(m_pendingOutcome, sequence);
    m_pendingOutcome += " untried -\n";
    return {};
}

Status RunJournal::recordFailed(std::uint64_t sequence, std::string_view cause)
{
    if (!m_stopped.ok())
        return m_stopped;
    std::string& out = m_pendingOutcome;
    out += "O ";
    appendUnsigned(out, sequence);
    out += " failed ";
    appendEscaped(out, cause);
    out += '\n';
    return {};
}

void RunJournal::flushInBackground()
{
    if (m_finished || !m_file.valid())
        return;
    // A flush under way (of an earlier batch of changes) ends first; its failure is kept.
    joinBackgroundFlush();
    SystemCalls& calls = systemCalls();
    int const fd = m_file.get();
    try {
        m_backgroundFlush = std::jthread([this, &calls, fd] {
            int result;
            do
                result = calls.fsyncInBackground(fd);
            while (result != 0 && errno == EINTR);
            if (result != 0 && m_backgroundFlushError == 0)
                m_backgroundFlushError = errno != 0 ? errno : EIO;
        });
    } catch (std::exception const&) {
        // No thread to be had: finish() flushes all.
    }
}

void RunJournal::joinBackgroundFlush()
{
    if (m_backgroundFlush.joinable())
        m_backgroundFlush.join();
}

Status RunJournal::finish()
{
    joinBackgroundFlush();
    if (m_finished || !m_file.valid())
        return m_stopped;
    m_finished = true;
    if (m_changesUnderWay)
        Interruption::setChangesUnderWay(false);
    dropAhead();
    if (m_stopped.ok()) {
        m_line.assign(m_pendingOutcome);
        m_line += "end ";
        appendNumber(m_line, nowNs());
        if (m_incomplete)
            m_line += " incomplete";
        else if (!stopped().ok())
            m_line += " interrupted";
        m_line += '\n';
        (void)writeLine();
    }
    // Whatever was written reaches the disk, also after a failure. A failed flush in the background counts
    // as this one's: the system tells a failed write-back to one flush of the file only.
    Status flushed;
    if (systemCalls().fsync(m_file.get()) != 0)
        flushed = Status::fromErrno("journal " + m_path + ": flush");
    else if (m_backgroundFlushError != 0)
        flushed = Status::fromError(m_backgroundFlushError, "journal " + m_path + ": flush");
    if (!m_file.close() && flushed.ok())
        flushed = Status::fromErrno("journal " + m_path + ": close");
    (void)flushFolder(m_folder);
    if (!m_stopped.ok())
        return m_stopped;
    if (!flushed.ok())
        m_stopped = flushed;
    return flushed;
}

}
