#include "picture_folder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <string>

namespace {

bool startsLikeAPicture(const std::filesystem::path& file) {
    std::array<char, 2> start{};
    std::ifstream stream(file, std::ios::binary);
    if (!stream.read(start.data(), start.size())) {
        return false;
    }
    const bool bitmap = start[0] == 'B' && start[1] == 'M';
    const bool jpeg = start[0] == '\xFF' && start[1] == '\xD8';
    return bitmap || jpeg;
}

bool namedAsAPicture(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".bmp" || extension == ".jpg" || extension == ".jpeg";
}

} // namespace

std::vector<std::filesystem::path> picturesInFolder(const std::filesystem::path& folder,
                                                    std::error_code& error) {
    std::vector<std::filesystem::path> pictures;
    std::filesystem::directory_iterator entries(folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::filesystem::path& file = entries->path();
        std::error_code typeError;
        if (entries->is_regular_file(typeError) &&
            (namedAsAPicture(file) || startsLikeAPicture(file))) {
            pictures.push_back(file);
        }
    }
    if (error) {
        return {};
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}
