#pragma once
// CKavroDoc: the document: the picture being read, by name, and where its
// result was saved last. The view holds the picture and its result; the
// document's title is the picture's file name.

#include "app/desktop/desktop_files.h"

#include <QObject>
#include <QString>

#include <optional>

class CKavroDoc : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // A fresh document titled "车牌识别DEMO V1.0", saved nowhere yet.
    bool OnNewDocument();
    // The picture read from `path` is the document now: titled with the file's
    // name, saved nowhere yet.
    void SetPicture(const QString& path);

    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title);
    // Where Save writes the document again; none until it was saved.
    const std::optional<OutputTarget>& GetSaveTarget() const { return m_saveTarget; }
    void SetSaveTarget(const OutputTarget& target) { m_saveTarget = target; }

signals:
    void titleChanged(const QString& title);

private:
    QString m_title;
    std::optional<OutputTarget> m_saveTarget;
};
