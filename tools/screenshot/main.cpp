// kavro-screenshot PICTURE OUT.png: the desktop program's window with PICTURE
// read, drawn off-screen, as `make screenshot` puts it into the README. The
// program's settings are kept in a scratch folder, the user's are not touched.

#include "app/desktop/kavro_app.h"
#include "app/desktop/main_frame.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kavro-screenshot PICTURE OUT.png\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    QApplication application(argc, argv);
    CKavroApp app;
    if (!app.InitInstance({QFile::decodeName(argv[1])})) {
        return 1;
    }
    QApplication::processEvents(); // the layout and the status bar's idle text settle
    const QImage window = app.Frame().grab().toImage();
    return window.save(QFile::decodeName(argv[2]), "PNG") ? 0 : 1;
}
