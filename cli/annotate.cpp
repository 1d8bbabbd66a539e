#include "annotate.h"

#include "app/drawing/plate_marks.h"
#include "image/dib.h"
#include "image/jpeg_quality.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>
#include <new>
#include <set>
#include <system_error>

using namespace kavro;

namespace {

// Qt keeps references to the arguments for the application's whole life.
int applicationArgc = 1;
char applicationName[] = "kavro-cli";
char* applicationArgv[] = {applicationName, nullptr};

// Qt's own notes (such as a missing runtime folder) are no business of the tool's
// user; its failures are, and the tool reports those itself. Only Qt's critical
// messages pass.
void keepCriticalMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "kavro-cli: %s\n", qPrintable(message));
    }
}

QString qtPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray(path.c_str()));
}

std::string shown(const std::filesystem::path& path) {
    return path.string();
}

// The file's format for the annotated picture: JPEG (with its quality, if it
// tells it) when the file is a JPEG file, PNG otherwise.
struct AnnotatedFormat {
    const char* suffix;
    const char* qtFormat;
    int quality; // -1: the format's default
};

AnnotatedFormat outputFormatOf(const std::filesystem::path& source) {
    constexpr AnnotatedFormat png{".png", "PNG", -1};
    const std::optional<std::vector<std::uint8_t>> file = readWholeFile(source);
    const bool jpeg = file && file->size() >= 2 && (*file)[0] == 0xFF && (*file)[1] == 0xD8;
    if (!jpeg) {
        return png;
    }
    return {".jpg", "JPG", jpegQuality(*file).value_or(defaultJpegQuality)};
}

std::optional<std::string> folderProblem(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create the folder " + shown(folder) + ": " + error.message();
    }
    QTemporaryFile probe(QDir(qtPath(folder)).filePath(QStringLiteral(".kavro-XXXXXX")));
    if (!probe.open()) {
        return "cannot write in the folder " + shown(folder) + ": " +
               probe.errorString().toStdString();
    }
    return std::nullopt;
}

QByteArray encoded(const QImage& image, const AnnotatedFormat& format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) ||
        !image.save(&buffer, format.qtFormat, format.quality)) {
        return {};
    }
    return bytes;
}

std::optional<std::string> writeFile(const std::filesystem::path& target, const QByteArray& bytes) {
    QSaveFile file(qtPath(target));
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
        return std::nullopt;
    }
    return "cannot write the annotated picture " + shown(target) + ": " +
           file.errorString().toStdString();
}

} // namespace

std::vector<std::string> annotationNames(std::span<const Input> inputs) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const Input& input : inputs) {
        const std::string stem = std::filesystem::path(input.path).stem().string();
        std::string name = stem;
        for (int copy = 2; taken.contains(name); ++copy) {
            name = stem + "-" + std::to_string(copy);
        }
        taken.insert(name);
        names.push_back(name);
    }
    return names;
}

AnnotationRun::AnnotationRun(std::filesystem::path folder, std::span<const Input> inputs)
    : m_folder(std::move(folder)), m_names(annotationNames(inputs)) {
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // draws without a display
        qInstallMessageHandler(keepCriticalMessages);
        m_application = std::make_unique<QGuiApplication>(applicationArgc, applicationArgv);
    }
    m_folderError = folderProblem(m_folder);
}

AnnotationRun::~AnnotationRun() = default;

std::optional<std::string> AnnotationRun::write(std::size_t index,
                                                const std::filesystem::path& source,
                                                const PictureSession& session) const {
    if (m_folderError) {
        return std::nullopt; // told once, for the whole run
    }
    try {
        const AnnotatedFormat format = outputFormatOf(source);
        const std::filesystem::path target = m_folder / (m_names.at(index) + format.suffix);
        std::error_code error;
        if (std::filesystem::equivalent(source, target, error)) {
            return "will not write the annotated picture over the picture " + shown(source);
        }
        const QByteArray bytes = encoded(
            annotatedPicture(pictureImage(session.context.source()), session.plates), format);
        if (bytes.isEmpty()) {
            return "cannot encode the annotated picture " + shown(target);
        }
        return writeFile(target, bytes);
    } catch (const std::bad_alloc&) {
        return "out of memory for the annotated picture";
    }
}
