#pragma once

#include <QString>

#include <vector>

// Which board a front end without a window works on: the one with the
// serial asked for, or else the only usable one. Usable are free boards and
// held ones that their holder serves. torvan60ctl and the Python package
// choose alike.
struct BoardChoice
{
    enum Outcome {
        Chosen,
        NotFound,  // no board with that serial, or no board at all
        Held,      // held by another program that does not serve it
        Ambiguous, // several usable boards and no serial
    };
    Outcome outcome = NotFound;
    QString serial;
    QString servedBy; // the holder that serves the chosen board; empty when it is free
    QString error;    // for the user, when not chosen
};

// A board as a front end found it: on the bus (free or held) or served by
// the program that holds it (which may hold it on a bus of its own, a
// simulated one).
struct BoardCandidate
{
    QString serial;
    bool held = false;
    QString holder; // who serves it, "torvan60 (pid 4242)"; empty when nobody does
};

// option is how the user names a serial ("--serial"), for the error when
// several boards are usable.
BoardChoice chooseBoard(const std::vector<BoardCandidate> &found, const QString &serial, const QString &option);
