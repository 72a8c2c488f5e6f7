#pragma once

#include "ui/template_dialog.h"

class CStaticLink;

// The About box: what the tool is and does, and how to reach its authors.
class CAboutDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    CStaticLink* m_pLinkMail;
    CStaticLink* m_pLinkWeb;

private:
    void OnInitDialog();
};
