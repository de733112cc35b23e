#pragma once

#include <QIcon>
#include <QProxyStyle>
#include <QString>
#include <QTabBar>
#include <QTabWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

// Tab headers drawn by the window itself: navy captions, the active one bold, placed 5 pixels
// right of the tab's left edge and 3 below its top edge.
class Navy_Tab_Bar : public QTabBar
{
    Q_OBJECT
public:
    using QTabBar::QTabBar;

    // The caption of a tab by index; other indexes have none.
    static QString Tab_Caption(int index);

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;
};

// The tab control with the tab bar above.
class Navy_Tab_Widget : public QTabWidget
{
    Q_OBJECT
public:
    explicit Navy_Tab_Widget(QWidget* parent = nullptr);
};

// A menu bar draws every item in its own font; this style draws the one default item bold.
class Default_Menu_Item_Style : public QProxyStyle
{
    Q_OBJECT
public:
    explicit Default_Menu_Item_Style(QString default_caption);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
        const QWidget* widget) const override;

private:
    QString Default_Caption;
};

// The Save button's glyph: a disk, coloured while there is something to save and grey otherwise.
QIcon Save_Glyph();
// The program's icon, shown in the notification area and on the windows.
QIcon Program_Icon();

// Controls sit at fixed places on their page but take the width their caption needs in the
// window's font, so no caption is clipped.
QGroupBox* Place_Group(QWidget* parent, const QString& caption, QRect place);
QLabel* Place_Label(QWidget* parent, const QString& caption, QPoint at, const char* name = nullptr);

template<typename Control>
Control* Place_Control(QWidget* parent, const char* name, const QString& caption, QPoint at)
{
    auto* control = new Control(caption, parent);
    control->setObjectName(QLatin1String(name));
    control->move(at);
    control->resize(control->sizeHint());
    return control;
}

// Height of the single-line edits and lists on the pages.
inline constexpr int Edit_Height = 21;

// A caption with an edit right after it, the edit's top at at.y(). The label is named after the
// edit with "_Label" appended and is its buddy.
QLineEdit* Labeled_Edit(
    QWidget* parent, const char* name, const QString& caption, QPoint at, int edit_width, int max_length);
// A caption beside a control, centred on the control's height; it follows the control's name.
QLabel* Caption_Before(QWidget* control, const QString& caption, int gap = 3);
QLabel* Caption_After(QWidget* control, const QString& caption, int gap = 4);

// Enables or disables a control together with its caption, if it has one.
void Set_Usable(QWidget* control, bool usable);
