#pragma once
// What the command line names, as the list of files to read: a file stands for
// itself, a folder for the pictures in it, "-" for the names on standard input,
// one a line.

#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One entry of the list: a file to read, or an entry that failed already (a
// folder that could not be read), with its error.
struct Input {
    std::string path;
    std::optional<std::string> error;
};

// The entries in the order given, each folder's pictures sorted by name (and
// with `recursive` those of its subfolders); `names` is read for each "-".
std::vector<Input> expandInputs(std::span<const std::string> arguments, bool recursive,
                                std::istream& names);
