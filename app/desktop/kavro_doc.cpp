#include "app/desktop/kavro_doc.h"

#include "image/message_sink.h"
#include "res/string_table.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool CKavroDoc::OnNewDocument() {
    m_pathName.clear();
    SetTitle(QString::fromUtf8(strings::documentTitle));
    return true;
}

bool CKavroDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(strings::openDocumentFailed);
        return false;
    }
    QDataStream stream(&file);
    Serialize(stream);
    SetPathName(path);
    return true;
}

bool CKavroDoc::OnSaveDocument(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        showMessage(strings::saveDocumentFailed);
        return false;
    }
    QDataStream stream(&file);
    Serialize(stream);
    if (!file.commit()) {
        showMessage(strings::saveDocumentFailed);
        return false;
    }
    SetPathName(path);
    return true;
}

void CKavroDoc::Serialize(QDataStream&) {}

void CKavroDoc::SetTitle(const QString& title) {
    m_title = title;
    emit titleChanged(m_title);
}

void CKavroDoc::SetPathName(const QString& path) {
    m_pathName = path;
    SetTitle(QFileInfo(path).fileName());
}
