#include "ui/template_dialog.h"

#include <QFontMetrics>
#include <QWidget>

// The pictures live in the library's resources, which a static library
// must register itself; outside any namespace, as Qt asks.
static void InitResources()
{
    static const bool s_bDone = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)s_bDone;
}

QFont CTemplateDialog::TemplateFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

CTemplateDialog::CTemplateDialog(int widthDlu, int heightDlu, QWidget* parent) : QDialog(parent)
{
    InitResources();
    setFont(TemplateFont());
    // Windows measures the average width over the 52 letters of the Latin
    // alphabet, rounded, and the height as the font's full line height.
    const QFontMetrics metrics(font());
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseUnitX = (letters / 26 + 1) / 2;
    m_nBaseUnitY = metrics.height();
    setFixedSize(DluToPixelsX(widthDlu), DluToPixelsY(heightDlu));
}

int CTemplateDialog::DluToPixelsX(int x) const
{
    return x * m_nBaseUnitX / 4;
}

int CTemplateDialog::DluToPixelsY(int y) const
{
    return y * m_nBaseUnitY / 8;
}

void CTemplateDialog::Place(int id, QWidget* control, DialogRect rect)
{
    control->setParent(this);
    control->setGeometry(DluToPixelsX(rect.x), DluToPixelsY(rect.y), DluToPixelsX(rect.width),
                         DluToPixelsY(rect.height));
    if (id != 0)
        control->setObjectName(QStringLiteral("id%1").arg(id));
}
