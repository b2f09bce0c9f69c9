#pragma once

// Turns the numbered JPEG pictures of one captured GIF into one SWF movie.
//
// The movie has one frame per 100 ms slot of the GIF's timeline. A slot with a picture embeds it
// (DefineBitsJPEG2, id 2n + 2) and shows it; a slot without one shows the most recent picture
// again. Every frame is a stage-sized rectangle (DefineShape3, id 2n + 1, depth n + 1) filled
// with the current picture scaled from the GIF's own size onto the stage, on a white background.
//
// Three ways in, one algorithm (MovieBuilder):
//   - assembleMovie reads the pictures from the capture folder below the output folder
//     ("tolvane_brevanto/Temp/<gif file name><slot, 5 digits>.jpg");
//   - assembleMovieFromMemory takes them from a callback, so a caller that holds the JPEG bytes
//     in memory gets the very same movie bytes without capture files on disk;
//   - MovieBuilder takes them slot by slot from a caller that makes them as it goes, which then
//     never holds more than one picture besides the movie itself.
// Calls on different threads are independent (no shared state).
// Both write the movie atomically: a temporary file in the output folder is written, flushed and
// renamed over "<output folder><gif file name with its last three characters replaced by swf>".
// On any failure the previous movie (if any) is left untouched, no partial file stays behind,
// the open request is not made, and the result carries a message fit to show to the user.
//
// Nothing here throws; no Qt.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brevanto::swf {

// Stage sides outside 1..kMaxStageSide pixels cannot be stored in the movie header (16-bit twips).
inline constexpr int kMaxStageSide = 1638;
// Character ids are 16 bits; slot n uses ids 2n + 1 and 2n + 2, so at most this many slots fit.
inline constexpr int kMaxSlotCount = 32767;

struct MovieAssemblyInput {
    std::string gifPath;        // the GIF being converted; its file-name part names the movie
    std::string outputFolder;   // ends with "/"; must exist
    int stageWidth = 0;         // movie stage in pixels, 1..kMaxStageSide
    int stageHeight = 0;
    int sourceWidth = 0;        // the GIF's own size, at which the pictures were captured (>= 1)
    int sourceHeight = 0;
    int frameRate = 10;         // whole frames per second; only the low 8 bits are stored
    int slotCount = 0;          // number of 100 ms slots = movie frames, 0..kMaxSlotCount
    bool isConvertAll = false;  // true while converting every listed file: nothing is opened
};

struct MovieAssemblyResult {
    bool ok = false;
    std::string outputPath;     // the movie's path (filled whenever it could be computed)
    std::string errorMessage;   // empty when ok; otherwise a sentence to show to the user
};

// Asked to "open" the finished movie (shell open, shown normally). Called only for a single-file
// conversion (isConvertAll false) and only after the movie has been written completely.
using OpenRequest = std::function<void(const std::string& moviePath)>;

// The JPEG file bytes captured for slot n, or std::nullopt when no picture starts at that slot.
using JpegForSlot = std::function<std::optional<std::vector<std::uint8_t>>(int slot)>;

// Reads the pictures from the capture folder below input.outputFolder. A capture file that exists
// but cannot be read embeds nothing, yet its slot's bitmap id becomes the current one, as for any
// captured picture.
MovieAssemblyResult assembleMovie(const MovieAssemblyInput& input, const OpenRequest& open = {});

// Takes the pictures from jpegForSlot (called once per slot, in slot order, from 0 to
// slotCount - 1). Gives byte-identical movies to assembleMovie for the same pictures.
MovieAssemblyResult assembleMovieFromMemory(const MovieAssemblyInput& input,
                                            const JpegForSlot& jpegForSlot,
                                            const OpenRequest& open = {});

// The finished movie file's bytes, built without writing anything. An empty vector when the input
// is refused; errorMessage (if given) then receives the reason.
std::vector<std::uint8_t> buildMovieBytes(const MovieAssemblyInput& input,
                                          const JpegForSlot& jpegForSlot,
                                          std::string* errorMessage = nullptr);

// Builds one movie slot by slot. Each picture is copied into the movie's tag stream when its slot
// is added, so the caller may let it go at once. Gives the same bytes, checks and messages as
// assembleMovieFromMemory for the same pictures.
class MovieBuilder {
public:
    // Takes everything from input but slotCount: slots are counted as they are added.
    explicit MovieBuilder(const MovieAssemblyInput& input);
    ~MovieBuilder();
    MovieBuilder(MovieBuilder&&) noexcept;
    MovieBuilder& operator=(MovieBuilder&&) noexcept;
    MovieBuilder(const MovieBuilder&) = delete;
    MovieBuilder& operator=(const MovieBuilder&) = delete;

    // Adds the next slot with the JPEG file bytes of the picture that starts there.
    void addSlot(std::span<const std::uint8_t> jpeg);
    // Adds the next slot without a picture: it shows the most recent one again.
    void addEmptySlot();
    // Adds the next slot for a picture whose bytes could not be read: nothing is embedded, yet
    // the slot's bitmap id becomes the current one.
    void addUnreadableSlot();
    // Adds empty slots until there are `count`.
    void padTo(int count);

    int slotCount() const;
    // False once the movie is sure to be refused (its sizes, its name, or more than kMaxSlotCount
    // slots): slots are then only counted, so a caller may stop making pictures.
    bool accepting() const;

    // Writes the movie as assembleMovieFromMemory does: atomically, with the same checks.
    MovieAssemblyResult write(const OpenRequest& open = {});
    // The finished file's bytes, as buildMovieBytes gives them.
    std::vector<std::uint8_t> fileBytes(std::string* errorMessage = nullptr) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Names shared with the frame capture.
// "<gif file name minus its last three characters>swf" (a name shorter than three characters
// gets ".swf" appended); empty when the GIF path has no file-name part.
std::string movieFileName(const std::string& gifPath);
// outputFolder + movieFileName(gifPath).
std::string moviePath(const std::string& outputFolder, const std::string& gifPath);
// outputFolder + "tolvane_brevanto/Temp/".
std::string captureFolder(const std::string& outputFolder);
// captureFolder(outputFolder) + <gif file name> + zeroPadded(slot, 5) + ".jpg".
std::string captureFramePath(const std::string& outputFolder, const std::string& gifPath, int slot);

} // namespace brevanto::swf
