#include "app/desktop/kavro_doc.h"

#include "res/string_table.h"

#include <QFileInfo>

bool CKavroDoc::OnNewDocument() {
    m_saveTarget.reset();
    SetTitle(QString::fromUtf8(strings::documentTitle));
    return true;
}

void CKavroDoc::SetPicture(const QString& path) {
    m_saveTarget.reset();
    SetTitle(QFileInfo(path).fileName());
}

void CKavroDoc::SetTitle(const QString& title) {
    m_title = title;
    emit titleChanged(m_title);
}
