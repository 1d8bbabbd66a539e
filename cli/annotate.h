#pragma once
// kavro-cli --annotate DIR: each picture read, written into DIR with its plates
// outlined and labelled at its own resolution: DIR/<name>.jpg at the input's
// quality for a JPEG file, DIR/<name>.png for any other.

#include "app/driver/picture_session.h"
#include "inputs.h"

#include <QGuiApplication>

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The names the annotated pictures of `inputs` take, without extension: each
// file's name without its extension; a name an earlier input took gets "-2",
// "-3" and so on, so that no picture of the run replaces another.
std::vector<std::string> annotationNames(std::span<const Input> inputs);

// The quality of annotated JPEG pictures whose input does not tell its own.
inline constexpr int defaultJpegQuality = 90;

class AnnotationRun {
public:
    // Starts the drawing (text needs a QGuiApplication; it runs off-screen)
    // and makes `folder` if it does not exist. Belongs on the main thread.
    AnnotationRun(std::filesystem::path folder, std::span<const Input> inputs);
    ~AnnotationRun();

    // Why nothing can be written: the folder cannot be made or written in.
    const std::optional<std::string>& folderError() const { return m_folderError; }

    // Writes the annotated picture of input `index`, just read into `session`
    // from `source`; the error if it could not be written. Never throws; any
    // thread may call it.
    std::optional<std::string> write(std::size_t index, const std::filesystem::path& source,
                                     const kavro::PictureSession& session) const;

private:
    std::unique_ptr<QGuiApplication> m_application;
    std::filesystem::path m_folder;
    std::vector<std::string> m_names;
    std::optional<std::string> m_folderError;
};
