#pragma once
// Paths for a test's files in the system's temporary folder. The process id is
// part of every name, so that test programs running at the same time (several
// builds of the project on one machine) never share, or remove, each other's files.

#include <filesystem>
#include <string>

#include <unistd.h>

inline std::filesystem::path tempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           (name + "-" + std::to_string(static_cast<long>(getpid())));
}
