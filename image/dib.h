#pragma once
// CDib: the picture that was read last, 24-bit pixels (blue, green, red) in
// rows without padding. Bitmap files give the rows bottom row first, JPEG files
// top row first. A failed read leaves the previous picture untouched.

#include "image/picture_limits.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kavro {

class CDib {
public:
    // Read a file; on failure a message goes to the thread's message sink and
    // false is returned. The ...Data forms read a file already in memory.
    bool LoadBmp(const std::filesystem::path& path);
    bool LoadJpeg(const std::filesystem::path& path);
    bool LoadBmpData(std::span<const std::uint8_t> file);
    bool LoadJpegData(std::span<const std::uint8_t> file);

    const std::uint8_t* GetBits() const { return m_pBits.get(); }
    std::span<const std::uint8_t> GetPixels() const { return {m_pBits.get(), PixelBytes()}; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    std::uint16_t GetBitCount() const { return m_nBitCount; }
    std::uint32_t GetCompression() const { return m_nCompression; }
    std::span<const std::uint8_t> GetInfo() const { return {m_pInfo.get(), m_nInfoSize}; }
    // True when the first row of the pixels is the bottom row of the picture.
    bool IsBottomUp() const { return m_bBottomUp; }

    // Hands the pixel buffer to the caller; the CDib holds no picture afterwards.
    std::unique_ptr<std::uint8_t[]> TakePixels();

    // A complete picture produced by a reader, adopted as a whole.
    struct Picture {
        std::unique_ptr<std::uint8_t[]> info;
        std::size_t infoSize = 0;
        std::unique_ptr<std::uint8_t[]> bits;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::uint16_t bitCount = 0;
        std::uint32_t compression = 0;
        bool bottomUp = false;
    };

private:
    void Adopt(Picture picture);
    std::size_t PixelBytes() const {
        return static_cast<std::size_t>(m_nWidth) * static_cast<std::size_t>(m_nHeight) * 3;
    }

    std::unique_ptr<std::uint8_t[]> m_pInfo;
    std::size_t m_nInfoSize = 0;
    std::unique_ptr<std::uint8_t[]> m_pBits;
    std::int32_t m_nWidth = 0;
    std::int32_t m_nHeight = 0;
    std::uint16_t m_nBitCount = 0;
    std::uint32_t m_nCompression = 0;
    bool m_bBottomUp = false;
};

// The whole file, or nothing after the message "Can not open the file!".
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path);

} // namespace kavro
