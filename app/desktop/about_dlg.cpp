#include "app/desktop/about_dlg.h"

#include "res/string_table.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

namespace {

constexpr int fontPointSize = 9;
constexpr int iconSide = 32;

// A rectangle in dialog units: a quarter of the font's mean character width
// across, an eighth of its height down.
struct DialogUnits {
    int x, y, width, height;
};
constexpr DialogUnits dialogSize{0, 0, 235, 55};
constexpr DialogUnits iconPlace{11, 17, 0, 0};
constexpr DialogUnits versionPlace{40, 10, 119, 8};
constexpr DialogUnits copyrightPlace{40, 25, 119, 8};
constexpr DialogUnits okPlace{178, 7, 50, 16};

QFont dialogFont() {
    QStringList families;
    for (const char* family : strings::aboutFontFamilies) {
        families << QString::fromUtf8(family);
    }
    QFont font;
    font.setFamilies(families);
    font.setPointSize(fontPointSize);
    return font;
}

class DialogUnitScale {
public:
    explicit DialogUnitScale(const QFont& font) {
        const QFontMetrics metrics(font);
        const QString alphabet =
            QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
        const int letters = static_cast<int>(alphabet.size());
        m_baseX = (metrics.horizontalAdvance(alphabet) / (letters / 2) + 1) / 2;
        m_baseY = metrics.height();
    }

    QRect pixels(const DialogUnits& units) const {
        return QRect(x(units.x), y(units.y), x(units.width), y(units.height));
    }

private:
    int x(int units) const { return units * m_baseX / 4; }
    int y(int units) const { return units * m_baseY / 8; }

    int m_baseX;
    int m_baseY;
};

QLabel* staticText(QWidget* parent, const char* text, QRect place) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(place);
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromUtf8(strings::aboutCaption));
    setModal(true);
    setFont(dialogFont());
    const DialogUnitScale scale(font());
    setFixedSize(scale.pixels(dialogSize).size());

    m_icon = new QLabel(this);
    m_icon->setPixmap(QIcon(QStringLiteral(":/icons/kavro.png")).pixmap(iconSide, iconSide));
    m_icon->setGeometry(QRect(scale.pixels(iconPlace).topLeft(), QSize(iconSide, iconSide)));
    m_version = staticText(this, strings::aboutVersion, scale.pixels(versionPlace));
    m_copyright = staticText(this, strings::aboutCopyright, scale.pixels(copyrightPlace));

    m_ok = new QPushButton(QString::fromUtf8(strings::aboutOk), this);
    m_ok->setGeometry(scale.pixels(okPlace));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}
