#include "ui/Tray_State.h"

#include "store/Event_Store.h"
#include "store/Object_Table.h"
#include "ui/Main_Window_Look.h"

#include <QPainter>
#include <QPixmap>

Tray_State::Look Tray_State::Shown_Look() const
{
    if (!Receiver_Enabled)
        return Look::Receiver_Closed;
    return Fault_Text().isEmpty() ? Look::Working : Look::Fault;
}

QString Tray_State::Fault_Text(bool with_failed_objects) const
{
    QStringList faults;
    if (Receiver_Enabled && !Receiver_Listening)
        faults << QStringLiteral("receiver port not listening");
    if (!Output_Enabled)
        faults << QStringLiteral("automation software port closed");
    else if (!Output_Up)
        faults << QStringLiteral("no automation software connected");
    if (Store_Full)
        faults << QStringLiteral("event store full, new alarms not acknowledged");
    if (with_failed_objects && Failed_Objects > 0)
        faults << QString::number(Failed_Objects) + QStringLiteral(" failed objects");
    return faults.join(QStringLiteral("; "));
}

QString Tray_State::Tooltip(const QString& caption) const
{
    QString state;
    switch (Shown_Look()) {
    case Look::Receiver_Closed:
        state = QStringLiteral("receiver closed");
        break;
    case Look::Fault:
        state = QStringLiteral("fault: ") + Fault_Text();
        break;
    case Look::Working:
        state = QStringLiteral("receiving and forwarding");
        break;
    }
    return caption + QStringLiteral("\n") + state + QStringLiteral("\nPending events: ")
        + QString::number(Pending_Events) + QStringLiteral("\nFailed objects: ")
        + QString::number(Failed_Objects);
}

int Count_Pending_Events(const Event_Store& events)
{
    int pending = 0;
    for (std::uint32_t slot = 0; slot < Event_Slot_Count; ++slot)
        if (Status_Text(events.Slot(slot)) == "Pending")
            ++pending;
    return pending;
}

int Count_Failed_Objects(const Object_Table& objects)
{
    int failed = 0;
    for (std::uint32_t position = 0; position < Object_Count; ++position)
        if ((objects.Supervision_Flags(position) & Flag_Failed) != 0)
            ++failed;
    return failed;
}

QIcon Tray_Icon(Tray_State::Look look)
{
    QPixmap pixmap = Program_Icon().pixmap(32, 32);
    if (pixmap.isNull()) {
        pixmap = QPixmap(32, 32);
        pixmap.fill(Qt::transparent);
    }
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor mark = look == Tray_State::Look::Working ? QColor(0, 170, 0)
        : look == Tray_State::Look::Fault                 ? QColor(230, 0, 0)
                                                          : QColor(128, 128, 128);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(mark);
    painter.drawEllipse(QRect(16, 16, 15, 15));
    if (look == Tray_State::Look::Fault) {
        painter.setPen(QPen(Qt::white, 3));
        painter.drawLine(23, 19, 23, 25);
        painter.drawPoint(23, 28);
    }
    return QIcon(pixmap);
}
