#include "app/QDRenamePlan.h"

#include "core/BridgeError.h"
#include "core/Class.h"
#include "fs/AtomicFile.h"
#include "fs/FileStore.h"
#include "fs/FolderListing.h"
#include "fs/ItemNames.h"
#include "fs/RunJournal.h"
#include "fs/SystemCalls.h"
#include "meta/ExifTags.h"
#include "platform/Platform.h"
#include "rename/JournalObserver.h"
#include "rename/InsertName.h"
#include "rename/RenamePattern.h"
#include "text/TextFiles.h"
#include "toolbox/FileCollector.h"
#include "toolbox/cToolBox.h"
#include "util/cNSFileHandling.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <future>
#include <optional>
#include <span>
#include <stdexcept>
#include <sys/stat.h>
#include <unordered_set>

namespace quodrix {

namespace {

// The Exif tags of the file last asked about, read once for all the variables of its name.
class ExifFacts final : public FileFacts {
public:
    std::optional<std::string> exifTag(std::string const& path, std::string const& tag) override
    {
        if (path != m_path) {
            m_tags = ExifTags::read(path);
            m_path = path;
        }
        auto found = m_tags.find(tag);
        if (found == m_tags.end())
            return std::nullopt;
        return found->second;
    }

private:
    std::string m_path;
    ExifTags::Tags m_tags;
};

Value const* entry(Dictionary const& options, char const* key)
{
    auto found = options.find(key);
    return found == options.end() || found->second.isNull() ? nullptr : &found->second;
}

std::string textOption(Dictionary const& options, char const* key, std::string fallback = {})
{
    Value const* value = entry(options, key);
    if (!value)
        return fallback;
    return value->text().value_or(value->description());
}

bool flagOption(Dictionary const& options, char const* key)
{
    Value const* value = entry(options, key);
    return value && value->number().value_or(0) != 0;
}

std::int64_t integerOption(Dictionary const& options, char const* key, std::int64_t fallback)
{
    Value const* value = entry(options, key);
    return value ? value->integer().value_or(fallback) : fallback;
}

// Keeps the first of paths given more than once, in their order: a file named itself and through its folder
// is one file of the run, as the open panel answers it to the controllers.
void dropRepeated(std::vector<std::string>& paths)
{
    std::vector<char> repeated(paths.size());
    {
        std::unordered_set<std::string_view> seen;
        seen.reserve(paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i)
            repeated[i] = !seen.insert(paths[i]).second;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (repeated[i])
            continue;
        if (kept != i)
            paths[kept] = std::move(paths[i]);
        ++kept;
    }
    paths.resize(kept);
}

std::vector<std::string> pathsOption(Dictionary const& options, char const* key)
{
    std::vector<std::string> paths;
    if (Value const* value = entry(options, key); value && value->kind() == Kind::Array) {
        paths.reserve(value->asArray().size());
        for (auto const& element : value->asArray()) {
            if (element.isString())
                paths.push_back(cleanedPath(element.asString()));
            else if (auto text = element.text())
                paths.push_back(cleanedPath(*text));
        }
    }
    return paths;
}

std::string joined(std::string const& folder, std::string_view name)
{
    // Written once into a text of its final size: a run joins a path for every file.
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    if (folder != "/")
        path += folder;
    path += '/';
    path += name;
    return path;
}

// Adds the pair (source, folder/name), refusing a name that would name an item in another folder.
void addNamed(RenamePlan& plan, std::string const& source, std::string const& folder, std::string const& name)
{
    std::string target = joined(folder, name);
    if (name.find('/') != std::string::npos)
        plan.addFailed(source, std::move(target), "not one path component");
    else
        plan.add(source, std::move(target));
}

// The "renameDir" collection: every item below a folder that is not a folder, hidden items left out, package
// folders entered.
collection::ActionRow const& renameDirRow()
{
    for (auto const& row : collection::openDialogFilesOCRows()) {
        if (row.name == "renameDir")
            return row;
    }
    throw std::logic_error("no renameDir collection");
}

std::string stateName(PairState state)
{
    switch (state) {
    case PairState::Planned: return "planned";
    case PairState::Unchanged: return "unchanged";
    case PairState::Done: return "done";
    case PairState::Failed: return "failed";
    }
    return "";
}

}

std::string displayedPath(std::string const& path)
{
    bool const utf8 = isValidUtf8(path);
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7f || (c >= 0x80 && !utf8)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::optional<std::string> QDRenamePlan::planPattern(Dictionary const& options)
{
    PatternOptions pattern;
    pattern.find = textOption(options, "find");
    pattern.replace = textOption(options, "replace");
    pattern.once = flagOption(options, "once");
    pattern.ignoreExtension = flagOption(options, "ignoreExt");
    pattern.caseExtension = flagOption(options, "caseExt");
    pattern.flatten = flagOption(options, "flatten");
    std::string const caseName = textOption(options, "case");
    if (caseName == "upper")
        pattern.caseChange = CaseChange::Upper;
    else if (caseName == "lower")
        pattern.caseChange = CaseChange::Lower;
    else if (caseName == "title")
        pattern.caseChange = CaseChange::Title;
    else if (!caseName.empty())
        return "--case takes upper, lower or title, not " + caseName;
    // The expression is compiled on a second thread while the files are gathered and sorted: the first
    // expression of a process sets up ICU's tables of character classes, a few milliseconds of work that
    // needs nothing from the disk. Without a thread to be had, it is compiled when it is needed.
    // An expression that does not compile ends the gathering at the next folder.
    std::string error;
    std::atomic<bool> refused { false };
    auto compiling = std::async(std::launch::async | std::launch::deferred, [&pattern, &error, &refused] {
        auto compiled = RenamePattern::compile(pattern, error);
        refused = !compiled;
        return compiled;
    });
    auto const stop = [&refused] { return refused.load(); };
    std::vector<std::string> files;
    std::string missed;
    for (auto& argument : pathsOption(options, "files")) {
        if (stop())
            break;
        struct stat info {};
        if (systemCalls().stat(argument.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            files.push_back(std::move(argument));
            continue;
        }
        Status cause;
        filesBelow(argument, &cause, stop).forEach([&](std::string_view path) {
            files.push_back(cleanedPath(std::string(path)));
        });
        if (!cause.ok() && missed.empty())
            missed = cause.message();
    }
    if (!stop())
        sortNaturally(files);
    // A file named twice (itself and through its folder) is one file of the run.
    files.erase(std::unique(files.begin(), files.end()), files.end());
    auto compiled = compiling.get();
    if (!compiled)
        return error;
    if (m_missed.empty())
        m_missed = std::move(missed);
    std::string destination = textOption(options, "destination");
    if (!destination.empty())
        destination = cleanedPath(destination);
    std::int64_t number = integerOption(options, "start", 1);
    std::int64_t const step = integerOption(options, "step", 1);
    ExifFacts facts;
    m_plan.reserve(files.size());
    // The numbers go up by `step` from `start`, each file that matches taking one. Past the range of 64-bit
    // whole numbers there is no number: a file whose new name needs one fails, rather than taking a number
    // wrapped around to the other end.
    bool const numbered = compiled->usesNumber();
    bool numberPassed = false;
    m_searched += files.size();
    for (auto const& path : files) {
        NewName made = compiled->apply(path, number, facts);
        if (!made.matched) {
            m_unsearchable += !made.cause.empty();
            continue;
        }
        if (numberPassed && numbered) {
            m_plan.addFailed(path, std::string(), "the file's number is beyond 64-bit whole numbers (--start, --step)");
            continue;
        }
        numberPassed = numberPassed || __builtin_add_overflow(number, step, &number);
        std::string const folder = destination.empty() ? FileStore::parentOf(path) : destination;
        if (!made.cause.empty())
            m_plan.addFailed(path, std::string(), made.cause);
        else
            addNamed(m_plan, path, folder, made.name);
    }
    return std::nullopt;
}

std::optional<std::string> QDRenamePlan::planList(Dictionary const& options)
{
    std::string const list = textOption(options, "list");
    Status readList;
    auto pairs = cNSFileHandling::hReadMfrLog(list, textOption(options, "separator", ";"), &readList);
    if (pairs.empty()) {
        struct stat info {};
        if (systemCalls().stat(list.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return "cannot read the rename list " + list;
        if (!readList)
            return readList.message();
        return "the rename list " + list + " holds no usable line (is the separator right?)";
    }
    m_list = list;
    m_listPairs = pairs.size();
    if (flagOption(options, "copy"))
        m_plan.setOperation(Operation::Copy);
    std::vector<std::string> const folders = pathsOption(options, "folders");
    std::string destination = textOption(options, "destination");
    if (!destination.empty())
        destination = cleanedPath(destination);
    m_plan.reserve(pairs.size());
    // A long list is looked up in the listings of its folders, each read when a name is first looked for
    // in it; a name that a listing lacks is looked at by its path all the same.
    std::vector<std::optional<FolderListing>> listings(folders.size());
    std::vector<bool> read(folders.size(), false);
    auto const listed = [&](std::size_t k, std::string const& name) {
        if (!read[k]) {
            listings[k] = FolderListing::readFor(folders[k], pairs.size());
            read[k] = true;
        }
        return listings[k] && listings[k]->typeOf(name);
    };
    for (auto const& pair : pairs) {
        std::string const present(pair.present), renamed(pair.renamed);
        if (!FileStore::isSingleComponent(present)) {
            m_plan.addFailed(present, renamed, "the present name is not one path component");
            continue;
        }
        std::optional<std::string> found;
        for (std::size_t k = 0; k < folders.size(); ++k) {
            std::string candidate = joined(folders[k], present);
            // A path that the system would refuse (a folder given with a NUL in it) names no file there.
            if (!FileStore::isUsablePath(candidate))
                continue;
            struct stat info {};
            if (listed(k, present) || systemCalls().lstat(candidate.c_str(), &info) == 0) {
                found = std::move(candidate);
                break;
            }
        }
        if (!found) {
            m_plan.addFailed(present, renamed, "not found in the folders given");
            continue;
        }
        addNamed(m_plan, *found, destination.empty() ? FileStore::parentOf(*found) : destination, renamed);
    }
    return std::nullopt;
}

std::size_t QDRenamePlan::listLinesLeftOut(std::string_view logHeader) const
{
    // The bytes as they are, a byte-order mark included: it counts as part of its line.
    auto bytes = readWholeFile(m_list);
    if (!bytes || bytes->find(logHeader) != std::string::npos)
        return 0;
    std::size_t lines = 0;
    bool inLine = false;
    for (char const c : *bytes) {
        bool const lineEnd = c == '\r' || c == '\n';
        lines += !lineEnd && !inLine;
        inLine = !lineEnd;
    }
    return lines > m_listPairs ? lines - m_listPairs : 0;
}

void QDRenamePlan::planInsert(Dictionary const& options)
{
    m_action = "Insert";
    if (flagOption(options, "copy"))
        m_plan.setOperation(Operation::Copy);
    std::string const text = textOption(options, "text");
    auto const positions = splitPositions(textOption(options, "positions"));
    bool const inPlace = flagOption(options, "inPlace");
    // Into a destination the controller stores each file, and a file stored onto itself fails.
    m_plan.setSameItemFails(!inPlace);
    std::string const destination = destinationPrefix(textOption(options, "destination"));
    std::vector<std::string> files = pathsOption(options, "files");
    // A folder stands for its files, gathered here rather than by the script: a list of many files then
    // crosses the bridge once, as the plan's rows, instead of three times more on its way here.
    for (auto const& folder : pathsOption(options, "folders")) {
        Status cause;
        filesBelow(folder, &cause).forEach([&](std::string_view path) {
            files.push_back(cleanedPath(std::string(path)));
        });
        if (!cause.ok() && m_missed.empty())
            m_missed = cause.message();
    }
    if (inPlace) {
        // Sorted, a path given twice stands next to itself.
        sortNaturally(files);
        files.erase(std::unique(files.begin(), files.end()), files.end());
    } else {
        dropRepeated(files);
    }
    m_plan.reserve(files.size());
    for (auto const& path : files) {
        // The new name as the insert renaming controller makes it, after its folder's path, written once
        // into a text of its final size (a text for each of its parts cost a sixth of the planning).
        std::string const fileName = FileStore::lastComponent(path);
        NameParts parts = splitFileName(fileName);
        auto working = insertAtPositions(parts.base, text, positions);
        std::size_t const baseSize = working ? working->size() : parts.base.size();
        std::string const folder = inPlace ? FileStore::parentOf(path) : std::string();
        std::string target;
        target.reserve(folder.size() + destination.size() + baseSize + parts.extension.size() + 2);
        if (inPlace)
            target.append(folder == "/" ? "" : folder).append("/");
        else
            target.append(destination);
        std::size_t const nameStart = target.size();
        appendNewFileName(target, fileName, parts, working);
        if (!working)
            m_plan.addFailed(path, std::move(target), whyNotInserted(parts.base, text));
        else if (std::string_view(target).substr(nameStart).find('/') != std::string_view::npos)
            m_plan.addFailed(path, std::move(target), "not one path component");
        else
            m_plan.add(path, std::move(target));
    }
}

std::string QDRenamePlan::reportText(bool executed) const
{
    std::string text;
    for (auto const& pair : m_plan.pairs()) {
        if (pair.state == PairState::Unchanged)
            continue;
        text += displayedPath(pair.source);
        text += " -> ";
        text += pair.target.empty() ? "?" : displayedPath(pair.target);
        if (pair.state == PairState::Failed) {
            text += executed ? "  failed: " : "  would fail: ";
            text += displayedPath(pair.cause);
        }
        text += '\n';
    }
    return text;
}

Array QDRenamePlan::logValues(bool executed) const
{
    // The texts of logTexts, seven to a change.
    Array values, change;
    logTexts(executed).forEach([&](std::string_view text) {
        change.push_back(Value(text));
        if (change.size() == 7) {
            values.push_back(Value(std::move(change)));
            change = Array();
        }
    });
    return values;
}

PathList QDRenamePlan::logTexts(bool executed) const
{
    return logTexts(executed, 0, m_plan.pairs().size());
}

PathList QDRenamePlan::logTexts(bool executed, std::size_t first, std::size_t count) const
{
    PathList texts;
    std::span<PlannedRename const> const pairs(m_plan.pairs());
    first = std::min(first, pairs.size());
    for (auto const& pair : pairs.subspan(first, std::min(count, pairs.size() - first))) {
        if (pair.state == PairState::Unchanged)
            continue;
        // The values of the action-log call, in its order; a row of a plan not carried out is a simulation,
        // whether or not it would fail.
        texts.add("File renaming");
        texts.add(m_action);
        texts.add(!executed                        ? "Simulation"
                : pair.state == PairState::Failed ? cToolBox::kFailed
                                                  : cToolBox::kSuccess);
        texts.add(FileStore::lastComponent(pair.source));
        texts.add(pair.target.empty() ? std::string() : FileStore::lastComponent(pair.target));
        texts.add(pair.source);
        texts.add(pair.target);
    }
    return texts;
}

Array QDRenamePlan::rows(bool onlyFailed) const
{
    Array rows;
    if (!onlyFailed)
        rows.reserve(m_plan.pairs().size());
    for (auto const& pair : m_plan.pairs()) {
        if (onlyFailed && pair.state != PairState::Failed)
            continue;
        rows.push_back(Dictionary { { "source", Value(pair.source) }, { "target", Value(pair.target) },
            { "state", Value(stateName(pair.state)) }, { "cause", Value(pair.cause) } });
    }
    return rows;
}

namespace {

// The dictionary of a plan's options, as the call holds it: a plan of many files is not given a copy of them.
Dictionary const& dictionaryArgument(Call const& c)
{
    if (c.args[0].kind() != Kind::Dictionary)
        c.args.wrongKind(0, "a dictionary");
    return c.args[0].asDictionary();
}

Value summaryValue(QDRenamePlan const& self)
{
    RenamePlan const& plan = self.plan();
    auto s = plan.summary();
    std::size_t const pairs = plan.pairs().size();
    Dictionary summary { { "pairs", Value(pairs) }, { "done", Value(s.done) }, { "failed", Value(s.failed) },
        { "unchanged", Value(s.unchanged) }, { "planned", Value(pairs - s.done - s.failed - s.unchanged) } };
    if (!self.missed().empty())
        summary["missed"] = Value(self.missed());
    if (self.unsearchable() > 0)
        summary["unsearchable"] = Value(self.unsearchable());
    summary["searched"] = Value(self.searched());
    return summary;
}

}

void QDRenamePlan::registerClass(Runtime& runtime)
{
    ClassBuilder<QDRenamePlan>(runtime, "QDRenamePlan")
        .method("addPair::",
            [](Call const& c) {
                c.self<QDRenamePlan>().plan().add(c.args.string(0), c.args.string(1));
                return Value();
            })
        .method("planPattern:",
            [](Call const& c) { return Value(c.self<QDRenamePlan>().planPattern(dictionaryArgument(c))); })
        .method("planList:", [](Call const& c) { return Value(c.self<QDRenamePlan>().planList(dictionaryArgument(c))); })
        .method("planInsert:",
            [](Call const& c) {
                c.self<QDRenamePlan>().planInsert(dictionaryArgument(c));
                return Value();
            })
        .method("check",
            [](Call const& c) {
                auto& plan = c.self<QDRenamePlan>().plan();
                plan.check();
                return Value(plan.predictedFailures());
            })
        .method("execute:",
            [](Call const& c) {
                auto& self = c.self<QDRenamePlan>();
                // In a run, every step goes into the run's journal first, so that undo can take it back.
                RunJournal* journal = c.runtime.platform().journal();
                std::optional<JournalObserver> journaled;
                if (journal)
                    journaled.emplace(*journal, self.plan().operation());
                (void)self.plan().execute(c.args.boolean(0) ? OnFailure::KeepGoing : OnFailure::Stop,
                    journaled ? &*journaled : nullptr);
                // The disk takes the journal while the script reports the rows.
                if (journal)
                    journal->flushInBackground();
                self.m_executed = true;
                return summaryValue(self);
            })
        .method("summary", [](Call const& c) { return summaryValue(c.self<QDRenamePlan>()); })
        .method("rows", [](Call const& c) { return Value(c.self<QDRenamePlan>().rows()); })
        // The failed rows alone: a run that looks for causes need not bring every row into its script.
        .method("failedRows", [](Call const& c) { return Value(c.self<QDRenamePlan>().rows(true)); })
        .method("reportText",
            [](Call const& c) {
                auto& self = c.self<QDRenamePlan>();
                return Value(self.reportText(self.m_executed));
            })
        .method("logValues", [](Call const& c) {
            auto& self = c.self<QDRenamePlan>();
            return Value(self.logValues(self.m_executed));
        })
        .method("logTexts", [](Call const& c) {
            auto& self = c.self<QDRenamePlan>();
            return Value(self.logTexts(self.m_executed));
        })
        .method("pairCount",
            [](Call const& c) { return Value(std::int64_t(c.self<QDRenamePlan>().plan().pairs().size())); })
        .method("logTextsFrom:count:", [](Call const& c) {
            auto& self = c.self<QDRenamePlan>();
            std::int64_t const first = c.args.integer(0), count = c.args.integer(1);
            if (first < 0 || count < 0)
                throw ArgumentError("logTextsFrom:count: takes a first pair and a count of at least 0");
            return Value(self.logTexts(self.m_executed, std::size_t(first), std::size_t(count)));
        })
        .method("listLinesLeftOut:", [](Call const& c) {
            return Value(std::int64_t(c.self<QDRenamePlan>().listLinesLeftOut(c.args.string(0))));
        })
        .classMethod("filesBelow:", [](Call const& c) {
            Status cause;
            PathList files = filesBelow(c.args.string(0), &cause);
            if (!cause.ok())
                c.runtime.platform().recordFailure("filesBelow:", cause.message());
            return Value(std::move(files));
        });
}

PathList QDRenamePlan::filesBelow(std::string const& folder, Status* cause, std::function<bool()> const& stop)
{
    return collection::collectBelow(renameDirRow(), folder, cause, stop, collection::Links::ToFilesOnly);
}

}
