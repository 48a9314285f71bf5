#include "toolbox/FileCollector.h"

#include "fs/ItemNames.h"
#include "fs/SystemCalls.h"
#include "platform/PanelRules.h"

#include <algorithm>
#include <array>
#include <sys/stat.h>

namespace quodrix {

namespace collection {

namespace {

using P = Panel;
using T = Types;
using C = Collect;
using K = PackageContents;
using X = OnCancel;

constexpr std::array<ActionRow, 9> kOpenDialogFiles { {
    { "EMM", P::Files, T::Emm, C::Chosen, K::Skipped, X::EmptyArray },
    { "batchSort", P::Files, T::LongImage, C::Chosen, K::Skipped, X::EmptyArray },
    { "sort", P::Files, T::LongImage, C::Chosen, K::Skipped, X::EmptyArray },
    { "rescale", P::Files, T::LongImage, C::Chosen, K::Skipped, X::Null },
    { "rename", P::Files, T::Any, C::Chosen, K::Skipped, X::Null },
    { "renameDir", P::Folder, T::Any, C::EveryFile, K::Entered, X::Null },
    { "sortDir", P::Folder, T::LongImage, C::SortSet, K::Skipped, X::Null },
    { "WatermarkDir", P::Folder, T::LongImage, C::WatermarkSet, K::Skipped, X::Null },
    { "WatermarkFiles", P::Files, T::Watermark, C::Chosen, K::Skipped, X::EmptyArray },
} };

constexpr std::array<ActionRow, 8> kOpenDialogFilesOC { {
    { "EMM", P::Files, T::Emm, C::Chosen, K::Skipped, X::EmptyArray },
    { "EMMDir", P::Folder, T::ShortImage, C::EmmSet, K::Skipped, X::EmptyArray },
    { "sort", P::Files, T::ShortImage, C::Chosen, K::Skipped, X::EmptyArray },
    { "rescale", P::Files, T::ShortImage, C::Chosen, K::Skipped, X::Null },
    { "rename", P::Files, T::Any, C::Chosen, K::Skipped, X::Null },
    { "renameDir", P::Folder, T::Any, C::EveryFile, K::Entered, X::Null },
    { "batchSortImages", P::Folder, T::ShortImage, C::SortSet, K::Skipped, X::Null },
    { "sortDir", P::Folder, T::ShortImage, C::SortSet, K::Skipped, X::EmptyArray },
} };

constexpr std::array<std::string_view, 14> kSortSet { "jpg", "jpeg", "tif", "tiff", "pdf", "png", "gif", "JPG",
    "JPEG", "TIF", "TIFF", "PDF", "PNG", "GIF" };
constexpr std::array<std::string_view, 10> kWatermarkSet { "jpg", "jpeg", "tif", "tiff", "png", "JPG", "JPEG",
    "TIF", "TIFF", "PNG" };
constexpr std::array<std::string_view, 8> kEmmSet { "jpg", "jpeg", "tif", "tiff", "JPG", "JPEG", "TIF", "TIFF" };

template<std::size_t N>
bool contains(std::array<std::string_view, N> const& set, std::string_view extension)
{
    return std::find(set.begin(), set.end(), extension) != set.end();
}

}

std::span<ActionRow const> openDialogFilesRows()
{
    return kOpenDialogFiles;
}

std::span<ActionRow const> openDialogFilesOCRows()
{
    return kOpenDialogFilesOC;
}

std::optional<std::vector<std::string>> typeList(Types types)
{
    switch (types) {
    case Types::Any:
        return std::nullopt;
    case Types::LongImage:
        return std::vector<std::string> { "pdf", "png", "jpg", "jpeg", "gif", "tif", "tiff", "tga", "targa", "psd" };
    case Types::ShortImage:
        return std::vector<std::string> { "pdf", "png", "jpg", "jpeg", "gif", "tif", "tiff" };
    case Types::Emm:
        return std::vector<std::string> { "jpg", "jpeg", "tif", "tiff" };
    case Types::Watermark:
        return std::vector<std::string> { "jpg", "jpeg", "tif", "tiff", "png", "JPG", "JPEG", "TIF", "TIFF", "PNG" };
    }
    return std::nullopt;
}

bool extensionCollected(Collect collect, std::string_view extension)
{
    switch (collect) {
    case Collect::Chosen:
    case Collect::EveryFile:
        return true;
    case Collect::SortSet:
        return contains(kSortSet, extension);
    case Collect::WatermarkSet:
        return contains(kWatermarkSet, extension);
    case Collect::EmmSet:
        return contains(kEmmSet, extension);
    }
    return false;
}

OpenPanelRequest panelRequest(ActionRow const& row)
{
    OpenPanelRequest request;
    bool folder = row.panel == Panel::Folder;
    request.canChooseFiles = !folder;
    request.canChooseDirectories = folder;
    request.allowsMultipleSelection = !folder;
    request.canCreateDirectories = false;
    request.allowedFileTypes = typeList(row.types);
    return request;
}

PathList collectBelow(ActionRow const& row, std::string const& folder, Status* cause,
    std::function<bool()> const& stop, Links links)
{
    PathList paths;
    // Only a link needs a look of its own: the walk knows every other item's type from its listing.
    auto const leadsToAFile = [](WalkItem const& item) {
        struct stat info {};
        return systemCalls().stat(std::string(item.path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
    };
    Status walked = walkFolder(
        folder, row.packages,
        [&](WalkItem const& item) {
            if (item.isFolder || !extensionCollected(row.collect, extensionOf(item.name)))
                return;
            if (item.isLink && links == Links::ToFilesOnly && !leadsToAFile(item))
                return;
            paths.add(item.path);
        },
        stop);
    if (cause)
        *cause = walked;
    return paths;
}

}

std::optional<PathList> collectFiles(Panels& panels, std::span<collection::ActionRow const> rows,
    std::string_view action, Status* cause)
{
    auto row = std::find_if(rows.begin(), rows.end(), [&](auto const& r) { return r.name == action; });
    if (row == rows.end())
        return std::nullopt;
    auto chosen = runOpenPanel(panels, collection::panelRequest(*row));
    if (!chosen) {
        if (row->onCancel == collection::OnCancel::EmptyArray)
            return PathList();
        return std::nullopt;
    }
    if (row->panel == collection::Panel::Files)
        return PathList(*chosen);
    return collection::collectBelow(*row, chosen->front(), cause);
}

}
