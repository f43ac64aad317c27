#pragma once

#include <QObject>
#include <QString>

class TorvanDRV;

// Follows whether the held board is there to be served: it arrives once it
// is connected and its identity is read, and leaves when it is lost. The
// local socket and the MQTT bridge follow it.
class BoardPresence : public QObject
{
    Q_OBJECT
public:
    explicit BoardPresence(TorvanDRV &drv, QObject *parent = nullptr);

    bool isPresent() const { return present; }
    const QString &serial() const { return presentSerial; }

signals:
    void arrived(const QString &serial);
    void left(const QString &serial);

private:
    void update();

    TorvanDRV &drv;
    bool present = false;
    QString presentSerial;
};
