#include "app/driver/picture_folder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <system_error>

namespace kavro {

namespace {

constexpr std::size_t signatureBytes = 2;
constexpr std::array<char, signatureBytes> bitmapSignature = {'B', 'M'};
constexpr std::array<char, signatureBytes> jpegSignature = {'\xFF', '\xD8'};

bool namedAsPicture(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".bmp" || extension == ".jpg" || extension == ".jpeg";
}

// Adds the folder's entries that may be pictures; false when the folder
// itself could not be read.
template <typename Iterator>
bool collect(const std::filesystem::path& folder, std::vector<std::filesystem::path>& pictures) {
    std::error_code error;
    Iterator entry(folder, std::filesystem::directory_options::skip_permission_denied, error);
    if (error) {
        return false;
    }
    for (; entry != Iterator(); entry.increment(error)) {
        std::error_code typeError;
        if (entry->is_regular_file(typeError) && mayBePicture(entry->path())) {
            pictures.push_back(entry->path());
        }
    }
    return true;
}

} // namespace

bool mayBePicture(const std::filesystem::path& file) {
    if (namedAsPicture(file)) {
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return true;
    }
    std::array<char, signatureBytes> start{};
    in.read(start.data(), start.size());
    return start == bitmapSignature || start == jpegSignature;
}

FolderPictures picturesInFolder(const std::filesystem::path& folder, bool recursive) {
    FolderPictures result;
    const bool read =
        recursive ? collect<std::filesystem::recursive_directory_iterator>(folder, result.pictures)
                  : collect<std::filesystem::directory_iterator>(folder, result.pictures);
    if (!read) {
        result.error = "Can not read the folder!";
    }
    std::sort(result.pictures.begin(), result.pictures.end());
    return result;
}

} // namespace kavro
