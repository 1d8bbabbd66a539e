#include "image/dib.h"

#include "image/message_sink.h"

#include <algorithm>
#include <fstream>
#include <utility>

namespace kavro {

void CDib::Adopt(Picture picture) {
    m_pInfo = std::move(picture.info);
    m_nInfoSize = picture.infoSize;
    m_pBits = std::move(picture.bits);
    m_nWidth = picture.width;
    m_nHeight = picture.height;
    m_nBitCount = picture.bitCount;
    m_nCompression = picture.compression;
    m_bBottomUp = picture.bottomUp;
}

std::unique_ptr<std::uint8_t[]> CDib::TakePixels() {
    std::unique_ptr<std::uint8_t[]> pixels = std::move(m_pBits);
    Adopt(Picture{});
    return pixels;
}

bool CDib::LoadBmp(const std::filesystem::path& path) {
    const auto file = readWholeFile(path);
    return file && LoadBmpData(*file);
}

bool CDib::LoadJpeg(const std::filesystem::path& path) {
    const auto file = readWholeFile(path);
    return file && LoadJpegData(*file);
}

// Only regular files are read: opening a pipe would wait for a writer for ever, and
// devices and folders hold no picture.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        showMessage("Can not open the file!");
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        showMessage("Can not open the file!");
        return std::nullopt;
    }
    const std::streamoff end = in.tellg();
    const auto size = static_cast<std::size_t>(std::max<std::streamoff>(end, 0));
    std::vector<std::uint8_t> bytes(size);
    in.seekg(0);
    if (end < 0 ||
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        showMessage("Can not read the file!");
        return std::nullopt;
    }
    return bytes;
}

} // namespace kavro
