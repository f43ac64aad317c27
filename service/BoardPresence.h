#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class TorvanDRV;

// Follows whether the held board is there to be served: it arrives once it
// is connected, its identity is read and, unless it runs its boot loader,
// its settings and name too and enough live reports to fill the voltage and
// temperature filter (so that a client's first question is answered in
// full); it leaves when it is lost. The local socket and the MQTT bridge
// follow it. It must be there before the board connects, to see its
// settings arrive.
class BoardPresence : public QObject
{
    Q_OBJECT
public:
    explicit BoardPresence(TorvanDRV &drv, QObject *parent = nullptr);

    bool isPresent() const { return present; }
    const QString &serial() const { return presentSerial; }

    // Connected, its identity read and no exchange running.
    bool identified() const;
    // Its driver values, motion settings and name read since it connected.
    bool settingsRead() const;
    // Live reports since it connected.
    int liveReports() const { return liveCount; }
    // Live reports that fill the voltage and temperature filter.
    static constexpr int FilterReports = 5;

signals:
    void arrived(const QString &serial);
    void left(const QString &serial);

private:
    void update();

    TorvanDRV &drv;
    bool present = false;
    QString presentSerial;
    QSet<unsigned char> settingsSeen; // report types since the connection
    int liveCount = 0;                // since the connection
};
