#pragma once
// CAboutDlg: the about box, laid out in dialog units of its "宋体" 9-point font.

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    const QLabel& VersionText() const { return *m_version; }
    const QLabel& CopyrightText() const { return *m_copyright; }
    const QLabel& Icon() const { return *m_icon; }
    QPushButton& OkButton() const { return *m_ok; }

private:
    QLabel* m_icon;
    QLabel* m_version;
    QLabel* m_copyright;
    QPushButton* m_ok;
};
