#pragma once
// CKavroDoc: the document. It holds no data: opening a file only takes its name
// as the title, and saving writes an empty file. Pictures enter through the view.

#include <QObject>
#include <QString>

class QDataStream;

class CKavroDoc : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // A fresh document titled "车牌识别DEMO V1.0".
    bool OnNewDocument();
    // Takes the file's name as the title when the file can be read.
    bool OnOpenDocument(const QString& path);
    // Writes the document (nothing) to `path` and takes the file's name as the title.
    bool OnSaveDocument(const QString& path);
    // The document stores and loads nothing.
    void Serialize(QDataStream& stream);

    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title);
    // The file the document was opened from or saved to last; empty for a new one.
    const QString& GetPathName() const { return m_pathName; }

signals:
    void titleChanged(const QString& title);

private:
    void SetPathName(const QString& path);

    QString m_title;
    QString m_pathName;
};
