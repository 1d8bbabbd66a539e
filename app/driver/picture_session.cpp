#include "app/driver/picture_session.h"

#include "app/driver/recognition_driver.h"
#include "engine/context/edge_plane.h"

#include <optional>

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

} // namespace

bool readPicture(PictureSession& session, const std::filesystem::path& path, PictureReader reader) {
    if (!load(session.picture, path, reader)) {
        return false;
    }
    const CDib& picture = session.picture;
    RecognitionContext& context = session.context;
    context.prepareImage(picture.GetPixels(), picture.GetWidth(), picture.GetHeight(),
                         picture.IsBottomUp());
    computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                     context.planeWidth);
    session.result = {};
    return true;
}

bool recogniseCurrent(PictureSession& session) {
    if (!session.context.colourPlane) {
        return false;
    }
    recognisePlates(session.context, session.result);
    return true;
}
