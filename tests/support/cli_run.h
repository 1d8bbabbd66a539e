#pragma once
// Runs kavro-cli (the program KAVRO_CLI names) as a user would, and collects
// what it prints.

#include "support/temp_path.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

struct CliRun {
    int status;
    std::vector<std::string> lines;  // standard output
    std::vector<std::string> errors; // standard error
};

inline std::vector<std::string> linesOf(std::istream& in) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Runs kavro-cli with `arguments` and, when given, `input` on standard input.
inline CliRun runCli(const std::string& arguments, const std::string& input = "") {
    const std::filesystem::path errorFile = tempPath("kavro-cli-stderr");
    const std::string feed = input.empty() ? "" : "printf '" + input + "' | ";
    const std::string command =
        feed + std::string(KAVRO_CLI) + " " + arguments + " 2>" + errorFile.string();
    FILE* pipe = popen(command.c_str(), "r");
    CliRun run{};
    std::string line;
    std::array<char, 4096> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe)) {
        line += buffer.data();
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            run.lines.push_back(line);
            line.clear();
        }
    }
    run.status = WEXITSTATUS(pclose(pipe));
    std::ifstream errors(errorFile);
    run.errors = linesOf(errors);
    std::filesystem::remove(errorFile);
    return run;
}
