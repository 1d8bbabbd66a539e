#pragma once
// Text rendering needs a QGuiApplication. The scene generator creates one on
// first use when the process has none (on the off-screen platform unless
// QT_QPA_PLATFORM says otherwise), so tests and tools can draw without a display.

// Not thread-safe: the first call (drawScene makes it) belongs on the main thread.
// Throws std::logic_error when the process already runs a non-GUI QCoreApplication.
void ensureGuiApplication();
