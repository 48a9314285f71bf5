#pragma once
// mMeta: the controller of the metadata editor. For the image whose path stands in `tfActiveFilePath` it shows
// the property tree (through the tree controller `mTree`) and the Exif user comment (in `tfExifUserComment`),
// writes an edited comment back into the file, and logs each write as an ActionLogEntry in its own list
// (`mymMetaLogTableViewController`, redrawn through `themMetaLogTable`). It also answers the scripts' questions
// about an image: its user comment, its colour-space name and its size in pixels.
//
// Images are read and written through the platform's shared ImageIO. Nothing raises to the caller: a file that
// cannot be read gives the notice words "NotSupported" / "NotSupportedOrAvailable" (localized, the word
// itself by default), "" or null, and a write that did not happen gives "Failed" with the file as it was.

#include "core/Object.h"

#include <optional>
#include <string>
#include <utility>

namespace quodrix {

class ImageIO;
class Runtime;

class mMeta : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kOK = "OK";
    static constexpr char const* kFailed = "Failed";

    // Reads the file into the editor; the current tree, or null when no image source can be opened.
    Value hiDoNothing(Runtime& runtime, std::string const& path);
    // The tree of a property dictionary, sorted by key in UTF-16 code-unit order; it becomes the current tree.
    Array propTree(Runtime& runtime, Dictionary const& properties);
    static std::string hSetExifData(Runtime& runtime, std::string const& path, std::string const& comment);
    // As hSetExifData, with nullopt removing the comment: how undo gives back an image that had none.
    static std::string writeUserComment(Runtime& runtime, std::string const& path,
        std::optional<std::string> const& comment);
    void btApplyExifUserComment(Runtime& runtime);
    static std::string hGetExifUc(Runtime& runtime, std::string const& path);
    // The comment of the image: nullopt when the file cannot be read as an image, else its comment (nullopt
    // inside when it has none).
    static std::optional<std::optional<std::string>> readUserComment(Runtime& runtime, std::string const& path);
    static std::optional<std::string> hGetColorProfile(Runtime& runtime, std::string const& path);
    static std::pair<std::string, std::string> hGetPixelFormat(Runtime& runtime, std::string const& path);

    Value const& currentTree() const { return field("myVarTree"); }

private:
    static ImageIO& imageIO(Runtime& runtime);
    Array buildTree(ImageIO& io, Dictionary const& properties);
    void setCurrentTree(Value tree) { setValueForKey("myVarTree", std::move(tree)); }
};

}
