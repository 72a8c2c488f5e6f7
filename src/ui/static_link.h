#pragma once

#include <QColor>
#include <QLabel>

#include <functional>
#include <string>

class QUrl;

// What a link opens.
class CLinkTarget
{
public:
    // Opens the target through the desktop. 0 with an empty target; above
    // 32 when the desktop opened it, 32 or below when it could not.
    virtual int Open();

    std::string m_strTarget;

    // The desktop's opener; tests replace it.
    static std::function<bool(const QUrl&)> s_openUrl;
};

// A static text that behaves as a hyperlink: underlined in the dialog's own
// font, blue until followed and purple after a successful open, a pointing
// hand over it, and a click that opens its target (a beep when that fails).
class CStaticLink : public QLabel
{
    Q_OBJECT

public:
    // target: what to open, or null to take the application's string of the
    // control's identifier, or else the control's text, at the first click.
    explicit CStaticLink(const char* target = nullptr, bool bAutoDelete = false);

    static const QColor s_unvisitedColor;
    static const QColor s_visitedColor;

    CLinkTarget m_target;
    QColor m_textColor;
    bool m_bAutoDelete;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnLButtonDown();
};
