#include "app/desktop/message_box.h"

#include "image/message_sink.h"
#include "res/string_table.h"

#include <QApplication>
#include <QMessageBox>

using namespace kavro;

void showMessageBox(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(strings::appTitle),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void installMessageBoxSink() {
    setMessageSink(showMessageBox);
}
