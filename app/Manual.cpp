// torvan60(1), made from the window's option declarations.
#include "app/Options.h"

CommandLine::ManPage windowManPage()
{
    using CommandLine::ManSection;
    CommandLine::ManPage page;
    page.name = QStringLiteral("torvan60");
    page.summary = QStringLiteral("operator tool for the Torvan60 USB motor driver board");
    page.source = QStringLiteral("torvan60 " TORVAN_VERSION);
    page.manual = QStringLiteral("User Commands");
    page.synopsis << QStringLiteral("torvan60 [OPTIONS]");

    ManSection description(QStringLiteral("DESCRIPTION"));
    description.text = QStringLiteral(
        "torvan60 is the window for the Torvan60 motor driver board, a USB HID board that drives one stepper motor, "
        "or two DC motors on its outputs A and B. It finds the board by itself, shows its live state (supply "
        "voltage, temperature, current, driver state, faults, input pins, operating mode), sets up its driver, "
        "moves the motor, runs DC motors, charts everything, records live data and the minute before each fault, "
        "shows those recordings again on its Records page, keeps a timestamped log and updates the board's "
        "firmware.\n\n"
        "While it holds a board it serves it to other programs of the user on a local socket (torvan60ctl, the "
        "Python package torvan60, scripts); it logs each client and each command that changes the board. Its own "
        "Stop and Escape always act.\n\n"
        "Arguments it cannot follow (an option without its value, an unknown scenario, a trace file that cannot "
        "be written) end it at once with exit code 2 and the reason on stderr; other arguments it does not know "
        "are named on stderr and ignored.");
    ManSection options(QStringLiteral("OPTIONS"));
    options.items = CommandLine::optionItems(windowOptionDeclarations());
    const ManSection simulated = simulationManSection(
        QStringLiteral("With --simulate the window works on a simulated board, for demos and training; the scenarios "
                       "of --simulate=SCENARIO practise the firmware update and the failure paths:"));
    ManSection exit(QStringLiteral("EXIT STATUS"));
    exit.items = {{QStringLiteral("0"), QStringLiteral("The window was closed; with --check: every picture loaded.")},
                  {QStringLiteral("1"), QStringLiteral("With --check: a picture did not load.")},
                  {QStringLiteral("2"), QStringLiteral("Arguments it cannot follow, named on stderr.")}};
    ManSection environment(QStringLiteral("ENVIRONMENT"));
    environment.items = {
        {QStringLiteral("XDG_STATE_HOME"),
         QStringLiteral("The per-user folder (of --user-dir, and of the settings snapshots) is "
                        "$XDG_STATE_HOME/torvan60 when it is an absolute path.")},
        {QStringLiteral("HOME"), QStringLiteral("Otherwise the per-user folder is $HOME/.local/state/torvan60.")},
        {QStringLiteral("XDG_RUNTIME_DIR"),
         QStringLiteral("The board is served on $XDG_RUNTIME_DIR/torvan60/SERIAL.sock when it is an absolute path, "
                        "else in torvan60-UID under the temporary folder ($TMPDIR or /tmp).")},
        {QStringLiteral("QT_QPA_PLATFORM"),
         QStringLiteral("Qt's display platform: offscreen runs without a display (as --check does in scripts).")},
        {QStringLiteral("LANGUAGE, LC_ALL, LC_MESSAGES, LANG"),
         QStringLiteral("The language of the window when --lang is not given: the first of these set names it "
                        "(LANGUAGE may list several, in order of preference); English where there is no "
                        "translation.")}};
    ManSection files(QStringLiteral("FILES"));
    files.items = {
        {QStringLiteral("log.txt"),
         QStringLiteral("The event log, in the folder the window runs in; it starts afresh once it has grown past "
                        "2,000,000 bytes.")},
        {QStringLiteral("~/.local/state/torvan60/"),
         QStringLiteral("The per-user folder of --user-dir (under $XDG_STATE_HOME when set), where the desktop "
                        "menu entry runs the window.")},
        {QStringLiteral("faults/fault-YYYYMMDD-HHMMSS.csv"),
         QStringLiteral("Fault records: the minute of live data before a fault and the 5 seconds after, in the "
                        "folder the window runs in; the 50 newest are kept.")},
        {QStringLiteral("~/.local/state/torvan60/snapshots/SERIAL/"),
         QStringLiteral("The board's settings saved before each firmware update, which the Records page lists with "
                        "Compare and Restore (under $XDG_STATE_HOME when set).")},
        {QStringLiteral("recent-recordings.txt"),
         QStringLiteral("The recordings opened recently, listed on the Records page.")},
        {QStringLiteral("*.tvs"),
         QStringLiteral("Settings files: INI files with the groups DriverSettings and TrajectorySettings.")},
        {QStringLiteral("release/*.png, Torvan-IFU-Graphics2.ico"),
         QStringLiteral("The pictures and the window icon: from the working folder when there, else from "
                        "share/torvan60 of the installation.")},
        {QStringLiteral("$XDG_RUNTIME_DIR/torvan60/SERIAL.sock"),
         QStringLiteral("The local socket of the board the window holds (not with --no-service).")}};
    ManSection examples(QStringLiteral("EXAMPLES"));
    examples.examples = {{QStringLiteral("torvan60 --simulate"), QStringLiteral("The window on a simulated board:")},
                         {QStringLiteral("torvan60 --simulate=outdated"),
                          QStringLiteral("Practises the firmware update on a board with an older application:")},
                         {QStringLiteral("torvan60 --serial SIM60-000002 --simulate-boards=2"),
                          QStringLiteral("Only the second of two boards:")},
                         {QStringLiteral("QT_QPA_PLATFORM=offscreen torvan60 --simulate --check"),
                          QStringLiteral("Where the pictures are found and the log goes, without a display:")}};
    ManSection seeAlso(QStringLiteral("SEE ALSO"));
    seeAlso.text = QStringLiteral("torvan60ctl(1), the same powers on the command line.");
    page.sections = {description, options, simulated, exit, environment, files, examples, seeAlso};
    return page;
}
