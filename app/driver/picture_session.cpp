#include "app/driver/picture_session.h"

#include "app/driver/recognition_driver.h"
#include "engine/context/edge_plane.h"
#include "image/message_sink.h"
#include "image/plate_corner_trailer.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

namespace kavro {

PictureReader readerForExtension(const std::filesystem::path& path) {
    const std::string text = path.string();
    const std::size_t dot = text.rfind('.');
    const std::string extension = dot == std::string::npos ? text : text.substr(dot + 1);
    if (extension == "bmp") {
        return PictureReader::bitmap;
    }
    if (extension == "jpg") {
        return PictureReader::jpeg;
    }
    return PictureReader::none;
}

namespace {

// The readers' corner state, saved and put back as one.
struct CornerState {
    bool fromTrailer = cornersFromTrailer;
    TrailerCorners corners = trailerCorners;

    void restore() const {
        cornersFromTrailer = fromTrailer;
        trailerCorners = corners;
    }
};

bool looksLikeBitmap(std::span<const std::uint8_t> file) {
    return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

bool load(CDib& picture, const std::filesystem::path& path, PictureReader reader) {
    switch (reader) {
    case PictureReader::bitmap:
        return picture.LoadBmp(path);
    case PictureReader::jpeg:
        return picture.LoadJpeg(path);
    case PictureReader::byContent: {
        const std::optional<std::vector<std::uint8_t>> file = readWholeFile(path);
        if (!file) {
            return false;
        }
        return looksLikeBitmap(*file) ? picture.LoadBmpData(*file) : picture.LoadJpegData(*file);
    }
    case PictureReader::none:
        break;
    }
    return false;
}

void computeEdge(RecognitionContext& context) {
    computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                     context.planeWidth);
}

} // namespace

// The picture is read aside and adopted only once the context has taken it, so a
// picture that the context refuses (too narrow for its height) changes nothing.
bool readPicture(PictureSession& session, const std::filesystem::path& path, PictureReader reader,
                 ReadFor use) {
    const CornerState previousCorners;
    CDib picture;
    if (!load(picture, path, reader)) {
        return false;
    }
    RecognitionContext& context = session.context;
    const bool handOver = use == ReadFor::batch && !picture.IsBottomUp();
    try {
        if (handOver) {
            const int width = picture.GetWidth();
            const int height = picture.GetHeight();
            context.adoptImage(picture.TakePixels(), width, height,
                               cornersFromTrailer ? RecognitionContext::PlaneFill::later
                                                  : RecognitionContext::PlaneFill::now);
        } else {
            context.prepareImage(picture.GetPixels(), picture.GetWidth(), picture.GetHeight(),
                                 picture.IsBottomUp());
        }
    } catch (const std::invalid_argument& refusal) {
        previousCorners.restore(); // the refused file's trailer must not apply
        showMessage(refusal.what());
        return false;
    } catch (...) {
        previousCorners.restore(); // out of memory: the caller reports it
        throw;
    }
    if (!context.planesPending()) {
        computeEdge(context);
    }
    session.picture = std::move(picture);
    session.result = {};
    session.plates.clear();
    return true;
}

void releasePicture(PictureSession& session) {
    session.picture = CDib{};
    session.context = RecognitionContext{};
}

bool recogniseCurrent(PictureSession& session) {
    RecognitionContext& context = session.context;
    if (!context.colourPlane) {
        return false;
    }
    if (context.planesPending() && !cornersFromTrailer) {
        context.convertPlanes();
        computeEdge(context);
    }
    context.characterClassifier = session.classifier;
    session.plates = findPlates(context, session.result);
    const auto listedFirst =
        std::min<std::ptrdiff_t>(session.result.count, std::ssize(session.plates));
    std::reverse(session.plates.begin(), session.plates.begin() + listedFirst);
    return true;
}

} // namespace kavro
