#pragma once
// The pictures of a folder, for reading a whole folder at once.

#include <filesystem>
#include <system_error>
#include <vector>

// The folder's regular files (not those of its sub-folders) that start like a
// BMP or a JPEG file, or whose extension names one (bmp, jpg, jpeg in any case),
// so that a damaged picture is reported rather than skipped; sorted by name.
// Sets `error` and returns nothing when the folder cannot be listed.
std::vector<std::filesystem::path> picturesInFolder(const std::filesystem::path& folder,
                                                    std::error_code& error);
