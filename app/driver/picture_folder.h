#pragma once
// The pictures a folder holds: what a batch read of a folder takes, in the
// command-line tool and in the desktop program.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kavro {

// True when the file starts as a BMP ("BM") or a JPEG (0xFF 0xD8) file does,
// or its extension names one (bmp, jpg, jpeg in any case), or it cannot be
// opened: a damaged or unreadable picture is then reported rather than skipped.
bool mayBePicture(const std::filesystem::path& file);

struct FolderPictures {
    std::vector<std::filesystem::path> pictures; // sorted by path
    std::optional<std::string> error;            // set when the folder could not be read
};

// The regular files of `folder` that may be pictures, sorted by path; with
// `recursive` those of its subfolders as well.
FolderPictures picturesInFolder(const std::filesystem::path& folder, bool recursive);

} // namespace kavro
