#pragma once

#include <QDialog>

class QWidget;

// A control's place in a dialog template, in dialog units.
struct DialogRect
{
    int x = 0, y = 0, width = 0, height = 0;
};

// A dialog laid out the way a Windows dialog template is: controls placed at
// fixed positions in dialog units, converted to pixels with the dialog
// font's metrics (a horizontal unit is a quarter of the average character
// width, a vertical unit an eighth of the character height). A control
// with an identifier is named "id" and the number, as Qt finds objects.
class CTemplateDialog : public QDialog
{
    Q_OBJECT

public:
    // The dialog font of the templates: "MS Sans Serif" at 8 points, or
    // what the platform puts in its place.
    static QFont TemplateFont();

    CTemplateDialog(int widthDlu, int heightDlu, QWidget* parent);

    // Pixels of dialog units, the Windows way.
    int DluToPixelsX(int x) const;
    int DluToPixelsY(int y) const;

protected:
    // Places a control; id 0 means the control has no identifier.
    template <typename Widget> Widget* AddControl(int id, Widget* control, DialogRect rect)
    {
        Place(id, control, rect);
        return control;
    }

private:
    void Place(int id, QWidget* control, DialogRect rect);

    int m_nBaseUnitX;
    int m_nBaseUnitY;
};
