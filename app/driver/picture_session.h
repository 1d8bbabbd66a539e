#pragma once
// One picture's road through the engine, without any user interface: read the
// file, prepare the working planes and the edge plane, recognise the plates.
// The desktop program and the command-line tool both go through it.

#include "engine/context/recognition_context.h"
#include "engine/recognise/recognition_result.h"
#include "image/dib.h"

#include <filesystem>

// Which reader takes a file. The desktop program decides by the extension
// (and reads nothing for other extensions); the command-line tool by content.
enum class PictureReader { none, bitmap, jpeg, byContent };

// The reader for a path by its exact, case-sensitive extension: the text after
// the last "." ("bmp" or "jpg"), or the whole path when it has no ".".
PictureReader readerForExtension(const std::filesystem::path& path);

// When the working planes of a picture are filled. The desktop program shows them,
// so it has them filled at once; a batch read needs them only when it searches
// the picture, that is when no plate-corner trailer gives the plate's corners.
enum class WorkingPlanes { always, whenSearched };

struct PictureSession {
    CDib picture;
    RecognitionContext context;
    RecognitionResult result{};
    bool planesPending = false; // the planes are allocated for the picture but not filled
};

// Reads `path` with `reader` into the session's picture; on success prepares
// the context, computes the edge plane and clears the result. A failed read, or
// a picture the context refuses (its message already shown), leaves everything
// as it was, the corner state of the readers included. With
// WorkingPlanes::whenSearched, a picture that carries plate corners gets its
// working planes and edge plane only once recogniseCurrent has to search it.
bool readPicture(PictureSession& session, const std::filesystem::path& path, PictureReader reader,
                 WorkingPlanes planes = WorkingPlanes::always);

// Recognises the prepared picture again, if there is one; true when it ran. A
// search of a picture whose planes are pending fills them first, from the
// session's picture; without that picture (dropped by the caller) nothing runs.
bool recogniseCurrent(PictureSession& session);
