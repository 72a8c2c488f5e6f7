#include "ui/about_dlg.h"

#include "dialog/control_ids.h"
#include "ui/static_link.h"
#include "vnp_config.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(272, 124, parent)
{
    setWindowTitle(tr("About"));

    // The picture, drawn from its SVG at the screen's own pixels, as large
    // as the template's square for it allows: sharp at any scaling.
    auto* pPicture = AddControl(0, new QLabel, {7, 7, 87, 80});
    pPicture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const int side = std::min(pPicture->width(), pPicture->height());
    pPicture->resize(side, side);
    const int inside = side - 2 * pPicture->frameWidth();
    pPicture->setPixmap(
        QIcon(QStringLiteral(":/res/about.svg")).pixmap(QSize(inside, inside), devicePixelRatioF()));

    auto* pTitle =
        AddControl(0, new QLabel(QStringLiteral("3ds to Vantrel converter v1.1")), {99, 9, 129, 8});
    pTitle->setTextFormat(Qt::PlainText);
    AddControl(0, new QLabel(tr("Copyright (C) 2026")), {99, 68, 82, 8});

    auto* pOk = AddControl(kIdOk, new QPushButton(tr("OK")), {111, 103, 50, 14});
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* pDescription = AddControl(
        0,
        new QLabel(
            tr("This utility converts a 3D Studio .3ds file to the Vantrel project file format. It "
               "converts the meshes, faces and textures. Details of the Vantrel format have to be added "
               "afterwards in Vantrel. See README.md for more information.")),
        {99, 20, 160, 40});
    pDescription->setWordWrap(true);
    pDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_pLinkMail = AddControl(kIdMailLink, new CStaticLink, {125, 79, 65, 9});
    m_pLinkMail->setText(QStringLiteral(VNP_CONTACT_EMAIL));
    AddControl(0, new QLabel(tr("Email:")), {99, 79, 20, 8});
    AddControl(0, new QLabel(tr("Web:")), {100, 89, 20, 9});
    m_pLinkWeb = AddControl(kIdWebLink, new CStaticLink, {125, 90, 98, 8});
    m_pLinkWeb->setText(QStringLiteral(VNP_CONTACT_WEB));

    for (QLabel* pLabel : findChildren<QLabel*>())
        pLabel->setAlignment(pLabel->alignment() | Qt::AlignTop);

    OnInitDialog();
    pOk->setFocus();
}

void CAboutDlg::OnInitDialog()
{
    m_pLinkMail->m_target.m_strTarget = "mailto:" VNP_CONTACT_EMAIL "?subject=3ds to VNP converter v1.1";
    m_pLinkWeb->m_target.m_strTarget = "http://" VNP_CONTACT_WEB;
}
