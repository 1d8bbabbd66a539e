#include "app/desktop/lock_keys.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace {

bool indicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    Bool on = False;
    return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) &&
           on;
}

} // namespace

std::optional<LockKeys> currentLockKeys() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 == nullptr ? nullptr : x11->display();
    if (display == nullptr) {
        return std::nullopt;
    }
    return LockKeys{indicatorOn(display, "Caps Lock"), indicatorOn(display, "Num Lock"),
                    indicatorOn(display, "Scroll Lock")};
}
