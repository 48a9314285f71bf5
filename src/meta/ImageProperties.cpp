#include "meta/ImageProperties.h"

#include "core/Runtime.h"
#include "fs/AtomicFile.h"
#include "fs/FileBytes.h"
#include "fs/FileDescriptor.h"
#include "fs/FileOps.h"
#include "fs/SystemCalls.h"
#include "meta/ImageFileFormat.h"
#include "meta/UserComment.h"
#include "platform/Platform.h"

// Exiv2 0.27 hands images out as std::auto_ptr, which C++20 marks deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <lcms2.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix {

namespace {

constexpr char const* kUserCommentKey = "Exif.Photo.UserComment";
constexpr off_t kMaxCommentedImageBytes = off_t(1) << 30;

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// Whether a path names a regular file this process can read.
bool isReadableFile(std::string const& path)
{
    struct stat st {};
    SystemCalls& calls = systemCalls();
    return calls.stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && calls.access(path.c_str(), R_OK) == 0;
}

std::unique_ptr<Exiv2::Image> openImage(std::string const& path)
{
    // An absolute path: Exiv2 reads "-", "http://...", "data:..." and the like as other sources than a file.
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(std::filesystem::absolute(path).string(), false);
    image->readMetadata();
    return std::unique_ptr<Exiv2::Image>(image.release());
}

// An image over a copy of `bytes` in memory; writing it changes only that copy.
std::unique_ptr<Exiv2::Image> openImageInMemory(std::string_view bytes)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
        reinterpret_cast<Exiv2::byte const*>(bytes.data()), long(bytes.size()));
    image->readMetadata();
    return std::unique_ptr<Exiv2::Image>(image.release());
}

ByteOrder orderOf(Exiv2::Image const& image)
{
    return image.byteOrder() == Exiv2::bigEndian ? ByteOrder::Big : ByteOrder::Little;
}

// The image's embedded ICC profile, opened; null when it has none or it cannot be read.
Profile embeddedProfile(Exiv2::Image& image)
{
    Exiv2::DataBuf* icc = image.iccProfile();
    if (!icc || icc->size_ <= 0)
        return nullptr;
    return Profile(cmsOpenProfileFromMem(icc->pData_, cmsUInt32Number(icc->size_)));
}

std::optional<std::string> profileDescription(Exiv2::Image& image)
{
    Profile profile = embeddedProfile(image);
    if (!profile)
        return std::nullopt;
    char text[256] = {};
    cmsUInt32Number n = cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    if (n <= 1)
        return std::nullopt;
    return std::string(text);
}

std::optional<std::string> profileColorModel(Exiv2::Image& image)
{
    Profile profile = embeddedProfile(image);
    if (!profile)
        return std::nullopt;
    switch (cmsGetColorSpace(profile.get())) {
    case cmsSigRgbData:
        return "RGB";
    case cmsSigGrayData:
        return "Gray";
    case cmsSigCmykData:
        return "CMYK";
    case cmsSigLabData:
        return "Lab";
    default:
        return std::nullopt;
    }
}

std::optional<std::string> colorModel(Exiv2::Image& image, std::string const& path)
{
    if (auto model = profileColorModel(image))
        return model;
    auto& exif = image.exifData();
    auto photometric = exif.findKey(Exiv2::ExifKey("Exif.Image.PhotometricInterpretation"));
    if (photometric != exif.end() && photometric->count() > 0) {
        switch (photometric->toLong()) {
        case 0:
        case 1:
            return "Gray";
        case 2:
        case 6:
            return "RGB";
        case 5:
            return "CMYK";
        case 8:
            return "Lab";
        default:
            break;
        }
    }
    return sniffColorModel(path);
}

// The user comment's text, decoded from its stored bytes (Exiv2's own conversion garbles surrogate pairs).
std::string commentText(Exiv2::Value const& value, ByteOrder imageOrder)
{
    if (auto const* comment = dynamic_cast<Exiv2::CommentValue const*>(&value)) {
        ByteOrder order = comment->byteOrder_ == Exiv2::bigEndian ? ByteOrder::Big
            : comment->byteOrder_ == Exiv2::littleEndian        ? ByteOrder::Little
                                                                  : imageOrder;
        return decodeUserComment(comment->value_, order);
    }
    std::string bytes(std::size_t(value.size()), '\0');
    value.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()),
        imageOrder == ByteOrder::Big ? Exiv2::bigEndian : Exiv2::littleEndian);
    return decodeUserComment(bytes, imageOrder);
}

// A string value without the NUL padding that Exif ASCII fields often carry.
std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\0'))
        text.pop_back();
    return text;
}

// How values of an Exiv2 type become property values: integer types as whole numbers, rationals and floating
// point as reals, every other type as text. The one list of the numeric types.
enum class NumberKind { None, Integer, Real };

NumberKind numberKind(Exiv2::TypeId type)
{
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
    case Exiv2::tiffIfd:
        return NumberKind::Integer;
    case Exiv2::unsignedRational:
    case Exiv2::signedRational:
    case Exiv2::tiffFloat:
    case Exiv2::tiffDouble:
        return NumberKind::Real;
    default:
        return NumberKind::None;
    }
}

bool isNumeric(Exiv2::TypeId type)
{
    return numberKind(type) != NumberKind::None;
}

Value scalar(Exiv2::Value const& value, long i)
{
    switch (numberKind(value.typeId())) {
    case NumberKind::Integer:
        return Value(std::int64_t(value.toLong(i)));
    case NumberKind::Real:
        return Value(double(value.toFloat(i)));
    case NumberKind::None:
        break;
    }
    return Value(trimmed(value.toString(i)));
}

// A property value: numbers stay numbers, several components become an array, other data its readable text.
Value propertyValue(Exiv2::Value const& value, std::string const& printed)
{
    Exiv2::TypeId type = value.typeId();
    if (isNumeric(type)) {
        if (value.count() == 1)
            return scalar(value, 0);
        Array items;
        for (long i = 0; i < value.count(); ++i)
            items.push_back(scalar(value, i));
        return Value(std::move(items));
    }
    if (type == Exiv2::xmpBag || type == Exiv2::xmpSeq || type == Exiv2::xmpAlt) {
        Array items;
        for (long i = 0; i < value.count(); ++i)
            items.push_back(Value(value.toString(i)));
        return Value(std::move(items));
    }
    if (type == Exiv2::langAlt)
        return Value(value.toString(0));
    if (type == Exiv2::asciiString || type == Exiv2::string || type == Exiv2::xmpText || type == Exiv2::date
        || type == Exiv2::time)
        return Value(trimmed(value.toString()));
    return Value(trimmed(printed));
}

// Properties gathered by group before they become dictionaries: a key met again (repeatable IPTC sets)
// collects its values in an array.
using Gathered = std::map<std::string, std::vector<Value>>;

Value dictionaryOf(Gathered const& gathered)
{
    Dictionary out;
    for (auto const& [key, values] : gathered)
        out[key] = values.size() == 1 ? values.front() : Value(Array(values.begin(), values.end()));
    return Value(std::move(out));
}

// One property's value; nullopt when the library cannot interpret it, so that one damaged tag does not hide the
// others.
template<typename Convert>
std::optional<Value> readablyOrNot(Convert convert)
{
    try {
        return convert();
    } catch (std::exception const&) {
        return std::nullopt;
    }
}

std::string exifGroupKey(std::string const& groupName)
{
    if (groupName == "Image")
        return "{TIFF}";
    if (groupName == "Photo")
        return "{Exif}";
    if (groupName == "GPSInfo")
        return "{GPS}";
    if (groupName == "Iop")
        return "{ExifInterop}";
    return "{" + groupName + "}";
}

// Tags that only point to other directories or hold raw blocks; they say nothing to a reader.
bool isStructural(std::string const& tagName)
{
    static char const* const names[] = { "ExifTag", "GPSTag", "InteroperabilityTag", "SubIFDs", "MakerNote",
        "JPEGInterchangeFormat", "JPEGInterchangeFormatLength", "IPTCNAA", "XMLPacket", "InterColorProfile",
        "ImageResources", "PrintImageMatching" };
    for (char const* name : names)
        if (tagName == name)
            return true;
    return false;
}

Dictionary buildProperties(Exiv2::Image& image, std::string const& path)
{
    Dictionary top;
    if (image.pixelWidth() > 0)
        top["PixelWidth"] = Value(std::int64_t(image.pixelWidth()));
    if (image.pixelHeight() > 0)
        top["PixelHeight"] = Value(std::int64_t(image.pixelHeight()));
    if (auto model = colorModel(image, path))
        top["ColorModel"] = Value(*model);
    if (auto profile = profileDescription(image))
        top["ProfileName"] = Value(*profile);

    auto& exif = image.exifData();
    ByteOrder order = orderOf(image);
    std::map<std::string, Gathered> groups;
    std::map<std::string, Gathered> xmp;
    for (auto const& datum : exif) {
        std::string tag = datum.tagName();
        if (isStructural(tag))
            continue;
        Gathered& group = groups[exifGroupKey(datum.groupName())];
        if (datum.key() == kUserCommentKey) {
            group[tag].push_back(Value(commentText(datum.value(), order)));
            continue;
        }
        if (datum.key() == "Exif.Image.Orientation" && datum.count() > 0)
            top["Orientation"] = Value(std::int64_t(datum.toLong()));
        if (auto value = readablyOrNot([&] { return propertyValue(datum.value(), datum.print(&exif)); }))
            group[tag].push_back(std::move(*value));
    }
    for (auto const& datum : image.iptcData())
        if (auto value = readablyOrNot([&] { return propertyValue(datum.value(), datum.print()); }))
            groups["{IPTC}"][datum.tagName()].push_back(std::move(*value));
    for (auto const& datum : image.xmpData())
        if (auto value = readablyOrNot([&] { return propertyValue(datum.value(), datum.print()); }))
            xmp[datum.groupName()][datum.tagName()].push_back(std::move(*value));
    for (auto const& [key, gathered] : groups)
        top[key] = dictionaryOf(gathered);
    if (!xmp.empty()) {
        Dictionary namespaces;
        for (auto const& [prefix, gathered] : xmp)
            namespaces[prefix] = dictionaryOf(gathered);
        top["{XMP}"] = Value(std::move(namespaces));
    }
    return top;
}

std::optional<std::string> userCommentOf(Exiv2::Image& image)
{
    auto& exif = image.exifData();
    auto it = exif.findKey(Exiv2::ExifKey(kUserCommentKey));
    if (it == exif.end())
        return std::nullopt;
    return commentText(it->value(), orderOf(image));
}

// The XMP namespaces that one operation's images registered, dropped when it ends. Exiv2 registers every
// namespace that an XMP packet declares and it does not know, process-wide, under the packet's prefix; a
// damaged packet can so claim a known prefix ("dc") for a wrong address, and every later image would then
// read its properties under that prefix without their names and titles. Each operation starts and ends
// with only Exiv2's own namespaces.
class XmpNamespaceScope {
public:
    XmpNamespaceScope() { forgetRegisteredNamespaces(); }
    ~XmpNamespaceScope() { forgetRegisteredNamespaces(); }
    XmpNamespaceScope(XmpNamespaceScope const&) = delete;
    XmpNamespaceScope& operator=(XmpNamespaceScope const&) = delete;

private:
    static void forgetRegisteredNamespaces()
    {
        try {
            Exiv2::XmpProperties::unregisterNs();
        } catch (std::exception const&) {
        }
    }
};

// A file that loads as an image, with what was read to decide it.
struct LoadedImage {
    std::int64_t width = 0;
    std::int64_t height = 0;
    // The metadata library's reading; null when the library did not open the file and its size came from a GIF
    // header.
    std::unique_ptr<Exiv2::Image> image;
};

// The one decision whether a file loads as an image: a readable file whose image data give a size in pixels,
// width and height both above zero (the frame header of a JPEG, the header of a PNG, WebP, BMP or TIFF image,
// the logical screen of a GIF). A file that carries metadata alone, such as a JPEG of only its JFIF and Exif
// segments or a container whose metadata the library reads without its pixels (HEIF, video), does not.
std::optional<LoadedImage> loadAsImage(std::string const& path)
{
    if (!isReadableFile(path))
        return std::nullopt;
    LoadedImage loaded;
    try {
        loaded.image = openImage(path);
        loaded.width = loaded.image->pixelWidth();
        loaded.height = loaded.image->pixelHeight();
    } catch (std::exception const&) {
        loaded.image.reset();
        auto size = gifPixelSize(path);
        if (!size)
            return std::nullopt;
        loaded.width = size->first;
        loaded.height = size->second;
    }
    if (loaded.width <= 0 || loaded.height <= 0)
        return std::nullopt;
    return loaded;
}

}

ImageIO& sharedImageIO(Runtime& runtime)
{
    if (!runtime.platform().imageIO())
        runtime.platform().setImageIO(std::make_unique<ImageProperties>());
    return *runtime.platform().imageIO();
}

ImageProperties::ImageProperties()
{
    static std::once_flag muted;
    std::call_once(muted, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

ImageReading ImageProperties::read(std::string const& path)
{
    XmpNamespaceScope namespaces;
    ImageReading reading;
    if (!isReadableFile(path))
        return reading;
    reading.source = ImageSource::NoImage;
    try {
        auto image = openImage(path);
        reading.properties = buildProperties(*image, path);
        reading.userComment = userCommentOf(*image);
        reading.source = ImageSource::Image;
    } catch (std::exception const&) {
        reading.properties.clear();
        reading.userComment.reset();
        if (auto size = gifPixelSize(path)) {
            reading.source = ImageSource::Image;
            reading.properties = Dictionary { { "PixelWidth", Value(size->first) }, { "PixelHeight", Value(size->second) },
                { "ColorModel", Value("RGB") } };
        }
    }
    return reading;
}

bool ImageProperties::writeUserComment(std::string const& path, std::optional<std::string> const& comment,
    std::string* cause)
{
    XmpNamespaceScope namespaces;
    auto fail = [&](std::string why) {
        if (cause)
            *cause = std::move(why);
        return false;
    };
    // The file behind a link is the one that changes; the link stays.
    auto resolved = resolvedPath(path);
    if (!resolved)
        return fail(std::strerror(errno));
    std::string const& target = *resolved;
    auto& calls = systemCalls();
    struct stat original {};
    if (calls.stat(target.c_str(), &original) != 0 || calls.access(target.c_str(), W_OK) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(original.st_mode))
        return fail("not a regular file");
    // The file and its rewritten copy are both held in memory: a file larger than any photograph (a huge
    // or sparse file named like an image) is refused rather than exhausting memory.
    if (original.st_size > kMaxCommentedImageBytes)
        return fail("the file is too large for an image");
    try {
        FileBytes file;
        if (Status read = file.read(target); !read)
            return fail(read.message());
        std::string_view const bytes = file.view();
        // The metadata library does not open GIF images, which hold no Exif data: said as for any image
        // format without room for a comment, not as data of an unknown type.
        if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a"))
            return fail("comments cannot be written into this image format");
        auto image = openImageInMemory(bytes);
        Exiv2::AccessMode mode = image->checkMode(Exiv2::mdExif);
        if (mode != Exiv2::amWrite && mode != Exiv2::amReadWrite)
            return fail("comments cannot be written into this image format");
        auto& exif = image->exifData();
        Exiv2::ByteOrder order = exif.empty() || image->byteOrder() == Exiv2::invalidByteOrder
                || image->imageType() == Exiv2::ImageType::png
            ? Exiv2::littleEndian
            : image->byteOrder();
        ByteOrder commentOrder = order == Exiv2::bigEndian ? ByteOrder::Big : ByteOrder::Little;
        std::string const stored = comment ? encodeUserComment(*comment, commentOrder) : std::string();
        Exiv2::ExifKey key(kUserCommentKey);
        auto existing = exif.findKey(key);
        if (existing != exif.end())
            exif.erase(existing);
        if (comment) {
            Exiv2::DataValue value(Exiv2::undefined);
            value.read(reinterpret_cast<Exiv2::byte const*>(stored.data()), long(stored.size()), order);
            exif.add(key, &value);
        }
        if (image->byteOrder() == Exiv2::invalidByteOrder)
            image->setByteOrder(order);
        image->writeMetadata();

        // The rewritten image is looked at where Exiv2 built it, in its memory buffer: no copy of it is made.
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return fail("the rewritten image cannot be read back");
        Exiv2::byte const* data = io.mmap();
        if (!data && io.size() != 0)
            return fail("the rewritten image cannot be read back");
        std::string_view const written(reinterpret_cast<char const*>(data), io.size());

        // Refuse what would lose an image or not read back as written.
        auto before = tiffImageCount(bytes);
        if (before && tiffImageCount(written).value_or(0) < *before)
            return fail("the rewritten image would lose one of its images");
        auto check = openImageInMemory(written);
        auto const expected = comment ? std::optional(decodeUserComment(stored, commentOrder)) : std::nullopt;
        auto const found = userCommentOf(*check);
        if (found != expected) {
            // A JPEG's Exif segment holds at most 65,535 bytes with every other tag, and Exiv2 leaves out a
            // tag that does not fit, without an error: a comment that is not there did not fit.
            if (image->imageType() == Exiv2::ImageType::jpeg && comment && !found)
                return fail("the comment is too long for the Exif data of a JPEG image");
            return fail("the comment does not read back as written");
        }
        // Replaced in one rename, after the new file reads back from the disk as it was built.
        Status const status = writeFileAtomically(target, written, ReadBack::Checked);
        if (!status.ok())
            return fail(status.message());
        return true;
    } catch (std::exception const& e) {
        return fail(e.what());
    }
}

std::optional<std::string> ImageProperties::colorSpaceName(std::string const& path)
{
    XmpNamespaceScope namespaces;
    auto loaded = loadAsImage(path);
    if (!loaded)
        return std::nullopt;
    if (!loaded->image)
        return "Generic RGB";  // a GIF: indexed colour, named as RGB
    try {
        Exiv2::Image& image = *loaded->image;
        if (auto description = profileDescription(image))
            return description;
        auto& exif = image.exifData();
        auto space = exif.findKey(Exiv2::ExifKey("Exif.Photo.ColorSpace"));
        if (space != exif.end() && space->count() > 0 && space->toLong() == 1)
            return "sRGB";
        auto model = colorModel(image, path);
        if (!model)
            return "Generic RGB";
        return "Generic " + *model;
    } catch (std::exception const&) {
        // The file loads as an image; a damaged tag only hides what it would have told.
        return "Generic " + sniffColorModel(path).value_or("RGB");
    }
}

std::optional<std::pair<std::int64_t, std::int64_t>> ImageProperties::pixelSize(std::string const& path)
{
    XmpNamespaceScope namespaces;
    auto loaded = loadAsImage(path);
    if (!loaded)
        return std::nullopt;
    return std::pair(loaded->width, loaded->height);
}

std::string ImageProperties::label(std::string const& key)
{
    XmpNamespaceScope namespaces;
    if (!m_labelsLoaded) {
        m_labelsLoaded = true;
        // Exif first, so that its labels win where IPTC or XMP use the same name.
        for (char const* group : { "Image", "Photo", "GPSInfo", "Iop" }) {
            for (Exiv2::TagInfo const* tag = Exiv2::ExifTags::tagList(group); tag && tag->tag_ != 0xffff; ++tag)
                if (tag->name_ && tag->title_)
                    m_labels.emplace(tag->name_, tag->title_);
        }
        for (auto list : { Exiv2::IptcDataSets::envelopeRecordList(), Exiv2::IptcDataSets::application2RecordList() })
            for (Exiv2::DataSet const* set = list; set && set->number_ != 0xffff; ++set)
                if (set->name_ && set->title_)
                    m_labels.emplace(set->name_, set->title_);
        for (char const* prefix : { "dc", "xmp", "photoshop", "xmpRights", "Iptc4xmpCore" }) {
            try {
                for (auto info = Exiv2::XmpProperties::propertyList(prefix); info && info->name_; ++info)
                    if (info->title_)
                        m_labels.emplace(info->name_, info->title_);
            } catch (std::exception const&) {
            }
        }
    }
    auto it = m_labels.find(key);
    return it == m_labels.end() ? key : it->second;
}

}

#pragma GCC diagnostic pop
