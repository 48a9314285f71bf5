#include "presets/dbViewController.h"

#include "core/BridgeError.h"
#include "core/Class.h"
#include "fs/ItemPlacement.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace quodrix {

using namespace presets;

namespace {

constexpr char const* kOpenSelector = "openmyPresetsDb";

std::string createTableSelector()
{
    std::string selector = "createTableNamed:";
    for (std::size_t p = 0; p < kNamedColumns; ++p)
        selector += "withField" + std::to_string(p) + ":";
    return selector;
}

std::string insertRecordSelector()
{
    std::string selector = "insertRecordIntoTableNamed:";
    for (std::size_t p = 0; p < kNamedColumns; ++p)
        selector += "withField" + std::to_string(p) + ":field" + std::to_string(p) + "Value:";
    return selector;
}

// "name:" followed by 61 more colons: one for each of the 62 values.
std::string presetWriterSelector(std::string const& name)
{
    return name + std::string(kNamedColumns, ':');
}

// The text of a value as SQL writes it between single quotes, for the diagnostic log.
std::string sqlLiteralForLog(std::string const& text)
{
    std::string out = "'";
    for (char ch : text) {
        out += ch;
        if (ch == '\'')
            out += '\'';
    }
    return out + "'";
}

// The store's tables, in the order they are made, with their columns and seed row (none for "Presets").
struct StoreTable {
    char const* name;
    ColumnNames const& (*columns)();
    char const* seed;
};
constexpr StoreTable kStoreTables[] = {
    { "Presets", presetsColumns, nullptr },
    { "AppResource", resourceColumns, "appSys" },
    { "AppBookmarks", resourceColumns, "myAppDestBookmark" },
};

bool equalNames(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
    });
}

// Which of the store's tables the file lacks; nullopt when its schema can't be read (SQLite's message
// stays on the connection).
std::optional<std::vector<std::string>> missingTables(sqlite3* db)
{
    Statement statement = prepare(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!statement)
        return std::nullopt;
    std::vector<std::string> present;
    StepResult result;
    while ((result = step(statement.get())) == StepResult::Row)
        present.push_back(columnText(statement.get(), 0));
    if (result == StepResult::Failed)
        return std::nullopt;
    std::vector<std::string> missing;
    for (auto const& table : kStoreTables) {
        if (std::none_of(present.begin(), present.end(), [&](auto const& name) { return equalNames(name, table.name); }))
            missing.push_back(table.name);
    }
    return missing;
}

bool runStatement(sqlite3* db, std::string_view sql)
{
    Statement statement = prepare(db, sql);
    return statement && step(statement.get()) == StepResult::Done;
}

}

std::string dbViewController::dbFilePath() const
{
    std::string const folder = quodrixSupportDirectory();
    // A folder that cannot be made shows when the database is opened.
    (void)createFolderTree(folder);
    return joinPath(folder, "QuodrixPresets.sql");
}

bool dbViewController::reopen()
{
    close();
    std::string path = dbFilePath();
    std::string cause;
    m_myDb = openConnection(path, &cause);
    if (!m_myDb)
        m_failure = Failure { "open the presets store " + path, cause };
    return m_myDb != nullptr;
}

void dbViewController::noteFailure(std::string what)
{
    m_failure = Failure { std::move(what), errorMessage(m_myDb.get()) };
}

void dbViewController::fail(char const* description, std::string const& method)
{
    close();
    throw RaisedError(description, method, kFileName);
}

void dbViewController::openmyPresetsDb()
{
    if (!reopen())
        fail(kOpenFailed, kOpenSelector);
}

void dbViewController::createTableNamed(std::string const& table, ColumnNames const& columns)
{
    auto sql = createTableStatement(table, columns);
    bool created = false;
    if (sql && !isInternalTable(table)) {
        Statement statement = prepare(m_myDb.get(), *sql);
        created = statement && step(statement.get()) == StepResult::Done;
        if (!created)
            noteFailure("create the table " + table);
    } else {
        m_failure = Failure { "create the table " + table, "the name can't be a table's name here" };
    }
    if (!created)
        fail(kCreateFailed, createTableSelector());
}

void dbViewController::insertRecordIntoTableNamed(
    std::string const& table, ColumnNames const& columns, PresetRecord const& values)
{
    if (!reopen())
        fail(kOpenFailed, insertRecordSelector());
    if (!writeRecord(table, columns, values))
        fail(kUpdateFailed, insertRecordSelector());
}

bool dbViewController::writeRecord(std::string const& table, ColumnNames const& columns, PresetRecord const& values)
{
    auto sql = insertStatement(table, columns);
    if (!sql || isInternalTable(table)) {
        m_failure = Failure { "write a row of " + table, "the name can't be a table's name here" };
        return false;
    }
    Statement statement = prepare(m_myDb.get(), *sql);
    bool bound = statement != nullptr;
    for (std::size_t p = 0; bound && p < kNamedColumns; ++p)
        bound = bindText(statement.get(), int(p + 1), values[p]);
    bool written = bound && step(statement.get()) == StepResult::Done;
    if (!written)
        noteFailure("write a row of " + table);
    return written;
}

void dbViewController::linkToPresetsDB()
{
    std::string path = dbFilePath();
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        // A complete store is left alone, and so is a held connection. A file that can't be read as a
        // database is never written: that is a failed open, with SQLite's message as its cause.
        std::string cause;
        Connection probe = openConnection(path, &cause);
        std::optional<std::vector<std::string>> missing;
        if (probe) {
            missing = missingTables(probe.get());
            if (!missing)
                cause = errorMessage(probe.get());
        }
        if (missing && missing->empty())
            return;
        if (!missing) {
            m_failure = Failure { "open the presets store " + path, cause };
            fail(kOpenFailed, kOpenSelector);
        }
    }
    openmyPresetsDb();
    completeStore();
    close();
}

void dbViewController::completeStore()
{
    // Closing the connection after a failure rolls the transaction back: the file is either as it was
    // or complete.
    if (!runStatement(m_myDb.get(), "BEGIN IMMEDIATE")) {
        noteFailure("open the presets store " + dbFilePath());
        fail(kOpenFailed, kOpenSelector);
    }
    auto missing = missingTables(m_myDb.get());
    if (!missing) {
        noteFailure("open the presets store " + dbFilePath());
        fail(kOpenFailed, kOpenSelector);
    }
    for (auto const& table : kStoreTables) {
        if (std::find(missing->begin(), missing->end(), table.name) == missing->end())
            continue;
        createTableNamed(table.name, table.columns());
        if (table.seed) {
            PresetRecord seed;
            seed[0] = table.seed;
            if (!writeRecord(table.name, table.columns(), seed))
                fail(kUpdateFailed, insertRecordSelector());
        }
    }
    if (!runStatement(m_myDb.get(), "COMMIT")) {
        noteFailure("write the presets store " + dbFilePath());
        fail(kUpdateFailed, insertRecordSelector());
    }
}

void dbViewController::insertPreset(PresetRecord const& values)
{
    insertRecordIntoTableNamed("Presets", presetsColumns(), values);
    close();
}

void dbViewController::insertSortingPresetToDB()
{
    PresetRecord values;
    values[0] = "myPresetName";
    values[1] = "Sorting";
    values[2] = "ByHand";
    for (std::size_t p = 3; p < kNamedColumns; ++p)
        values[p] = "Loc" + std::to_string(p - 2);
    insertPreset(values);
}

void dbViewController::getAllRowsFromTableNamed(std::string const& table)
{
    if (!reopen())
        return;
    StepResult result = StepResult::Failed;
    if (auto quotedTable = quoteIdentifier(table)) {
        if (Statement statement = prepare(m_myDb.get(), "SELECT * FROM " + *quotedTable)) {
            while ((result = step(statement.get())) == StepResult::Row) { }
        }
    }
    if (result == StepResult::Failed)
        noteFailure("read the table " + table);
    close();
}

// "SELECT * FROM <table> WHERE <column> = ?" (or DELETE), with the value bound; null when a name can't be
// written or the statement can't be prepared.
static Statement prepareMatch(
    sqlite3* db, char const* verb, std::string const& table, std::string const& column, std::string const& value)
{
    auto quotedTable = quoteIdentifier(table);
    auto quotedColumn = quoteIdentifier(column);
    if (!quotedTable || !quotedColumn)
        return nullptr;
    Statement statement = prepare(db, std::string(verb) + " FROM " + *quotedTable + " WHERE " + *quotedColumn + " = ?");
    if (!statement || !bindText(statement.get(), 1, value))
        return nullptr;
    return statement;
}

std::optional<std::string> dbViewController::checkPresetNameFromTableNamed(
    std::string const& table, std::string const& column, std::string const& value)
{
    m_myPresetExist.reset();
    if (!reopen())
        return m_myPresetExist;
    StepResult result = StepResult::Failed;
    if (Statement statement = prepareMatch(m_myDb.get(), "SELECT *", table, column, value)) {
        while ((result = step(statement.get())) == StepResult::Row) {
            if (columnIsNull(statement.get(), 1))
                m_myPresetExist.reset();
            else
                m_myPresetExist = columnText(statement.get(), 1);
        }
    }
    if (result == StepResult::Failed)
        noteFailure("read the table " + table);
    close();
    return m_myPresetExist;
}

std::string dbViewController::removePresetFromDatabase(
    std::string const& table, std::string const& column, std::string const& value)
{
    // A removal that did not run to completion removed nothing, and says so.
    m_myPresetExist = kPresetNotFound;
    if (reopen() && !isInternalTable(table)) {
        if (Statement statement = prepareMatch(m_myDb.get(), "DELETE", table, column, value)) {
            if (step(statement.get()) == StepResult::Done)
                m_myPresetExist = kPresetRemoved;
        }
        if (m_myPresetExist != kPresetRemoved)
            noteFailure("remove a row of " + table);
    }
    close();
    return *m_myPresetExist;
}

void dbViewController::replacePreset(PresetRecord const& values)
{
    if (!reopen())
        fail(kOpenFailed, "replacePreset:");
    // Closing the connection after a failure rolls the transaction back.
    if (!runStatement(m_myDb.get(), "BEGIN IMMEDIATE")) {
        noteFailure("write the presets store " + dbFilePath());
        fail(kUpdateFailed, "replacePreset:");
    }
    Statement removal = prepareMatch(m_myDb.get(), "DELETE", "Presets", "NameOfPreset", values[0]);
    bool const removed = removal && step(removal.get()) == StepResult::Done;
    if (!removed)
        noteFailure("remove a row of Presets");
    // Finished before the connection closes, which rolls the transaction back on a failure.
    removal.reset();
    if (!removed)
        fail(kUpdateFailed, "replacePreset:");
    if (!writeRecord("Presets", presetsColumns(), values))
        fail(kUpdateFailed, "replacePreset:");
    if (!runStatement(m_myDb.get(), "COMMIT")) {
        noteFailure("write the presets store " + dbFilePath());
        fail(kUpdateFailed, "replacePreset:");
    }
    close();
}

std::vector<std::string> dbViewController::checkForActionType(
    std::string const& table, std::string const& column, std::string const& value)
{
    m_myPresetsArray = std::make_shared<std::vector<std::string>>();
    m_myPresetsArrayToPass = m_myPresetsArray;
    if (reopen()) {
        StepResult result = StepResult::Failed;
        if (Statement statement = prepareMatch(m_myDb.get(), "SELECT *", table, column, value)) {
            std::string line;
            while ((result = step(statement.get())) == StepResult::Row) {
                line.clear();
                appendJoinedColumns(line, statement.get(), 1, int(kNamedColumns), '|');
                m_myPresetsArray->push_back(line);
            }
        }
        if (result == StepResult::Failed)
            noteFailure("read the table " + table);
    }
    close();
    return *m_myPresetsArrayToPass;
}

void dbViewController::hSaveSecurityScopedBookmarks(Data const& bookmark)
{
    if (!reopen())
        return;
    bool stored = false;
    if (Statement statement = prepare(m_myDb.get(), "insert into Image(Image)values(?)")) {
        if (bindBlob(statement.get(), 1, bookmark.bytes))
            stored = step(statement.get()) == StepResult::Done;
    }
    if (!stored)
        noteFailure("store a bookmark in the table Image");
    close();
}

std::optional<Data> dbViewController::hGetBookMarkedFolders(std::string const& table, std::string const& column1,
    std::string const& value1, std::string const& column2, std::string const& value2, std::string const& selection)
{
    m_mySearchValue4.reset();
    if (!reopen())
        return m_mySearchValue4;
    systemLog("SQL: SELECT " + selection + " FROM " + table + " WHERE " + column1 + " = " + sqlLiteralForLog(value1)
        + " AND " + column2 + " = " + sqlLiteralForLog(value2));
    // The statement that runs is the logged one with its names quoted and its values bound.
    auto columns = quoteSelection(selection);
    auto quotedTable = quoteIdentifier(table);
    auto quoted1 = quoteIdentifier(column1);
    auto quoted2 = quoteIdentifier(column2);
    Statement statement;
    if (columns && quotedTable && quoted1 && quoted2) {
        statement = prepare(m_myDb.get(),
            "SELECT " + *columns + " FROM " + *quotedTable + " WHERE " + *quoted1 + " = ? AND " + *quoted2 + " = ?");
        if (statement && !(bindText(statement.get(), 1, value1) && bindText(statement.get(), 2, value2)))
            statement.reset();
    }
    StepResult result = StepResult::Failed;
    if (statement) {
        systemLog("check 1");
        while ((result = step(statement.get())) == StepResult::Row) {
            systemLog("check 2");
            m_mySearchValue4 = Data { columnText(statement.get(), 1) };
            systemLog("check 4: " + Value(*m_mySearchValue4).description());
        }
    }
    if (result == StepResult::Failed)
        noteFailure("read the table " + table);
    statement.reset();
    close();
    return m_mySearchValue4;
}

void dbViewController::SaveImagesToSql(Data const& image, std::string const& url)
{
    Statement statement = prepare(m_myDb.get(), "INSERT INTO IMAGES (URL, IMAGE) VALUES (?, ?)");
    if (!(statement && bindText(statement.get(), 1, url) && bindBlob(statement.get(), 2, image.bytes)
            && step(statement.get()) == StepResult::Done))
        noteFailure("store an image in the table IMAGES");
}

std::optional<Data> dbViewController::LoadImagesFromSql(std::string const& url)
{
    Statement statement = prepare(m_myDb.get(), "SELECT IMAGE FROM IMAGES WHERE URL = ?");
    StepResult result = StepResult::Failed;
    if (statement && bindText(statement.get(), 1, url))
        result = step(statement.get());
    if (result == StepResult::Failed)
        noteFailure("read the table IMAGES");
    if (result != StepResult::Row)
        return std::nullopt;
    return Data { columnText(statement.get(), 0) };
}

static Value listValue(std::shared_ptr<std::vector<std::string>> const& list)
{
    return list ? Value(*list) : Value();
}

Value dbViewController::valueForKey(std::string const& key) const
{
    if (key == "myDb")
        return Value();  // a connection handle has no value a script could use
    if (key == "myPresetExist")
        return Value(m_myPresetExist);
    if (key == "myPresetValueStr")
        return Value(m_myPresetValueStr);
    if (key == "myPresetsArray")
        return listValue(m_myPresetsArray);
    if (key == "myPresetsArrayToPass")
        return listValue(m_myPresetsArrayToPass);
    if (key == "myEmptyArray")
        return Value(m_myEmptyArray);
    if (key == "mySearchValue4")
        return Value(m_mySearchValue4);
    return Object::valueForKey(key);
}

void dbViewController::setValueForKey(std::string const& key, Value value)
{
    if (key == "myPresetValueStr") {
        if (value.isNull())
            m_myPresetValueStr.reset();
        else if (auto text = value.text())
            m_myPresetValueStr = *text;
        else
            throw ArgumentError("myPresetValueStr must be a string, not " + std::string(kindName(value.kind())));
        return;
    }
    for (char const* owned :
        { "myDb", "myPresetExist", "myPresetsArray", "myPresetsArrayToPass", "myEmptyArray", "mySearchValue4" }) {
        if (key == owned)
            throw ArgumentError(key + " is kept by the store's own operations");
    }
    Object::setValueForKey(key, std::move(value));
}

// Arguments are written into the store as "%@" formats them: strings as themselves, numbers in decimal.
static std::string textArgument(Args const& args, std::size_t i)
{
    if (auto text = args[i].text())
        return *text;
    if (args[i].isNumber())
        return args[i].description();
    args.wrongKind(i, "a string");
}

static std::optional<Data> optionalData(Args const& args, std::size_t i)
{
    if (args[i].isNull())
        return std::nullopt;
    return args.data(i);
}

// 62 consecutive text arguments, from `first` on every `stride`th.
static std::array<std::string, kNamedColumns> textArguments(Args const& args, std::size_t first, std::size_t stride)
{
    std::array<std::string, kNamedColumns> texts;
    for (std::size_t p = 0; p < kNamedColumns; ++p)
        texts[p] = textArgument(args, first + p * stride);
    return texts;
}

// Runs a method and records the cause of a failure it left with the platform, for objc.lastFailure();
// also when the method raised its failure report.
static Method reporting(Method body)
{
    return [body = std::move(body)](Call const& c) -> Value {
        auto& self = c.self<dbViewController>();
        self.clearLastFailure();
        auto forward = [&] {
            if (auto const& failure = self.lastFailure())
                c.runtime.platform().recordFailure(failure->what, failure->cause);
        };
        try {
            Value result = body(c);
            forward();
            return result;
        } catch (...) {
            forward();
            throw;
        }
    };
}

void dbViewController::registerClass(Runtime& runtime)
{
    ClassBuilder<dbViewController> builder(runtime, "dbViewController");
    auto method = [&builder](std::string const& selector, Method body) {
        builder.method(selector, reporting(std::move(body)));
    };
    method("dbFilePath", [](Call const& c) { return Value(c.self<dbViewController>().dbFilePath()); });
    method(kOpenSelector, [](Call const& c) {
        c.self<dbViewController>().openmyPresetsDb();
        return Value();
    });
    method(createTableSelector(), [](Call const& c) {
        c.self<dbViewController>().createTableNamed(textArgument(c.args, 0), textArguments(c.args, 1, 1));
        return Value();
    });
    method(insertRecordSelector(), [](Call const& c) {
        c.self<dbViewController>().insertRecordIntoTableNamed(
            textArgument(c.args, 0), textArguments(c.args, 1, 2), textArguments(c.args, 2, 2));
        return Value();
    });
    method("linkToPresetsDB", [](Call const& c) {
        c.self<dbViewController>().linkToPresetsDB();
        return Value();
    });
    method("creatTableIfNotExist", [](Call const& c) {
        c.self<dbViewController>().creatTableIfNotExist();
        return Value();
    });
    method("myPresetValueStr", [](Call const& c) { return Value(c.self<dbViewController>().myPresetValueStr()); });
    method("setMyPresetValueStr:", [](Call const& c) {
        c.self<dbViewController>().setMyPresetValueStr(c.args.optionalString(0));
        return Value();
    });
    method("insertSortingPresetToDB", [](Call const& c) {
        c.self<dbViewController>().insertSortingPresetToDB();
        return Value();
    });
    method("getAllRowsFromTableNamed:", [](Call const& c) {
        c.self<dbViewController>().getAllRowsFromTableNamed(textArgument(c.args, 0));
        return Value();
    });
    method("checkPresetNameFromTableNamed:::", [](Call const& c) {
        return Value(c.self<dbViewController>().checkPresetNameFromTableNamed(
            textArgument(c.args, 0), textArgument(c.args, 1), textArgument(c.args, 2)));
    });
    method("removePresetFromDatabase:::", [](Call const& c) {
        return Value(c.self<dbViewController>().removePresetFromDatabase(
            textArgument(c.args, 0), textArgument(c.args, 1), textArgument(c.args, 2)));
    });
    method("checkForActionType:::", [](Call const& c) {
        return Value(c.self<dbViewController>().checkForActionType(
            textArgument(c.args, 0), textArgument(c.args, 1), textArgument(c.args, 2)));
    });
    method("hSaveSecurityScopedBookmarks:", [](Call const& c) {
        // Nothing to store without data.
        if (auto bookmark = optionalData(c.args, 0))
            c.self<dbViewController>().hSaveSecurityScopedBookmarks(*bookmark);
        return Value();
    });
    method("hGetBookMarkedFolders::::::", [](Call const& c) {
        return Value(c.self<dbViewController>().hGetBookMarkedFolders(textArgument(c.args, 0),
            textArgument(c.args, 1), textArgument(c.args, 2), textArgument(c.args, 3), textArgument(c.args, 4),
            textArgument(c.args, 5)));
    });
    method("SaveImagesToSql::", [](Call const& c) {
        if (auto image = optionalData(c.args, 0))
            c.self<dbViewController>().SaveImagesToSql(*image, textArgument(c.args, 1));
        return Value();
    });
    method("LoadImagesFromSql:", [](Call const& c) {
        return Value(c.self<dbViewController>().LoadImagesFromSql(textArgument(c.args, 0)));
    });
    method("replacePreset:", [](Call const& c) {
        Array const values = c.args.array(0);
        if (values.size() != kNamedColumns)
            throw ArgumentError("a preset is " + std::to_string(kNamedColumns) + " values");
        PresetRecord record;
        Args const texts(values);
        for (std::size_t p = 0; p < kNamedColumns; ++p)
            record[p] = textArgument(texts, p);
        c.self<dbViewController>().replacePreset(record);
        return Value();
    });
    for (char const* writer : { "insertSortingPresetToDB01", "insertHTMLPresetToDB01", "insertSortingPresetToDB02" }) {
        method(presetWriterSelector(writer), [](Call const& c) {
            c.self<dbViewController>().insertPreset(textArguments(c.args, 0, 1));
            return Value();
        });
    }
}

}
