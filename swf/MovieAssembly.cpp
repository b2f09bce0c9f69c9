#include "swf/MovieAssembly.h"

#include "swf/SwfJpegBitmap.h"
#include "swf/SwfMovie.h"
#include "swf/SwfShape.h"
#include "util/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
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

// Why the movie cannot go to its place (no output folder, or it would replace the file being
// converted); an empty text when it can.
std::string destinationProblem(const MovieAssemblyInput& in, const std::string& folder,
                               const std::string& outputPath)
{
    if (folder.empty() || !util::isDirectory(folder))
        return "The output folder \"" + in.outputFolder + "\" does not exist.";
    std::error_code ec;
    if (fs::equivalent(fs::path(outputPath), fs::path(in.gifPath), ec) && !ec)
        return "The movie \"" + outputPath +
               "\" would replace the file being converted; nothing was written.";
    return {};
}

// Sets result.outputPath; false with result.errorMessage set when the movie cannot be made from
// the input (slotCount included) or cannot go to its place.
bool passesChecks(const MovieAssemblyInput& in, MovieAssemblyResult& result)
{
    const std::string folder = withTrailingSlash(in.outputFolder);
    result.outputPath = moviePath(folder, in.gifPath);
    std::string why = refusal(in);
    if (why.empty())
        why = destinationProblem(in, folder, result.outputPath);
    result.errorMessage = std::move(why);
    return result.errorMessage.empty();
}

// Adds the input's slotCount slots, asking the source for each in slot order.
void addSlots(MovieBuilder& builder, const MovieAssemblyInput& in, const SlotSource& source)
{
    for (int n = 0; n < in.slotCount; ++n) {
        const SlotPicture picture = source(n);
        if (!picture.exists)
            builder.addEmptySlot();
        else if (picture.jpeg)
            builder.addSlot(*picture.jpeg);
        else
            builder.addUnreadableSlot();
    }
}

MovieAssemblyResult writeMovie(const MovieAssemblyInput& in, const SlotSource& source,
                               const OpenRequest& open)
{
    // Checked before any picture is asked for (and again by MovieBuilder::write).
    MovieAssemblyResult result;
    if (!passesChecks(in, result))
        return result;
    MovieBuilder builder(in);
    addSlots(builder, in, source);
    return builder.write(open);
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
    MovieBuilder builder(input);
    addSlots(builder, input, fromCallback(jpegForSlot));
    return builder.fileBytes(errorMessage);
}

struct MovieBuilder::State {
    MovieAssemblyInput input;  // slotCount unused
    bool refused = false;      // by the sizes or the name, whatever the slots
    int slots = 0;
    std::uint16_t currentBitmapId = kFirstBitmapId;
    SwfMovie movie;

    bool accepting() const { return !refused && slots <= kMaxSlotCount; }

    // Slot n: its picture (when one starts there), then a stage-sized rectangle filled with the
    // current picture, placed at depth n + 1, then the frame is shown.
    void add(bool pictureStarts, const std::span<const std::uint8_t>* jpeg)
    {
        const int n = slots;
        if (slots < std::numeric_limits<int>::max())
            ++slots;
        if (refused || n >= kMaxSlotCount)
            return;  // the movie is refused anyway: only counted
        const auto bitmapId = static_cast<std::uint16_t>(2 * n + 2);
        const auto shapeId = static_cast<std::uint16_t>(2 * n + 1);
        const auto depth = static_cast<std::uint16_t>(n + 1);
        if (pictureStarts) {
            if (jpeg) {
                SwfJpegBitmap bitmap(bitmapId, *jpeg);
                movie.addCharacter(bitmap, 0, false);
            }
            currentBitmapId = bitmapId;
        }

        // The picture is scaled from the GIF's own size onto the stage; with equal sizes this
        // is a fill scale of exactly 20.
        const auto stageW = static_cast<float>(input.stageWidth);
        const auto stageH = static_cast<float>(input.stageHeight);
        SwfShape shape(shapeId, 0, 0, stageW, stageH, depth);
        shape.addLineStyle(0, 0, 0, 0, 0);
        shape.addBitmapFill(currentBitmapId, SwfShape::kClippedBitmap, 0, 0,
                            static_cast<float>(input.sourceWidth),
                            static_cast<float>(input.sourceHeight), 0, 0, stageW, stageH);
        shape.styleChange(1, 1, 0, SwfShape::Point{0, 0});
        shape.straightEdge(stageW, 0);
        shape.straightEdge(0, stageH);
        shape.straightEdge(-stageW, 0);
        shape.straightEdge(0, -stageH);
        movie.addCharacter(shape, depth, true);
        movie.showFrame();
    }

    MovieAssemblyInput counted() const
    {
        MovieAssemblyInput in = input;
        in.slotCount = slots;
        return in;
    }
};

MovieBuilder::MovieBuilder(const MovieAssemblyInput& input) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.input = input;
    s.input.slotCount = 0;
    s.refused = !refusal(s.input).empty();
    if (s.refused)
        return;
    s.movie.setFrameSize(static_cast<float>(input.stageWidth), static_cast<float>(input.stageHeight));
    s.movie.setFrameRate(input.frameRate);
    s.movie.setBackgroundColor(255, 255, 255);
}

MovieBuilder::~MovieBuilder() = default;
MovieBuilder::MovieBuilder(MovieBuilder&&) noexcept = default;
MovieBuilder& MovieBuilder::operator=(MovieBuilder&&) noexcept = default;

void MovieBuilder::addSlot(std::span<const std::uint8_t> jpeg)
{
    m_state->add(true, &jpeg);
}

void MovieBuilder::addEmptySlot()
{
    m_state->add(false, nullptr);
}

void MovieBuilder::addUnreadableSlot()
{
    m_state->add(true, nullptr);
}

void MovieBuilder::padTo(int count)
{
    State& s = *m_state;
    while (s.slots < count && s.accepting() && s.slots < kMaxSlotCount)
        s.add(false, nullptr);
    s.slots = std::max(s.slots, count);  // beyond what a movie holds: only counted
}

int MovieBuilder::slotCount() const
{
    return m_state->slots;
}

bool MovieBuilder::accepting() const
{
    return m_state->accepting();
}

MovieAssemblyResult MovieBuilder::write(const OpenRequest& open)
{
    State& s = *m_state;
    const MovieAssemblyInput in = s.counted();
    MovieAssemblyResult result;
    if (!passesChecks(in, result))
        return result;
    const std::string folder = withTrailingSlash(in.outputFolder);

    int error = 0;
    const std::string temporary = createTemporaryFile(folder, movieFileName(in.gifPath), error);
    if (temporary.empty()) {
        result.errorMessage = "The movie could not be written to the folder \"" + folder +
                              "\": " + reasonText(error) + ".";
        return result;
    }
    if (!s.movie.open(temporary, static_cast<float>(in.stageWidth),
                      static_cast<float>(in.stageHeight), in.frameRate)) {
        error = errno;
        removeQuietly(temporary);
        result.errorMessage = "The movie could not be written to the folder \"" + folder +
                              "\": " + reasonText(error) + ".";
        return result;
    }
    errno = 0;
    if (!s.movie.close()) {
        error = errno;
        removeQuietly(temporary);
        result.errorMessage = "The movie \"" + result.outputPath + "\" could not be written: " +
                              reasonText(error) + ". Any earlier movie of that name was kept.";
        return result;
    }
    std::error_code ec;
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

std::vector<std::uint8_t> MovieBuilder::fileBytes(std::string* errorMessage) const
{
    if (std::string why = refusal(m_state->counted()); !why.empty()) {
        if (errorMessage)
            *errorMessage = std::move(why);
        return {};
    }
    if (errorMessage)
        errorMessage->clear();
    return m_state->movie.fileBytes();
}

} // namespace brevanto::swf
