#pragma once
// One picture's road through the engine, without any user interface: read the
// file, prepare the working planes and the edge plane, recognise the plates.
// The desktop program and the command-line tool both go through it.

#include "engine/context/recognition_context.h"
#include "engine/find/found_plate.h"
#include "engine/recognise/recognition_result.h"
#include "image/dib.h"

#include <filesystem>

namespace kavro {

// Which reader takes a file. The desktop program decides by the extension
// (and reads nothing for other extensions); the command-line tool by content.
enum class PictureReader { none, bitmap, jpeg, byContent };

// The reader for a path by its exact, case-sensitive extension: the text after
// the last "." ("bmp" or "jpg"), or the whole path when it has no ".".
PictureReader readerForExtension(const std::filesystem::path& path);

// What a picture is read for. The desktop program shows the picture and its
// working planes, so it keeps both. A batch read shows nothing: the pixels of a
// top-down picture are handed to the context instead of copied (the session then
// keeps no picture), and a picture that carries plate corners gets its working
// planes and edge plane only once recogniseCurrent has to search it.
enum class ReadFor { display, batch };

struct PictureSession {
    CDib picture; // empty after a batch read of a top-down picture
    RecognitionContext context;
    RecognitionResult result{}; // at most two plates, as the desktop program shows them
    // Every plate found, in the order the desktop program lists them: those of
    // `result`, the one stored last first, then the other plates found.
    FoundPlates plates;
    // What recogniseCurrent reads the characters with.
    CharacterClassifier classifier = CharacterClassifier::trained;
};

// Reads `path` with `reader` into the session's picture; on success prepares
// the context, computes the edge plane and clears the result. A failed read, or
// a picture the context refuses (its message already shown), leaves everything
// as it was, the corner state of the readers included.
bool readPicture(PictureSession& session, const std::filesystem::path& path, PictureReader reader,
                 ReadFor use = ReadFor::display);

// Lets go of the picture and everything derived from it (the context's
// planes and plate slots are made anew), keeping the result, the plates
// found and the classifier: for a batch that shows nothing again, so that
// two decoded pictures never wait side by side.
void releasePicture(PictureSession& session);

// Recognises the prepared picture again, if there is one, into `result` and
// `plates`; true when it ran. A search of a picture whose planes are pending
// fills them first.
bool recogniseCurrent(PictureSession& session);

} // namespace kavro
