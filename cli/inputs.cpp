#include "inputs.h"

#include "app/driver/picture_folder.h"

#include <filesystem>
#include <system_error>

using namespace kavro;

namespace {

constexpr std::string_view standardInput = "-";

void addEntry(const std::string& path, bool recursive, std::vector<Input>& inputs) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        inputs.push_back({path, std::nullopt});
        return;
    }
    const FolderPictures folder = picturesInFolder(path, recursive);
    if (folder.error) {
        inputs.push_back({path, folder.error});
    }
    for (const std::filesystem::path& picture : folder.pictures) {
        inputs.push_back({picture.string(), std::nullopt});
    }
}

void addNames(std::istream& names, bool recursive, std::vector<Input>& inputs) {
    std::string line;
    while (std::getline(names, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            addEntry(line, recursive, inputs);
        }
    }
}

} // namespace

std::vector<Input> expandInputs(std::span<const std::string> arguments, bool recursive,
                                std::istream& names) {
    std::vector<Input> inputs;
    for (const std::string& argument : arguments) {
        if (argument == standardInput) {
            addNames(names, recursive, inputs);
        } else {
            addEntry(argument, recursive, inputs);
        }
    }
    return inputs;
}
