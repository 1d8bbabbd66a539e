#include "app/desktop/recent_file_list.h"

#include "res/string_table.h"

#include <QSettings>

namespace {

QString fileKey(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

} // namespace

RecentFileList::RecentFileList() {
    QSettings settings;
    settings.beginGroup(QString::fromUtf8(strings::recentFileGroup));
    for (int i = 0; i < recentFileCount; ++i) {
        const QString path = settings.value(fileKey(i)).toString();
        if (!path.isEmpty()) {
            m_files << path;
        }
    }
}

void RecentFileList::Add(const QString& path) {
    m_files.removeAll(path);
    m_files.prepend(path);
    while (m_files.size() > recentFileCount) {
        m_files.removeLast();
    }
    Write();
}

void RecentFileList::Remove(const QString& path) {
    m_files.removeAll(path);
    Write();
}

void RecentFileList::Write() const {
    QSettings settings;
    settings.beginGroup(QString::fromUtf8(strings::recentFileGroup));
    for (int i = 0; i < recentFileCount; ++i) {
        if (i < m_files.size()) {
            settings.setValue(fileKey(i), m_files[i]);
        } else {
            settings.remove(fileKey(i));
        }
    }
}
