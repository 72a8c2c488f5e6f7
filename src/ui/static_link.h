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
    // Opens the target through the desktop; false with an empty target or
    // when the desktop could not open it.
    bool Open();

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
    // target: what to open; empty takes the control's text at the first click.
    explicit CStaticLink(const std::string& target = std::string());

    static const QColor s_unvisitedColor;
    static const QColor s_visitedColor;

    CLinkTarget m_target;
    QColor m_textColor;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnLButtonDown();
};
