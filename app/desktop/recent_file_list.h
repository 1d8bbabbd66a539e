#pragma once
// The recent-file list: the last four documents opened or saved, newest first,
// kept in the settings as "Recent File List/File1" ... "File4".

#include <QStringList>

inline constexpr int recentFileCount = 4;

class RecentFileList {
public:
    RecentFileList(); // reads the list from the settings

    const QStringList& Files() const { return m_files; }
    // Puts `path` first (once) and writes the list back.
    void Add(const QString& path);
    void Remove(const QString& path);

private:
    void Write() const;

    QStringList m_files;
};
