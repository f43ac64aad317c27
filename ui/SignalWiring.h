#pragma once

#include "device/OperatorDialogs.h"
#include "log/Logger.h"

#include <QCoreApplication>
#include <QObject>

#include <initializer_list>

// Signal wiring of the window's tabs by signature, so that a connection made
// by name when the form was wired and one made here are the same connection:
// either removes the other, and none exists twice.
namespace SignalWiring {

struct Wire
{
    QObject *sender;
    const char *signal; // SIGNAL(...)
    const char *slot;   // SLOT(...)
};

// Removes every connection of each wire; with connect, makes each once.
// False at the first connection that could not be made; the wires after it
// are left as they were.
inline bool rewire(QObject *receiver, std::initializer_list<Wire> wires, bool connect)
{
    for (const Wire &wire : wires) {
        QObject::disconnect(wire.sender, wire.signal, receiver, wire.slot);
        if (connect && !QObject::connect(wire.sender, wire.signal, receiver, wire.slot, Qt::UniqueConnection))
            return false;
    }
    return true;
}

// Sets one control of a slider/box pair while its own mirroring slot is cut
// off, so that the pair never echoes a change back.
template <class Control> void setPartner(QObject *receiver, Control *partner, int value, const char *partnerSlot)
{
    QObject::disconnect(partner, SIGNAL(valueChanged(int)), receiver, partnerSlot);
    partner->setValue(value);
    QObject::connect(partner, SIGNAL(valueChanged(int)), receiver, partnerSlot, Qt::UniqueConnection);
}

// A wiring failure, as the operator (translated) and the log (in English)
// are told of it; text is marked QT_TRANSLATE_NOOP("SignalWiring", ...).
// Either may be missing (no dialogs set; the logger is made later in
// construction).
inline void reportFailure(OperatorDialogs *dialogs, Logger *logger, const char *text)
{
    if (dialogs)
        dialogs->notice(QStringLiteral(QT_TRANSLATE_NOOP("OperatorDialogs", "Error connecting slot/signals")),
                        QCoreApplication::translate("SignalWiring", text));
    if (logger)
        logger->write(QString::fromUtf8(text));
}

} // namespace SignalWiring
