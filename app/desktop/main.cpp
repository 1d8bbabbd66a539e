// kavro: the desktop program.

#include "app/desktop/kavro_app.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CKavroApp app;
    if (!app.InitInstance(QApplication::arguments().mid(1))) {
        return 1;
    }
    return QApplication::exec();
}
