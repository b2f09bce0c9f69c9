#include "swf/SwfMovie.h"

#include "swf/SwfBitWriter.h"
#include "swf/SwfTagCode.h"

#include <array>

namespace brevanto::swf {

namespace {

constexpr std::array<std::uint8_t, 3> kSignature{'F', 'W', 'S'};
constexpr std::array<std::uint8_t, 2> kEndTag{0x00, 0x00};

} // namespace

SwfMovie::SwfMovie() : m_frameSize(0, 0, 200.0f, 200.0f) {}

SwfMovie::~SwfMovie() = default;

bool SwfMovie::open(const std::string& path, float width, float height, int framesPerSecond)
{
    if (m_file)
        return false;
    m_file = util::openFile(path, "wb");
    if (!m_file)
        return false;
    setFrameSize(width, height);
    setFrameRate(framesPerSecond);
    return true;
}

void SwfMovie::setFrameSize(float width, float height)
{
    m_frameSize = SwfRect(0, 0, width, height);
}

void SwfMovie::setFrameRate(int framesPerSecond)
{
    m_frameRate = static_cast<std::uint16_t>((framesPerSecond & 0xFF) << 8);
}

void SwfMovie::setBackgroundColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    std::vector<std::uint8_t> tag;
    appendU16(tag, shortTagHeader(SwfTagCode::SetBackgroundColor, 3));
    appendU8(tag, r);
    appendU8(tag, g);
    appendU8(tag, b);
    m_tags.append(tag);
}

void SwfMovie::addCharacter(SwfCharacter& character, std::uint16_t depth, bool place)
{
    m_tags.append(character.tagBytes());
    if (place && character.kind() != SwfCharacter::Kind::Bitmap)
        placeObject(character, depth);
}

void SwfMovie::placeObject(const SwfCharacter& character, std::uint16_t depth)
{
    constexpr std::uint8_t kHasMatrix = 0x04;
    constexpr std::uint8_t kHasCharacter = 0x02;
    const std::vector<std::uint8_t> matrix = character.placementMatrix().encode();
    std::vector<std::uint8_t> tag;
    appendU16(tag, longTagHeader(SwfTagCode::PlaceObject2));
    appendU32(tag, static_cast<std::uint32_t>(5 + matrix.size()));
    appendU8(tag, kHasMatrix | kHasCharacter);
    appendU16(tag, depth);
    appendU16(tag, character.id());
    appendBytes(tag, matrix);
    m_tags.append(tag);
}

void SwfMovie::addTag(std::span<const std::uint8_t> tag)
{
    m_tags.append(tag);
}

void SwfMovie::showFrame()
{
    std::vector<std::uint8_t> tag;
    appendU16(tag, shortTagHeader(SwfTagCode::ShowFrame, 0));
    m_tags.append(tag);
    ++m_frameCount;
}

std::vector<std::uint8_t> SwfMovie::header() const
{
    const std::vector<std::uint8_t> rect = m_frameSize.encode();
    const std::size_t fileLength = m_tags.size() + rect.size() + 14;
    std::vector<std::uint8_t> out;
    appendBytes(out, kSignature);
    appendU8(out, kVersion);
    appendU32(out, static_cast<std::uint32_t>(fileLength));
    appendBytes(out, rect);
    appendU16(out, m_frameRate);
    appendU16(out, m_frameCount);
    return out;
}

std::vector<std::uint8_t> SwfMovie::fileBytes() const
{
    std::vector<std::uint8_t> out = header();
    out.reserve(out.size() + m_tags.size() + kEndTag.size());
    for (const auto& block : m_tags.blocks())
        appendBytes(out, block);
    appendBytes(out, kEndTag);
    return out;
}

bool SwfMovie::writeTo(std::FILE* file) const
{
    bool ok = util::writeAll(file, header());
    for (const auto& block : m_tags.blocks())
        ok = ok && util::writeAll(file, block);
    return ok && util::writeAll(file, kEndTag);
}

bool SwfMovie::close()
{
    if (!m_file)
        return false;
    std::FILE* file = m_file.get();
    bool ok = std::fseek(file, 0, SEEK_SET) == 0 && writeTo(file);
    // Durable before a caller renames the file into place.
    ok = ok && util::flushToDevice(file);
    const bool closed = std::fclose(m_file.release()) == 0;
    return ok && closed;
}

} // namespace brevanto::swf
