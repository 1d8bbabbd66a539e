#include "tools/scenegen/gui_application.h"

#include <QGuiApplication>

#include <stdexcept>

void ensureGuiApplication() {
    // Qt keeps references to argc and argv for the application's whole life.
    static int argc = 1;
    static char name[] = "kavro-scenegen";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        // Deliberately never destroyed: Qt's own globals, created after it,
        // are torn down before it at exit, and its destructor would use them.
        new QGuiApplication(argc, argv);
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        throw std::logic_error("drawing plates needs a QGuiApplication, not a QCoreApplication");
    }
}
