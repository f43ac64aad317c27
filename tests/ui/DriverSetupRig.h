#pragma once

// The window on the simulated board as the driver setup tests drive it:
// replies coming in, the file choosers answered, settings files edited as
// text, and the enabling the mode rules give.
#include "WindowRig.h"
#include "support/TextFiles.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

struct Rig : WindowRig
{
    // Lets ms pass in receive ticks: replies and live reports come in.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            receiveTick();
        }
    }
    // Connects the board and takes in the settings the connection asked for.
    void connectAndRead()
    {
        connectBoard();
        run(300);
        board.received.clear();
    }

    QComboBox *selector() const { return w<QComboBox>("cbConfigurations"); }
    QStringList entries() const
    {
        QStringList names;
        for (int i = 0; i < selector()->count(); ++i)
            names << selector()->itemText(i);
        return names;
    }
    QStringList log() const { return pane.texts(); }
    // The window's own log pane, without timestamps.
    // The window's log lines without their time stamps, and without the
    // lines naming pictures the test folder does not hold.
    QStringList windowLog() const
    {
        QStringList lines;
        for (const QString &line : w<QPlainTextEdit>("pteLog")->toPlainText().split(QLatin1Char('\n')))
            if (!line.mid(21).startsWith(QLatin1String("Picture ")))
                lines << line.mid(21); // after "yyyy.MM.dd. hh:mm:ss "
        return lines;
    }
    QStringList registerPane() const
    {
        return w<QPlainTextEdit>("pteRegistersValues")->toPlainText().split(QLatin1Char('\n'));
    }
    void developerControls() { QTest::keyClick(window.get(), Qt::Key_F12); }

    // The file choosers answer with path once.
    void choose(const QString &path) { dialogs.files << path; }
    void save(const QString &path)
    {
        choose(path);
        w<QPushButton>("pbSaveSettings")->click();
    }
    void load(const QString &path)
    {
        choose(path);
        w<QPushButton>("pbLoadSettings")->click();
    }
};

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeTextFile(path, bytes));
}

// Replaces the value of one key line in an INI text.
inline QByteArray withValue(QByteArray text, const QByteArray &key, const QByteArray &value)
{
    const int at = text.indexOf("\n" + key + "=") + 1;
    Q_ASSERT(at > 0);
    const int end = text.indexOf('\n', at);
    return text.replace(at, end - at, key + "=" + value);
}

// Not disabled by its own flag (a control on a disabled page still counts as
// enabled here: the page is checked by itself).
inline bool ownEnabled(const QWidget *widget)
{
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

// What the mode rules enable, for each combination of the three modes: 1
// enabled, 0 disabled, in the order of ruledControls.
struct ModeRow
{
    const char *name;
    bool pwm, binx, autoRun;
    const char *enabled;
};
inline const ModeRow ModeRows[] = {
    {"no mode", false, false, false, "1111111111 1111 0000 1"},
    {"DC motor", true, false, false, "0000011111 1011 0000 0"},
    {"BINx buttons", false, true, false, "1100100100 0000 1111 0"},
    {"auto run", false, false, true, "0010100010 0000 1111 0"},
    {"DC motor and BINx", true, true, false, "0000000100 0000 1111 0"},
    {"DC motor and auto run", true, false, true, "0000000010 0000 1111 0"},
    {"BINx and auto run", false, true, true, "0000100000 0000 1111 0"},
    {"all three", true, true, true, "0000000000 0000 1111 0"},
};

// Step group, BINx, auto run, step tab, speed profile of the auto tab (as
// its position control group and navigation tabs), PWM tab, navigation,
// external, speed, DC motor; target and limits; BIN steps and tests; Set.
inline const char *const ruledControls[] = {"gbStepMode",
                                            "cbEnableBINxUpDown",
                                            "cbEnableAutoRun",
                                            "tabStepDirControl",
                                            "gbSpeedProfile",
                                            "tabPWMControl",
                                            "tabInternalNavigation",
                                            "tabExternalNavigation",
                                            "tabSpeedMode",
                                            "cbDCMotorMode",
                                            nullptr,
                                            "sbFinPos",
                                            "vsFinPos",
                                            "sbPosLimitLower",
                                            "sbPosLimitUpper",
                                            nullptr,
                                            "sbBIN1Steps",
                                            "sbBIN2Steps",
                                            "btnTestBIN1",
                                            "btnTestBIN2",
                                            nullptr,
                                            "btnSetDefault"};

inline QString enabling(const Rig &rig)
{
    QString shown;
    for (const char *name : ruledControls)
        shown += name ? QLatin1Char(ownEnabled(rig.w<QWidget>(name)) ? '1' : '0') : QLatin1Char(' ');
    return shown;
}
