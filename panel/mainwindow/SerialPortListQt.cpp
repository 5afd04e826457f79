#include "SerialPortList.h"

#include <QSerialPortInfo>

QStringList PresentSerialPorts()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString location = info.systemLocation();
        if (!location.isEmpty()) {
            names.append(location);
        }
    }
    return names;
}
