#pragma once
// cNSFileHandling: single file operations and whole-file reads and writes for the scripts.
//
// Nothing here raises an error: outcomes are status words ("OK"/"Failed" for placing, trashing and
// deleting; "OK"/"EXISTS"/"FAILED" for creating a folder), null or empty results, or nothing. Move, copy
// and link replace an existing destination in one rename and leave everything as it was when they fail
// (ItemPlacement). An instance remembers the last date text (`dateString`) and size text
// (`myFileSizeStr`) it produced and answers them again when a later call cannot produce one.
//
// Text files are read as UTF-8 (a leading byte-order mark skipped) and written as UTF-8 without one;
// every whole-file write is atomic and a failed write keeps the file's earlier contents.

#include "core/Object.h"
#include "fs/Status.h"
#include "text/TextFiles.h"

#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class Platform;
class RunJournal;
class Runtime;

class cNSFileHandling : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kOK = "OK";
    static constexpr char const* kFailed = "Failed";
    static constexpr char const* kExists = "EXISTS";
    static constexpr char const* kFolderFailed = "FAILED";

    // Dates as text in local time; `code` is the format code in its text form ("0", "1" or "2").
    // Answers "(null)" when no date text was ever stored.
    std::string hGetCreationDateFile(std::string const& path, std::string const& code);
    std::string hGetModificationDateFile(std::string const& path, std::string const& code);
    // The item's size as short text in decimal units; the previous answer (or nullopt) when the item
    // cannot be examined.
    std::optional<std::string> getFileSize(std::string const& path);

    // `cause`, when given, receives why creating, trashing, deleting or renaming failed.
    static std::string hCreateDirectory(std::string const& path, Status* cause = nullptr);
    // Placing replaces what is at the destination, never losing it or the source on failure (ItemPlacement).
    // `cause`, when given, receives why a placement or write failed.
    static std::string hMoveFileTo(std::string const& source, std::string const& destination, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    static std::string hCopyFileTo(std::string const& source, std::string const& destination, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    static std::string hAliasFileTo(std::string const& source, std::string const& destination, Status* cause = nullptr,
        RunJournal* journal = nullptr);
    static std::string hTrashFile(std::string const& path, Status* cause = nullptr);
    // Removes each item named by a file URL text permanently; always "OK" (the cause is the first failure).
    static std::string hDeleteFiles(std::vector<std::string> const& fileUrls, Status* cause = nullptr);
    // Renames the item at a file URL text (or an absolute path) to a new name in its folder, never
    // replacing an item; does nothing when the name is not one path component.
    static void hRenameFile(std::string const& location, std::string const& newName, Status* cause = nullptr);
    static std::optional<std::string> hGetFileType(std::string const& path);
    // Opens the item with the desktop's default handler (through the platform's URL opener).
    static void hShowInFinder(Platform& platform, std::string const& path);
    // Keeps the image bytes as the item's custom icon; nullopt removes it.
    static void hAddIconToFile(std::string const& path, std::optional<std::string> const& imageBytes, Status* cause = nullptr);
    static constexpr char const* kIconAttribute = "user.quodrix.icon";

    // The rename pairs of a rename list or application log; empty when the file cannot be read as UTF-8.
    // The pairs are views into the returned object's text: keep it while using them.
    static RenamePairs hReadMfrLog(std::string const& path, std::optional<std::string> const& separator,
        Status* cause = nullptr);
    // The pairs as scripts see them: an array of two-string arrays.
    static Value pairsValue(RenamePairs const& pairs);
    static std::optional<std::vector<std::string>> hReadTextFileLbyL(std::string const& path, Status* cause = nullptr);
    // A null text leaves an empty file.
    static void hWriteTextFile(std::string const& path, std::optional<std::string> const& text, Status* cause = nullptr);
    static void hWritHTMLFile(std::string const& path, std::optional<std::string> const& html, Status* cause = nullptr);
    static Value readPlist(std::string const& path, std::string const& key);
    static void writeToPlist(std::string const& path, std::string const& key, Value const& value, Status* cause = nullptr);
    static void writeNSDataToFile(std::string const& bytes, std::string const& path, Status* cause = nullptr);
    static std::optional<std::string> readNSDataFromFile(std::string const& path, Status* cause = nullptr);

    std::optional<std::string> const& dateString() const { return m_dateString; }
    std::optional<std::string> const& myFileSizeStr() const { return m_fileSizeStr; }

    void setValueForKey(std::string const& key, Value value) override;
    Value valueForKey(std::string const& key) const override;

private:
    enum class Which { Creation, Modification };
    std::string dateText(std::string const& path, std::string const& code, Which which);

    std::optional<std::string> m_dateString;
    Value m_saveURL;  // kept for scripts that set it; no operation reads it
    std::optional<std::string> m_fileSizeStr;
};

}
