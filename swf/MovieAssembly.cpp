#include "swf/MovieAssembly.h"

#include "swf/SwfJpegBitmap.h"
#include "swf/SwfMovie.h"
#include "swf/SwfShape.h"
#include "util/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace brevanto::swf {

namespace {

constexpr char kCaptureSubfolder[] = "tolvane_brevanto/Temp/";
constexpr std::uint16_t kFirstBitmapId = 2;

// What the capture holds for one slot: nothing, a picture, or a file that exists but could not
// be read (its bitmap id is still taken, as for any captured picture).
struct SlotPicture {
    bool exists = false;
    std::optional<std::vector<std::uint8_t>> jpeg;
};
using SlotSource = std::function<SlotPicture(int slot)>;

std::string withTrailingSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string sizeText(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

std::string reasonText(int error)
{
    return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

// The reason the input cannot make a movie, or an empty text when it can.
std::string refusal(const MovieAssemblyInput& in)
{
    if (in.stageWidth < 1 || in.stageWidth > kMaxStageSide || in.stageHeight < 1 ||
        in.stageHeight > kMaxStageSide)
        return "The movie size " + sizeText(in.stageWidth, in.stageHeight) +
               " cannot be used: width and height must be between 1 and " +
               std::to_string(kMaxStageSide) + " pixels.";
    if (in.sourceWidth < 1 || in.sourceHeight < 1)
        return "The GIF size " + sizeText(in.sourceWidth, in.sourceHeight) +
               " cannot be used: its frames must be at least one pixel wide and high.";
    if (in.slotCount < 0 || in.slotCount > kMaxSlotCount)
        return "The animation is too long for one movie: it runs " + std::to_string(in.slotCount) +
               " steps of 100 ms, at most " + std::to_string(kMaxSlotCount) + " fit.";
    if (movieFileName(in.gifPath).empty())
        return "The GIF path \"" + in.gifPath + "\" has no file name.";
    return {};
}

// The frames of the movie, appended to a movie whose header values are already set.
void appendFrames(SwfMovie& movie, const MovieAssemblyInput& in, const SlotSource& source)
{
    const auto stageW = static_cast<float>(in.stageWidth);
    const auto stageH = static_cast<float>(in.stageHeight);
    const auto sourceW = static_cast<float>(in.sourceWidth);
    const auto sourceH = static_cast<float>(in.sourceHeight);

    movie.setBackgroundColor(255, 255, 255);
    std::uint16_t currentBitmapId = kFirstBitmapId;
    for (int n = 0; n < in.slotCount; ++n) {
        const auto bitmapId = static_cast<std::uint16_t>(2 * n + 2);
        const auto shapeId = static_cast<std::uint16_t>(2 * n + 1);
        const auto depth = static_cast<std::uint16_t>(n + 1);

        const SlotPicture picture = source(n);
        if (picture.exists) {
            if (picture.jpeg) {
                SwfJpegBitmap bitmap(bitmapId, std::span<const std::uint8_t>(*picture.jpeg));
                movie.addCharacter(bitmap, 0, false);
            }
            currentBitmapId = bitmapId;
        }

        // A stage-sized rectangle filled with the current picture, which is scaled from the
        // GIF's own size onto the stage; with equal sizes this is a fill scale of exactly 20.
        SwfShape shape(shapeId, 0, 0, stageW, stageH, depth);
        shape.addLineStyle(0, 0, 0, 0, 0);
        shape.addBitmapFill(currentBitmapId, SwfShape::kClippedBitmap, 0, 0, sourceW, sourceH, 0, 0,
                            stageW, stageH);
        shape.styleChange(1, 1, 0, SwfShape::Point{0, 0});
        shape.straightEdge(stageW, 0);
        shape.straightEdge(0, stageH);
        shape.straightEdge(-stageW, 0);
        shape.straightEdge(0, -stageH);
        movie.addCharacter(shape, depth, true);
        movie.showFrame();
    }
}

SlotSource fromCallback(const JpegForSlot& jpegForSlot)
{
    return [&jpegForSlot](int slot) {
        SlotPicture picture;
        if (jpegForSlot) {
            picture.jpeg = jpegForSlot(slot);
            picture.exists = picture.jpeg.has_value();
        }
        return picture;
    };
}

// Creates an empty, new file next to the movie; returns its path, or an empty text and errno.
std::string createTemporaryFile(const std::string& folder, const std::string& movieName, int& error)
{
    thread_local std::mt19937 generator{std::random_device{}()};
    error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            folder + "." + movieName + "." + std::to_string(generator() % 1000000u) + ".tmp";
        // "x": fail rather than reuse a file that already exists.
        if (std::FILE* file = std::fopen(path.c_str(), "wbx")) {
            std::fclose(file);
            return path;
        }
        error = errno;
        if (error != EEXIST)
            break;
    }
    return {};
}

void removeQuietly(const std::string& path)
{
    std::error_code ec;
    fs::remove(fs::path(path), ec);
}

MovieAssemblyResult writeMovie(const MovieAssemblyInput& in, const SlotSource& source,
                               const OpenRequest& open)
{
    MovieAssemblyResult result;
    const std::string folder = withTrailingSlash(in.outputFolder);
    result.outputPath = moviePath(folder, in.gifPath);

    if (std::string why = refusal(in); !why.empty()) {
        result.errorMessage = std::move(why);
        return result;
    }
    if (folder.empty() || !util::isDirectory(folder)) {
        result.errorMessage = "The output folder \"" + in.outputFolder + "\" does not exist.";
        return result;
    }
    std::error_code ec;
    if (fs::equivalent(fs::path(result.outputPath), fs::path(in.gifPath), ec) && !ec) {
        result.errorMessage = "The movie \"" + result.outputPath +
                              "\" would replace the file being converted; nothing was written.";
        return result;
    }

    int error = 0;
    const std::string temporary = createTemporaryFile(folder, movieFileName(in.gifPath), error);
    if (temporary.empty()) {
        result.errorMessage = "The movie could not be written to the folder \"" + folder +
                              "\": " + reasonText(error) + ".";
        return result;
    }

    SwfMovie movie;
    if (!movie.open(temporary, static_cast<float>(in.stageWidth),
                    static_cast<float>(in.stageHeight), in.frameRate)) {
        error = errno;
        removeQuietly(temporary);
        result.errorMessage = "The movie could not be written to the folder \"" + folder +
                              "\": " + reasonText(error) + ".";
        return result;
    }
    appendFrames(movie, in, source);
    errno = 0;
    if (!movie.close()) {
        error = errno;
        removeQuietly(temporary);
        result.errorMessage = "The movie \"" + result.outputPath + "\" could not be written: " +
                              reasonText(error) + ". Any earlier movie of that name was kept.";
        return result;
    }
    fs::rename(fs::path(temporary), fs::path(result.outputPath), ec);
    if (ec) {
        removeQuietly(temporary);
        result.errorMessage = "The movie \"" + result.outputPath + "\" could not be written: " +
                              ec.message() + ". Any earlier movie of that name was kept.";
        return result;
    }

    result.ok = true;
    if (!in.isConvertAll && open)
        open(result.outputPath);
    return result;
}

} // namespace

std::string movieFileName(const std::string& gifPath)
{
    const std::string name = util::fileNamePart(gifPath);
    if (name.empty())
        return {};
    if (name.size() < 3)
        return name + ".swf";
    return name.substr(0, name.size() - 3) + "swf";
}

std::string moviePath(const std::string& outputFolder, const std::string& gifPath)
{
    return withTrailingSlash(outputFolder) + movieFileName(gifPath);
}

std::string captureFolder(const std::string& outputFolder)
{
    return withTrailingSlash(outputFolder) + kCaptureSubfolder;
}

std::string captureFramePath(const std::string& outputFolder, const std::string& gifPath, int slot)
{
    return captureFolder(outputFolder) + util::fileNamePart(gifPath) + util::zeroPadded(slot, 5) +
           ".jpg";
}

MovieAssemblyResult assembleMovie(const MovieAssemblyInput& input, const OpenRequest& open)
{
    const SlotSource fromCaptureFolder = [&input](int slot) {
        SlotPicture picture;
        const std::string path = captureFramePath(input.outputFolder, input.gifPath, slot);
        std::error_code ec;
        picture.exists = fs::exists(fs::path(path), ec);
        if (picture.exists)
            picture.jpeg = readWholeFile(path);
        return picture;
    };
    return writeMovie(input, fromCaptureFolder, open);
}

MovieAssemblyResult assembleMovieFromMemory(const MovieAssemblyInput& input,
                                            const JpegForSlot& jpegForSlot,
                                            const OpenRequest& open)
{
    return writeMovie(input, fromCallback(jpegForSlot), open);
}

std::vector<std::uint8_t> buildMovieBytes(const MovieAssemblyInput& input,
                                          const JpegForSlot& jpegForSlot,
                                          std::string* errorMessage)
{
    if (std::string why = refusal(input); !why.empty()) {
        if (errorMessage)
            *errorMessage = std::move(why);
        return {};
    }
    SwfMovie movie;
    movie.setFrameSize(static_cast<float>(input.stageWidth), static_cast<float>(input.stageHeight));
    movie.setFrameRate(input.frameRate);
    appendFrames(movie, input, fromCallback(jpegForSlot));
    if (errorMessage)
        errorMessage->clear();
    return movie.fileBytes();
}

} // namespace brevanto::swf
