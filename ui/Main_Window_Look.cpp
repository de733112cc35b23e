#include "ui/Main_Window_Look.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionMenuItem>
#include <QStyleOptionTab>
#include <QStylePainter>

QString Navy_Tab_Bar::Tab_Caption(int index)
{
    switch (index) {
    case 0:
        return QStringLiteral("DC-09 Receiver");
    case 1:
        return QStringLiteral("Automation Software Interface");
    default:
        return {};
    }
}

QSize Navy_Tab_Bar::tabSizeHint(int index) const
{
    // Sized for the bold caption so a tab does not change width when it becomes active.
    QFont bold = font();
    bold.setBold(true);
    const QSize text = QFontMetrics(bold).size(Qt::TextSingleLine, Tab_Caption(index));
    return {text.width() + 12, text.height() + 8};
}

void Navy_Tab_Bar::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    for (int index = 0; index < count(); ++index) {
        QStyleOptionTab option;
        initStyleOption(&option, index);
        option.text.clear();
        painter.drawControl(QStyle::CE_TabBarTabShape, option);

        const bool active = index == currentIndex();
        QFont caption_font = font();
        caption_font.setBold(active);
        painter.setFont(caption_font);
        painter.setPen(QColor(0, 0, 128));
        const QRect rect = tabRect(index);
        painter.setClipRect(rect);
        painter.drawText(
            rect.adjusted(5, 3, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Tab_Caption(index));
        painter.setClipping(false);
    }
}

Navy_Tab_Widget::Navy_Tab_Widget(QWidget* parent)
    : QTabWidget(parent)
{
    setTabBar(new Navy_Tab_Bar(this));
}

Default_Menu_Item_Style::Default_Menu_Item_Style(QString default_caption)
    : Default_Caption(std::move(default_caption))
{ }

static bool Is_Item(const QStyleOption* option, const QString& caption)
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    return item != nullptr && item->text == caption;
}

void Default_Menu_Item_Style::drawControl(
    ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    if (element == CE_MenuBarItem && Is_Item(option, Default_Caption)) {
        painter->save();
        QFont bold = painter->font();
        bold.setBold(true);
        painter->setFont(bold);
        QProxyStyle::drawControl(element, option, painter, widget);
        painter->restore();
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QSize Default_Menu_Item_Style::sizeFromContents(
    ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_MenuBarItem && Is_Item(option, Default_Caption) && widget != nullptr) {
        QFont bold = widget->font();
        bold.setBold(true);
        const QString text = static_cast<const QStyleOptionMenuItem*>(option)->text;
        result.rwidth()
            += QFontMetrics(bold).horizontalAdvance(text) - widget->fontMetrics().horizontalAdvance(text);
    }
    return result;
}

static QPixmap Disk_Image(const QColor& body, const QColor& label, const QColor& shutter)
{
    QPixmap image(24, 24);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(body.darker(160), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 2, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(label);
    painter.drawRect(QRectF(6, 3, 12, 8));
    painter.setBrush(shutter);
    painter.drawRect(QRectF(7, 14, 10, 7));
    painter.setBrush(body);
    painter.drawRect(QRectF(13, 4, 3, 5));
    return image;
}

QIcon Save_Glyph()
{
    QIcon glyph;
    glyph.addPixmap(
        Disk_Image(QColor(30, 80, 170), QColor(245, 245, 245), QColor(170, 170, 180)), QIcon::Normal);
    glyph.addPixmap(
        Disk_Image(QColor(150, 150, 150), QColor(225, 225, 225), QColor(190, 190, 190)), QIcon::Disabled);
    return glyph;
}

QIcon Program_Icon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        QPixmap image(size, size);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 128));
        painter.drawEllipse(QRectF(1 * unit, 1 * unit, 14 * unit, 14 * unit));
        // Three arcs: a receiver listening.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 200, 0), 1.4 * unit, Qt::SolidLine, Qt::RoundCap));
        for (int ring = 1; ring <= 3; ++ring) {
            const qreal r = 1.7 * ring * unit;
            painter.drawArc(QRectF(5 * unit - r, 11 * unit - r, 2 * r, 2 * r), 0, 90 * 16);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 200, 0));
        painter.drawEllipse(QRectF(4 * unit, 10 * unit, 2 * unit, 2 * unit));
        painter.end();
        icon.addPixmap(image);
    }
    return icon;
}

QGroupBox* Place_Group(QWidget* parent, const QString& caption, QRect place)
{
    auto* group = new QGroupBox(caption, parent);
    group->setGeometry(place);
    return group;
}

QLabel* Place_Label(QWidget* parent, const QString& caption, QPoint at, const char* name)
{
    auto* label = new QLabel(caption, parent);
    if (name != nullptr)
        label->setObjectName(QLatin1String(name));
    label->move(at);
    label->resize(label->sizeHint());
    return label;
}

static QLabel* Caption_Beside(QWidget* control, const QString& caption, const QString& name)
{
    auto* label = new QLabel(caption, control->parentWidget());
    label->setObjectName(name);
    label->resize(label->sizeHint());
    return label;
}

QLabel* Caption_Before(QWidget* control, const QString& caption, int gap)
{
    QLabel* label = Caption_Beside(control, caption, control->objectName() + QStringLiteral("_Label"));
    label->setBuddy(control);
    // The control moves right to make room for its caption.
    label->move(control->x(), control->y() + (control->height() - label->height()) / 2);
    control->move(label->geometry().right() + 1 + gap, control->y());
    return label;
}

QLabel* Caption_After(QWidget* control, const QString& caption, int gap)
{
    QLabel* label = Caption_Beside(control, caption, control->objectName() + QStringLiteral("_Unit"));
    label->move(
        control->geometry().right() + 1 + gap, control->y() + (control->height() - label->height()) / 2);
    return label;
}

QLineEdit* Labeled_Edit(
    QWidget* parent, const char* name, const QString& caption, QPoint at, int edit_width, int max_length)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(at.x(), at.y(), edit_width, Edit_Height);
    edit->setMaxLength(max_length);
    Caption_Before(edit, caption);
    return edit;
}

void Set_Usable(QWidget* control, bool usable)
{
    control->setEnabled(usable);
    const QString label_name = control->objectName() + QStringLiteral("_Label");
    if (auto* label = control->parentWidget()->findChild<QLabel*>(label_name, Qt::FindDirectChildrenOnly))
        label->setEnabled(usable);
}
