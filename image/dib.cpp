#include "image/dib.h"

#include "image/message_sink.h"

#include <fstream>
#include <utility>

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

bool CDib::LoadBmp(const std::filesystem::path& path) {
    const auto file = readWholeFile(path);
    return file && LoadBmpData(*file);
}

bool CDib::LoadJpeg(const std::filesystem::path& path) {
    const auto file = readWholeFile(path);
    return file && LoadJpegData(*file);
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::error_code error;
    if (!in || std::filesystem::is_directory(path, error)) {
        showMessage("Can not open the file!");
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(in.tellg());
    std::vector<std::uint8_t> bytes(size);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        showMessage("Can not read the file!");
        return std::nullopt;
    }
    return bytes;
}
