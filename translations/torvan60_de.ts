<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutPage</name>
    <message>
        <source>Logo</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>Torvan60 driver control software. Copyright © 2025 Torvan Drives. All rights reserved.</source>
        <translation>Torvan60-Treibersteuerungssoftware. Copyright © 2025 Torvan Drives. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>Program version</source>
        <translation>Programmversion</translation>
    </message>
</context>
<context>
    <name>ChartCursors</name>
    <message>
        <source>No cursor placed: click the chart, or press 1 or 2 on it.</source>
        <translation>Kein Cursor gesetzt: in das Diagramm klicken oder dort 1 oder 2 drücken.</translation>
    </message>
    <message>
        <source>Cursor %1: %2</source>
        <translation>Cursor %1: %2</translation>
    </message>
    <message>
        <source>Δt: %1 s</source>
        <translation>Δt: %1 s</translation>
    </message>
</context>
<context>
    <name>ChartExport</name>
    <message>
        <source>Save image…</source>
        <translation>Bild speichern…</translation>
    </message>
    <message>
        <source>Save image at double size…</source>
        <translation>Bild in doppelter Größe speichern…</translation>
    </message>
    <message>
        <source>Save data…</source>
        <translation>Daten speichern…</translation>
    </message>
    <message>
        <source>Save chart image</source>
        <translation>Diagrammbild speichern</translation>
    </message>
    <message>
        <source>PNG image (*.png);;PDF document (*.pdf)</source>
        <translation>PNG-Bild (*.png);;PDF-Dokument (*.pdf)</translation>
    </message>
    <message>
        <source>The chart image could not be saved to %1.</source>
        <translation>Das Diagrammbild konnte nicht in %1 gespeichert werden.</translation>
    </message>
    <message>
        <source>Save chart data</source>
        <translation>Diagrammdaten speichern</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The chart data could not be saved to %1.</source>
        <translation>Die Diagrammdaten konnten nicht in %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>Charts</name>
    <message>
        <source>time / mm:ss</source>
        <translation>Zeit / mm:ss</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>Temperatur</translation>
    </message>
    <message>
        <source>Current</source>
        <translation>Strom</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>Spannung</translation>
    </message>
    <message>
        <source>temperature / °C, voltage / V</source>
        <translation>Temperatur / °C, Spannung / V</translation>
    </message>
    <message>
        <source>motor current / A</source>
        <translation>Motorstrom / A</translation>
    </message>
</context>
<context>
    <name>ConnectionDiagramsPage</name>
    <message>
        <source>Connection diagram</source>
        <translation>Anschlussplan</translation>
    </message>
</context>
<context>
    <name>DcMotorPage</name>
    <message>
        <source>Enable DC motor control</source>
        <translation>DC-Motorsteuerung aktivieren</translation>
    </message>
    <message>
        <source>PWM / %</source>
        <translation>PWM / %</translation>
    </message>
    <message>
        <source>PWM frequency ( Hz)</source>
        <translation>PWM-Frequenz (Hz)</translation>
    </message>
    <message>
        <source>C
h
a
n
n
e
l
A</source>
        <translation>K
a
n
a
l
A</translation>
    </message>
    <message>
        <source>Channel A PWM duty</source>
        <translation>Tastgrad PWM Kanal A</translation>
    </message>
    <message>
        <source>Channel A</source>
        <translation>Kanal A</translation>
    </message>
    <message>
        <source>C
h
a
n
n
e
l
B</source>
        <translation>K
a
n
a
l
B</translation>
    </message>
    <message>
        <source>Channel B PWM duty</source>
        <translation>Tastgrad PWM Kanal B</translation>
    </message>
    <message>
        <source>Channel B</source>
        <translation>Kanal B</translation>
    </message>
    <message>
        <source>PWM frequency dial</source>
        <translation>Drehregler PWM-Frequenz</translation>
    </message>
    <message>
        <source>Channel A PWM / %</source>
        <translation>Kanal A PWM / %</translation>
    </message>
    <message>
        <source>Channel B PWM / %</source>
        <translation>Kanal B PWM / %</translation>
    </message>
    <message>
        <source>PWM frequency in Hz</source>
        <translation>PWM-Frequenz in Hz</translation>
    </message>
    <message>
        <source>Send the PWM settings on every change</source>
        <translation>PWM-Einstellungen bei jeder Änderung senden</translation>
    </message>
    <message>
        <source>Auto update</source>
        <translation>Auto-Senden</translation>
    </message>
    <message>
        <source>Send the PWM settings</source>
        <translation>PWM-Einstellungen senden</translation>
    </message>
    <message>
        <source>Set PWMs</source>
        <translation>PWM setzen</translation>
    </message>
    <message>
        <source>Set both duties to zero and send them</source>
        <translation>Beide Tastgrade auf null setzen und senden</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>PWM values</source>
        <translation>PWM-Werte</translation>
    </message>
</context>
<context>
    <name>DriverControls</name>
    <message>
        <source>Full-step</source>
        <translation>Vollschritt</translation>
    </message>
    <message>
        <source>Half step</source>
        <translation>Halbschritt</translation>
    </message>
    <message>
        <source>1/4 step</source>
        <translation>1/4-Schritt</translation>
    </message>
    <message>
        <source>1/8 step</source>
        <translation>1/8-Schritt</translation>
    </message>
    <message>
        <source>1/16 step</source>
        <translation>1/16-Schritt</translation>
    </message>
    <message>
        <source>1/32 step</source>
        <translation>1/32-Schritt</translation>
    </message>
    <message>
        <source>1/64 step</source>
        <translation>1/64-Schritt</translation>
    </message>
    <message>
        <source>1/128 step</source>
        <translation>1/128-Schritt</translation>
    </message>
    <message>
        <source>1/256 step</source>
        <translation>1/256-Schritt</translation>
    </message>
    <message>
        <source>0-Force slow decay at all times</source>
        <translation>0-Immer Slow Decay</translation>
    </message>
    <message>
        <source>1-Slow decay for increasing current, mixed decay for decreasing current (indexer mode only)</source>
        <translation>1-Slow Decay bei steigendem, Mixed Decay bei fallendem Strom (nur Indexer-Modus)</translation>
    </message>
    <message>
        <source>2-Force fast decay at all times</source>
        <translation>2-Immer Fast Decay</translation>
    </message>
    <message>
        <source>3-Use mixed decay at all times</source>
        <translation>3-Immer Mixed Decay</translation>
    </message>
    <message>
        <source>4-Slow decay for increasing current, auto mixed decay for decreasing current (indexer mode only)</source>
        <translation>4-Slow Decay bei steigendem, automatisches Mixed Decay bei fallendem Strom (nur Indexer-Modus)</translation>
    </message>
    <message>
        <source>5-Use auto mixed decay at all times</source>
        <translation>5-Immer automatisches Mixed Decay</translation>
    </message>
</context>
<context>
    <name>DriverSetupPage</name>
    <message>
        <source>Basic driver setup</source>
        <translation>Grundeinstellungen</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>Select configuration settings</source>
        <translation>Konfiguration auswählen</translation>
    </message>
    <message>
        <source>Step mode</source>
        <translation>Schrittmodus</translation>
    </message>
    <message>
        <source>Select step mode</source>
        <translation>Schrittmodus (Mikroschritt) auswählen</translation>
    </message>
    <message>
        <source>Full-scale current</source>
        <translation>Maximalstrom</translation>
    </message>
    <message>
        <source>Set full-scalle current</source>
        <translation>Maximalstrom (Vollausschlag) einstellen</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>Idle current</source>
        <translation>Ruhestrom</translation>
    </message>
    <message>
        <source>Set idle current (used after 10 s without STEP/DIR activity)</source>
        <translation>Ruhestrom einstellen (gilt nach 10 s ohne STEP/DIR-Aktivität)</translation>
    </message>
    <message>
        <source>Reduced current</source>
        <translation>Reduzierter Strom</translation>
    </message>
    <message>
        <source>Set reduced current (used above the temperature limit)</source>
        <translation>Reduzierten Strom einstellen (gilt oberhalb der Temperaturgrenze)</translation>
    </message>
    <message>
        <source>Temperature limit</source>
        <translation>Temperaturgrenze</translation>
    </message>
    <message>
        <source>Set temperature limit</source>
        <translation>Temperaturgrenze einstellen</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>Driver name</source>
        <translation>Treibername</translation>
    </message>
    <message>
        <source>Set driver name</source>
        <translation>Treibernamen festlegen</translation>
    </message>
    <message>
        <source>I2C/Modbus address</source>
        <translation>I2C/Modbus-Adresse</translation>
    </message>
    <message>
        <source>Set driver I2C/Modbus address</source>
        <translation>I2C-/Modbus-Adresse des Treibers festlegen</translation>
    </message>
    <message>
        <source>0x</source>
        <translation>0x</translation>
    </message>
    <message>
        <source>Modbus config.</source>
        <translation>Modbus-Konfig.</translation>
    </message>
    <message>
        <source>Set Modbus Baudrate and Parity</source>
        <translation>Modbus-Baudrate und Parität einstellen</translation>
    </message>
    <message>
        <source>BR: 9600; P: Even</source>
        <translation>9600 Bd, gerade</translation>
    </message>
    <message>
        <source>BR: 9600; P: Odd</source>
        <translation>9600 Bd, ungerade</translation>
    </message>
    <message>
        <source>BR: 9600; P: None</source>
        <translation>9600 Bd, keine</translation>
    </message>
    <message>
        <source>BR: 19200; P: Even</source>
        <translation>19200 Bd, gerade</translation>
    </message>
    <message>
        <source>BR: 19200; P: Odd</source>
        <translation>19200 Bd, ungerade</translation>
    </message>
    <message>
        <source>BR: 19200; P: None</source>
        <translation>19200 Bd, keine</translation>
    </message>
    <message>
        <source>Enable the stand-alone mode in which the external BIN1/BIN2 buttons move the motor</source>
        <translation>Eigenständigen Betrieb aktivieren, in dem die externen Taster BIN1/BIN2 den Motor bewegen</translation>
    </message>
    <message>
        <source>Enable BINx buttons</source>
        <translation>BINx-Taster</translation>
    </message>
    <message>
        <source>Enable speed / auto run mode</source>
        <translation>Drehzahl-/Automatikbetrieb aktivieren</translation>
    </message>
    <message>
        <source>Enable Auto run</source>
        <translation>Automatiklauf</translation>
    </message>
    <message>
        <source>Enable/disable DC motor control mode</source>
        <translation>DC-Motorbetrieb ein-/ausschalten</translation>
    </message>
    <message>
        <source>DC motor mode</source>
        <translation>DC-Motorbetrieb</translation>
    </message>
    <message>
        <source>Read the driver settings and name stored in the driver</source>
        <translation>Die im Treiber gespeicherten Einstellungen und den Namen lesen</translation>
    </message>
    <message>
        <source>Read values from driver</source>
        <translation>Werte vom Treiber lesen</translation>
    </message>
    <message>
        <source>Write the settings and name to the driver and save them there permanently</source>
        <translation>Einstellungen und Namen zum Treiber schreiben und dort dauerhaft speichern</translation>
    </message>
    <message>
        <source>Write values to driver</source>
        <translation>Werte zum Treiber schreiben</translation>
    </message>
    <message>
        <source>Load driver and motion settings from a settings file</source>
        <translation>Treiber- und Bewegungseinstellungen aus einer Einstellungsdatei laden</translation>
    </message>
    <message>
        <source>Load settings from file</source>
        <translation>Einstellungen aus Datei laden</translation>
    </message>
    <message>
        <source>Show how a settings file differs from the board&apos;s settings, and load it</source>
        <translation>Zeigen, worin eine Einstellungsdatei von den Einstellungen der Platine abweicht, und sie laden</translation>
    </message>
    <message>
        <source>Compare with file…</source>
        <translation>Mit Datei vergleichen…</translation>
    </message>
    <message>
        <source>Save driver and motion settings to a settings file</source>
        <translation>Treiber- und Bewegungseinstellungen in einer Einstellungsdatei speichern</translation>
    </message>
    <message>
        <source>Save settings to file</source>
        <translation>Einstellungen in Datei speichern</translation>
    </message>
    <message>
        <source>Send every change of the driver settings to the driver at once</source>
        <translation>Jede Änderung der Treibereinstellungen sofort an den Treiber senden</translation>
    </message>
    <message>
        <source>Auto apply changes on change</source>
        <translation>Änderungen sofort übernehmen</translation>
    </message>
    <message>
        <source>Warning: changing advanced driver settings may result in permanent Torvan60 driver failure!</source>
        <translation>Warnung: Änderungen an den erweiterten Treibereinstellungen können den Torvan60-Treiber dauerhaft beschädigen!</translation>
    </message>
    <message>
        <source>Enable advanced driver setup</source>
        <translation>Erweiterte Einstellungen freigeben</translation>
    </message>
    <message>
        <source>Advanced driver setup</source>
        <translation>Erweiterte Treibereinstellungen</translation>
    </message>
    <message>
        <source>Predriver speed</source>
        <translation>Vortreiber-Tempo</translation>
    </message>
    <message>
        <source>Select predriver speed (dead time, drive time and drive current)</source>
        <translation>Geschwindigkeit des Vortreibers wählen (Totzeit, Ansteuerzeit und Ansteuerstrom)</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>Schnell</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>Langsam</translation>
    </message>
    <message>
        <source>Slowest</source>
        <translation>Sehr langsam</translation>
    </message>
    <message>
        <source>Decay mode</source>
        <translation>Decay-Modus</translation>
    </message>
    <message>
        <source>Select current decay mode</source>
        <translation>Modus des Stromabbaus (Decay) wählen</translation>
    </message>
    <message>
        <source>Adaptive blanking</source>
        <translation>Adaptive Austastung</translation>
    </message>
    <message>
        <source>Select adaptive blanking</source>
        <translation>Adaptive Austastung wählen</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>EIN</translation>
    </message>
    <message>
        <source>Blanking time</source>
        <translation>Austastzeit</translation>
    </message>
    <message>
        <source>Set current-sense blanking time</source>
        <translation>Austastzeit der Strommessung einstellen</translation>
    </message>
    <message>
        <source>us</source>
        <translation>µs</translation>
    </message>
    <message>
        <source>Blanking time in register steps of 0.02 us</source>
        <translation>Austastzeit in Registerschritten zu 0,02 µs</translation>
    </message>
    <message>
        <source>Blanking time register value</source>
        <translation>Registerwert der Austastzeit</translation>
    </message>
    <message>
        <source>Mixed decay time</source>
        <translation>Mixed-Decay-Zeit</translation>
    </message>
    <message>
        <source>Set mixed decay time (at most the fixed off time)</source>
        <translation>Mixed-Decay-Zeit einstellen (höchstens die feste Ausschaltzeit)</translation>
    </message>
    <message>
        <source>Mixed decay time in register steps of 0.5 us</source>
        <translation>Mixed-Decay-Zeit in Registerschritten zu 0,5 µs</translation>
    </message>
    <message>
        <source>Mixed decay time register value</source>
        <translation>Registerwert der Mixed-Decay-Zeit</translation>
    </message>
    <message>
        <source>Fixed off time</source>
        <translation>Ausschaltzeit</translation>
    </message>
    <message>
        <source>Set fixed off time of the current chopper</source>
        <translation>Feste Ausschaltzeit des Stromchoppers einstellen</translation>
    </message>
    <message>
        <source>Fixed off time in register steps of 0.5 us</source>
        <translation>Feste Ausschaltzeit in Registerschritten zu 0,5 µs</translation>
    </message>
    <message>
        <source>Fixed off time register value</source>
        <translation>Registerwert der festen Ausschaltzeit</translation>
    </message>
    <message>
        <source>Chopper timing: on time, blanking time, fixed off time and mixed decay time</source>
        <translation>Chopper-Zeitverlauf: Einschaltzeit, Austastzeit, feste Ausschaltzeit und Mixed-Decay-Zeit</translation>
    </message>
    <message>
        <source>Chopper timing picture</source>
        <translation>Bild des Chopper-Zeitverlaufs</translation>
    </message>
    <message>
        <source>Shortest on time: drive time or blanking time, whichever is longer</source>
        <translation>Kürzeste Einschaltzeit: Ansteuerzeit oder Austastzeit, je nachdem, welche länger ist</translation>
    </message>
    <message>
        <source>Faults</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Reset all faults</source>
        <translation>Alle Fehler zurücksetzen</translation>
    </message>
    <message>
        <source>Reset faults</source>
        <translation>Quittieren</translation>
    </message>
    <message>
        <source>Reset the faults before the driver is enabled with Run</source>
        <translation>Fehler zurücksetzen, bevor der Treiber mit „Start“ freigegeben wird</translation>
    </message>
    <message>
        <source>Auto reset on Enable ON toggle</source>
        <translation>Automatisch zurücksetzen beim Freigeben</translation>
    </message>
    <message>
        <source>Falut status notes</source>
        <translation>Hinweise zum Fehlerstatus</translation>
    </message>
    <message>
        <source>Fault status notes</source>
        <translation>Hinweise zum Fehlerstatus</translation>
    </message>
    <message>
        <source>Timing summary, settings line and driver registers</source>
        <translation>Zeitübersicht, Einstellungszeile und Treiberregister</translation>
    </message>
    <message>
        <source>Driver registers and timing summary</source>
        <translation>Treiberregister und Zeitübersicht</translation>
    </message>
</context>
<context>
    <name>FirmwarePage</name>
    <message>
        <source>Read the identity and firmware versions of the connected driver</source>
        <translation>Kennung und Firmwareversionen des angeschlossenen Treibers lesen</translation>
    </message>
    <message>
        <source>Get device info</source>
        <translation>Geräteinfo abrufen</translation>
    </message>
    <message>
        <source>Restart driver to manually update firmware</source>
        <translation>Treiber neu starten, um die Firmware manuell zu aktualisieren</translation>
    </message>
    <message>
        <source>Restart</source>
        <translation>Neustart</translation>
    </message>
    <message>
        <source>Firmware update</source>
        <translation>Firmware-Aktualisierung</translation>
    </message>
    <message>
        <source>Manual firmware update</source>
        <translation>Manuelle Firmware-Aktualisierung</translation>
    </message>
    <message>
        <source>Full update</source>
        <translation>Vollständig aktualisieren</translation>
    </message>
    <message>
        <source>Firmware update progress status</source>
        <translation>Fortschritt der Firmware-Aktualisierung</translation>
    </message>
    <message>
        <source>Firmware information</source>
        <translation>Firmware-Informationen</translation>
    </message>
    <message>
        <source>Boot loader and application versions of the connected driver</source>
        <translation>Bootloader- und Anwendungsversion des angeschlossenen Treibers</translation>
    </message>
</context>
<context>
    <name>LiveChartTools</name>
    <message>
        <source>Cursors</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>Two cursors on the %1: time, Δt, 1/Δt and the values at each. Click or drag on the chart, or press 1, 2, Left, Right or Delete on it.</source>
        <translation>Zwei Cursor (%1): Zeit, Δt, 1/Δt und die Werte an jedem. In das Diagramm klicken oder ziehen oder dort 1, 2, Links, Rechts oder Entf drücken.</translation>
    </message>
    <message>
        <source>Cursor readout of the %1</source>
        <translation>Cursor-Anzeige (%1)</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>The chart stands still while live data is still collected; press to bring it up to date</source>
        <translation>Das Diagramm steht still, die Live-Daten werden weiter gesammelt; drücken, um es zu aktualisieren</translation>
    </message>
    <message>
        <source>Hold the chart still to look at it; live data is still collected</source>
        <translation>Das Diagramm zum Betrachten anhalten; die Live-Daten werden weiter gesammelt</translation>
    </message>
</context>
<context>
    <name>LiveRecording</name>
    <message>
        <source>Record live data</source>
        <translation>Live-Daten aufzeichnen</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The file %1 cannot be written: %2.
Nothing is being recorded.</source>
        <translation>Die Datei %1 kann nicht geschrieben werden: %2.
Es wird nichts aufgezeichnet.</translation>
    </message>
    <message>
        <source>Writing %1 failed: %2.
The recording has stopped; what was written before is kept.</source>
        <translation>Das Schreiben von %1 ist fehlgeschlagen: %2.
Die Aufzeichnung wurde beendet; das bereits Geschriebene bleibt erhalten.</translation>
    </message>
    <message>
        <source>Stop recording (%1 rows)</source>
        <translation>Aufzeichnung beenden (%1 Zeilen)</translation>
    </message>
    <message>
        <source>Record…</source>
        <translation>Aufzeichnen…</translation>
    </message>
    <message>
        <source>Recording to %1; press to stop</source>
        <translation>Aufzeichnung nach %1; drücken zum Beenden</translation>
    </message>
    <message>
        <source>Record the live data to a CSV file</source>
        <translation>Live-Daten in eine CSV-Datei aufzeichnen</translation>
    </message>
</context>
<context>
    <name>LogChartsPage</name>
    <message>
        <source>Temperature chart</source>
        <translation>Temperaturdiagramm</translation>
    </message>
    <message>
        <source>Record the live data to a CSV file</source>
        <translation>Live-Daten in eine CSV-Datei aufzeichnen</translation>
    </message>
    <message>
        <source>Record…</source>
        <translation>Aufzeichnen…</translation>
    </message>
    <message>
        <source>Clear the temperature, voltage and current chart</source>
        <translation>Diagramm von Temperatur, Spannung und Strom leeren</translation>
    </message>
    <message>
        <source>Clear Temperature Log Data</source>
        <translation>Temperaturverlauf leeren</translation>
    </message>
</context>
<context>
    <name>LogPage</name>
    <message>
        <source>Event log</source>
        <translation>Ereignisprotokoll</translation>
    </message>
    <message>
        <source>Event log (also written to log.txt)</source>
        <translation>Ereignisprotokoll (wird auch in log.txt geschrieben)</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Voltage / V</source>
        <translation>Spannung / V</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Torvan60 driver supply voltage&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Versorgungsspannung des Torvan60-Treibers&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Temperature / degC</source>
        <translation>Temperatur / °C</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Torvan60 driver temperature&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Temperatur des Torvan60-Treibers&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Driver status</source>
        <translation>Treiberstatus</translation>
    </message>
    <message>
        <source>No faults detected</source>
        <translation>Keine Fehler erkannt</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Driver setup</source>
        <translation>Treiber</translation>
    </message>
    <message>
        <source>Step control</source>
        <translation>Schritttakt</translation>
    </message>
    <message>
        <source>Auto control</source>
        <translation>Positionierung</translation>
    </message>
    <message>
        <source>DC motor control</source>
        <translation>DC-Motor</translation>
    </message>
    <message>
        <source>Log charts</source>
        <translation>Diagramme</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>Aufzeichnungen</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Connection diagrams</source>
        <translation>Anschlüsse</translation>
    </message>
    <message>
        <source>Please make sure DC motor is connected to output terminals!!! Driver will be stopped.</source>
        <translation>Bitte sicherstellen, dass ein DC-Motor an den Ausgangsklemmen angeschlossen ist!!! Der Treiber wird angehalten.</translation>
    </message>
    <message>
        <source>Please make sure STEPPER MOTOR is now connected to output terminals. DC motor can suddenly move with fast speed. Driver will be stopped.</source>
        <translation>Bitte sicherstellen, dass jetzt ein SCHRITTMOTOR an den Ausgangsklemmen angeschlossen ist. Ein DC-Motor kann sich plötzlich schnell bewegen. Der Treiber wird angehalten.</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Save settings to file...</source>
        <translation>Einstellungen in Datei speichern...</translation>
    </message>
    <message>
        <source>Load settings from file...</source>
        <translation>Einstellungen aus Datei laden...</translation>
    </message>
    <message>
        <source>Compare settings with file...</source>
        <translation>Einstellungen mit Datei vergleichen...</translation>
    </message>
    <message>
        <source>%1 cannot be compared: %2.</source>
        <translation>%1 kann nicht verglichen werden: %2.</translation>
    </message>
    <message>
        <source>the board has not reported its settings</source>
        <translation>die Platine hat ihre Einstellungen nicht gemeldet</translation>
    </message>
    <message>
        <source>it is not a settings file (%1)</source>
        <translation>es ist keine Einstellungsdatei (%1)</translation>
    </message>
    <message>
        <source>Load file</source>
        <translation>Datei laden</translation>
    </message>
    <message>
        <source>Visit us at:</source>
        <translation>Besuchen Sie uns unter:</translation>
    </message>
    <message>
        <source>%1 - No device connected</source>
        <translation>%1 – Kein Gerät verbunden</translation>
    </message>
    <message>
        <source>temperature chart</source>
        <translation>Temperaturdiagramm</translation>
    </message>
    <message>
        <source>position chart</source>
        <translation>Positionsdiagramm</translation>
    </message>
    <message>
        <source>The motor is moving.</source>
        <translation>Der Motor bewegt sich.</translation>
    </message>
    <message>
        <source>1 remote client is connected; closing ends its connection.</source>
        <translation>1 entfernter Client ist verbunden; das Schließen beendet seine Verbindung.</translation>
    </message>
    <message>
        <source>%1 remote clients are connected; closing ends their connections.</source>
        <translation>%1 entfernte Clients sind verbunden; das Schließen beendet ihre Verbindungen.</translation>
    </message>
    <message>
        <source>Stop the motor and close</source>
        <translation>Motor anhalten und schließen</translation>
    </message>
    <message>
        <source>Close and leave it moving</source>
        <translation>Schließen, Motor läuft weiter</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>TCT rate: %1</source>
        <translation>TCT-Rate: %1</translation>
    </message>
    <message>
        <source>No motor power available.</source>
        <translation>Keine Motorversorgung vorhanden.</translation>
    </message>
    <message>
        <source>Driver OK</source>
        <translation>Treiber OK</translation>
    </message>
    <message>
        <source>Fault no. 0x%1 detected</source>
        <translation>Fehler Nr. 0x%1 erkannt</translation>
    </message>
    <message>
        <source>No faults detected!</source>
        <translation>Keine Fehler erkannt!</translation>
    </message>
    <message>
        <source>%1 - %2. Serial: %3</source>
        <translation>%1 – %2. Seriennummer: %3</translation>
    </message>
    <message>
        <source>AP: 0x%1, FW OK</source>
        <translation>AP: 0x%1, FW OK</translation>
    </message>
    <message>
        <source>AP: 0x%1 - Update needed</source>
        <translation>AP: 0x%1 – Aktualisierung nötig</translation>
    </message>
    <message>
        <source>Mode: %1</source>
        <translation>Modus: %1</translation>
    </message>
    <message>
        <source>Sig: %1</source>
        <translation>Sig: %1</translation>
    </message>
    <message>
        <source>Required position</source>
        <translation>Sollposition</translation>
    </message>
    <message>
        <source>Actual position</source>
        <translation>Istposition</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Geschwindigkeit</translation>
    </message>
    <message>
        <source>Position / steps</source>
        <translation>Position / Schritte</translation>
    </message>
    <message>
        <source>Speed / steps/s</source>
        <translation>Geschwindigkeit / Schritte/s</translation>
    </message>
    <message>
        <source>Required speed</source>
        <translation>Sollgeschwindigkeit</translation>
    </message>
    <message>
        <source>AcSp: %1</source>
        <translation>Ist-Geschw.: %1</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>on</source>
        <translation>ein</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>Remote clients</source>
        <translation>Entfernte Clients</translation>
    </message>
    <message>
        <source>1 remote client connected</source>
        <translation>1 entfernter Client verbunden</translation>
    </message>
    <message>
        <source>%1 remote clients connected</source>
        <translation>%1 entfernte Clients verbunden</translation>
    </message>
    <message>
        <source>Remote command from %1: %2</source>
        <translation>Befehl von %1: %2</translation>
    </message>
    <message>
        <source>Remote change from %1 replaced values not yet written: %2</source>
        <translation>Eine Änderung von %1 hat noch nicht geschriebene Werte ersetzt: %2</translation>
    </message>
    <message>
        <source>Actual speed: %1</source>
        <translation>Istgeschwindigkeit: %1</translation>
    </message>
</context>
<context>
    <name>OperatorDialogs</name>
    <message>
        <source>Error saving image</source>
        <translation>Fehler beim Speichern des Bildes</translation>
    </message>
    <message>
        <source>Error saving data</source>
        <translation>Fehler beim Speichern der Daten</translation>
    </message>
    <message>
        <source>PWM Information</source>
        <translation>PWM-Hinweis</translation>
    </message>
    <message>
        <source>PWM warning</source>
        <translation>PWM-Warnung</translation>
    </message>
    <message>
        <source>Compare settings</source>
        <translation>Einstellungen vergleichen</translation>
    </message>
    <message>
        <source>Close the window</source>
        <translation>Fenster schließen</translation>
    </message>
    <message>
        <source>Recording not started</source>
        <translation>Aufzeichnung nicht gestartet</translation>
    </message>
    <message>
        <source>Recording stopped</source>
        <translation>Aufzeichnung beendet</translation>
    </message>
    <message>
        <source>Cannot open the recording</source>
        <translation>Aufzeichnung kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Restore settings</source>
        <translation>Einstellungen wiederherstellen</translation>
    </message>
    <message>
        <source>Error connecting slot/signals</source>
        <translation>Fehler beim Verbinden von Signalen/Slots</translation>
    </message>
    <message>
        <source>Error enumerating devices</source>
        <translation>Fehler beim Auflisten der Geräte</translation>
    </message>
    <message>
        <source>Error connecting Torvan device</source>
        <translation>Fehler beim Verbinden mit dem Torvan-Gerät</translation>
    </message>
    <message>
        <source>Error writing to HID device</source>
        <translation>Fehler beim Schreiben auf das HID-Gerät</translation>
    </message>
    <message>
        <source>Error reading Torvan device</source>
        <translation>Fehler beim Lesen vom Torvan-Gerät</translation>
    </message>
    <message>
        <source>Error getting device info</source>
        <translation>Fehler beim Abrufen der Geräteinfo</translation>
    </message>
    <message>
        <source>Device firmware corruption detected.</source>
        <translation>Beschädigte Gerätefirmware erkannt.</translation>
    </message>
    <message>
        <source>Device firmware mismatch detected.</source>
        <translation>Abweichende Gerätefirmware erkannt.</translation>
    </message>
    <message>
        <source>Error updating firmware</source>
        <translation>Fehler bei der Firmware-Aktualisierung</translation>
    </message>
    <message>
        <source>No settings snapshot</source>
        <translation>Keine Einstellungssicherung</translation>
    </message>
    <message>
        <source>Settings changed by the update</source>
        <translation>Einstellungen durch die Aktualisierung geändert</translation>
    </message>
</context>
<context>
    <name>PositionControlPage</name>
    <message>
        <source>Position chart</source>
        <translation>Positionsdiagramm</translation>
    </message>
    <message>
        <source>Position slider</source>
        <translation>Positionsschieberegler</translation>
    </message>
    <message>
        <source>Trajectory speed profile settings</source>
        <translation>Einstellungen des Geschwindigkeitsprofils der Fahrt</translation>
    </message>
    <message>
        <source>Speed profile</source>
        <translation>Geschwindigkeitsprofil</translation>
    </message>
    <message>
        <source>Max speed</source>
        <translation>Max. Geschw.</translation>
    </message>
    <message>
        <source>Acceleration</source>
        <translation>Beschleunigung</translation>
    </message>
    <message>
        <source>Send the trajectory data on every change</source>
        <translation>Fahrdaten bei jeder Änderung senden</translation>
    </message>
    <message>
        <source>Auto update</source>
        <translation>Auto-Senden</translation>
    </message>
    <message>
        <source>Send the trajectory data to the driver</source>
        <translation>Fahrdaten an den Treiber senden</translation>
    </message>
    <message>
        <source>Send data</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Deceleration</source>
        <translation>Verzögerung</translation>
    </message>
    <message>
        <source>Trajectory calculation tick rate of the driver</source>
        <translation>Takt der Bahnberechnung im Treiber</translation>
    </message>
    <message>
        <source>Position control</source>
        <translation>Positionssteuerung</translation>
    </message>
    <message>
        <source>Upper limit</source>
        <translation>Obergrenze</translation>
    </message>
    <message>
        <source>Highest target position</source>
        <translation>Höchste Zielposition</translation>
    </message>
    <message>
        <source>Final position</source>
        <translation>Zielposition</translation>
    </message>
    <message>
        <source>Target position</source>
        <translation>Anzufahrende Position</translation>
    </message>
    <message>
        <source>Lower limit</source>
        <translation>Untergrenze</translation>
    </message>
    <message>
        <source>Lowest target position</source>
        <translation>Niedrigste Zielposition</translation>
    </message>
    <message>
        <source>Current position</source>
        <translation>Ist-Position</translation>
    </message>
    <message>
        <source>Enable end switch/Run-Stop</source>
        <translation>Endschalter/Start-Stopp</translation>
    </message>
    <message>
        <source>Current speed</source>
        <translation>Ist-Geschw.</translation>
    </message>
    <message>
        <source>NC type switch</source>
        <translation>Öffner (NC)</translation>
    </message>
    <message>
        <source>Set current position to zero.</source>
        <translation>Aktuelle Position auf null setzen.</translation>
    </message>
    <message>
        <source>Set zero</source>
        <translation>Nullen</translation>
    </message>
    <message>
        <source>Stop the trajectory</source>
        <translation>Fahrt anhalten</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Clear position control chart</source>
        <translation>Diagramm der Positionssteuerung leeren</translation>
    </message>
    <message>
        <source>Clear chart</source>
        <translation>Diagramm leeren</translation>
    </message>
    <message>
        <source>Navigation</source>
        <translation>Navigation</translation>
    </message>
    <message>
        <source>Large inc</source>
        <translation>Großer Schritt</translation>
    </message>
    <message>
        <source>Small inc</source>
        <translation>Kleiner Schritt</translation>
    </message>
    <message>
        <source>Move the target down by the large increment</source>
        <translation>Ziel um den großen Schritt verringern</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>Move the target down by the small increment</source>
        <translation>Ziel um den kleinen Schritt verringern</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>Move the target up by the small increment</source>
        <translation>Ziel um den kleinen Schritt erhöhen</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>Move the target up by the large increment</source>
        <translation>Ziel um den großen Schritt erhöhen</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>External</source>
        <translation>Extern</translation>
    </message>
    <message>
        <source>BIN1 steps</source>
        <translation>BIN1-Schritte</translation>
    </message>
    <message>
        <source>Steps moved for a press of BIN1</source>
        <translation>Schritte je Druck auf BIN1</translation>
    </message>
    <message>
        <source>BIN2 steps</source>
        <translation>BIN2-Schritte</translation>
    </message>
    <message>
        <source>Steps moved for a press of BIN2</source>
        <translation>Schritte je Druck auf BIN2</translation>
    </message>
    <message>
        <source>Simulate a press of the BIN1 button</source>
        <translation>Druck auf den Taster BIN1 simulieren</translation>
    </message>
    <message>
        <source>Test BIN1</source>
        <translation>BIN1 testen</translation>
    </message>
    <message>
        <source>Simulate a press of the BIN2 button</source>
        <translation>Druck auf den Taster BIN2 simulieren</translation>
    </message>
    <message>
        <source>Test BIN2</source>
        <translation>BIN2 testen</translation>
    </message>
    <message>
        <source>Let the BIN1 and BIN2 inputs move the motor</source>
        <translation>Die Eingänge BIN1 und BIN2 den Motor bewegen lassen</translation>
    </message>
    <message>
        <source>Enable BINx buttons</source>
        <translation>BINx-Taster</translation>
    </message>
    <message>
        <source>Speed mode</source>
        <translation>Drehzahlbetrieb</translation>
    </message>
    <message>
        <source>Speed slider</source>
        <translation>Geschwindigkeitsschieberegler</translation>
    </message>
    <message>
        <source>Requested speed</source>
        <translation>Sollgeschw.</translation>
    </message>
    <message>
        <source>Run in the negative direction</source>
        <translation>In negativer Richtung laufen</translation>
    </message>
    <message>
        <source>Invert direction</source>
        <translation>Richtung umkehren</translation>
    </message>
    <message>
        <source>Run the motor at the requested speed</source>
        <translation>Motor mit der Sollgeschwindigkeit laufen lassen</translation>
    </message>
    <message>
        <source>Enable Auto run</source>
        <translation>Automatiklauf</translation>
    </message>
    <message>
        <source>Speed the driver produces</source>
        <translation>Vom Treiber erzeugte Geschwindigkeit</translation>
    </message>
</context>
<context>
    <name>RecordingInfo</name>
    <message>
        <source>Cannot read %1: it is a folder.</source>
        <translation>%1 kann nicht gelesen werden: es ist ein Ordner.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2.</source>
        <translation>%1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>Not a recording of this tool: %1</source>
        <translation>Keine Aufzeichnung dieses Programms: %1</translation>
    </message>
    <message>
        <source>The file %1 is empty.</source>
        <translation>Die Datei %1 ist leer.</translation>
    </message>
    <message>
        <source>No row of %1 could be read (%2 skipped). The first: %3</source>
        <translation>Keine Zeile von %1 konnte gelesen werden (%2 übersprungen). Die erste: %3</translation>
    </message>
    <message>
        <source>The file %1 holds no live reports.</source>
        <translation>Die Datei %1 enthält keine Live-Meldungen.</translation>
    </message>
    <message>
        <source>%1: %2 rows, %3</source>
        <translation>%1: %2 Zeilen, %3</translation>
    </message>
    <message>
        <source>; reading was cancelled, the rest of the file is not shown</source>
        <translation>; das Lesen wurde abgebrochen, der Rest der Datei wird nicht angezeigt</translation>
    </message>
    <message>
        <source>; 1 row could not be read and was skipped, the first: %1</source>
        <translation>; 1 Zeile konnte nicht gelesen werden und wurde übersprungen, die erste: %1</translation>
    </message>
    <message>
        <source>; %1 rows could not be read and were skipped, the first: %2</source>
        <translation>; %1 Zeilen konnten nicht gelesen werden und wurden übersprungen, die erste: %2</translation>
    </message>
</context>
<context>
    <name>RecordsPage</name>
    <message>
        <source>&amp;Fault records</source>
        <translation>&amp;Fehleraufzeichnungen</translation>
    </message>
    <message>
        <source>The fault records of faults/ in the working folder, newest first; double-click or Enter opens one</source>
        <translation>Die Fehleraufzeichnungen in faults/ im Arbeitsordner, neueste zuerst; Doppelklick oder Eingabetaste öffnet eine</translation>
    </message>
    <message>
        <source>Fault records</source>
        <translation>Fehleraufzeichnungen</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Faults</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>&amp;Recent recordings</source>
        <translation>&amp;Letzte Aufzeichnungen</translation>
    </message>
    <message>
        <source>Recordings opened or made recently, newest first; double-click or Enter opens one</source>
        <translation>Zuletzt geöffnete oder erstellte Aufzeichnungen, neueste zuerst; Doppelklick oder Eingabetaste öffnet eine</translation>
    </message>
    <message>
        <source>Recent recordings</source>
        <translation>Letzte Aufzeichnungen</translation>
    </message>
    <message>
        <source>Settings &amp;snapshots</source>
        <translation>Einstellungs-&amp;Sicherungen</translation>
    </message>
    <message>
        <source>The connected board&apos;s settings saved before each firmware update, newest first</source>
        <translation>Die vor jeder Firmware-Aktualisierung gesicherten Einstellungen der angeschlossenen Platine, neueste zuerst</translation>
    </message>
    <message>
        <source>Settings snapshots</source>
        <translation>Einstellungssicherungen</translation>
    </message>
    <message>
        <source>Show how the chosen snapshot differs from the board&apos;s settings</source>
        <translation>Zeigen, worin die gewählte Sicherung von den Einstellungen der Platine abweicht</translation>
    </message>
    <message>
        <source>Compare</source>
        <translation>Vergleichen</translation>
    </message>
    <message>
        <source>Write the chosen snapshot&apos;s settings to the board and save them there</source>
        <translation>Die Einstellungen der gewählten Sicherung zur Platine schreiben und dort speichern</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Open a recording or a fault record (CSV) written by this tool</source>
        <translation>Eine von diesem Programm geschriebene Aufzeichnung oder Fehleraufzeichnung (CSV) öffnen</translation>
    </message>
    <message>
        <source>Open recording…</source>
        <translation>Aufzeichnung öffnen…</translation>
    </message>
    <message>
        <source>No recording open.</source>
        <translation>Keine Aufzeichnung geöffnet.</translation>
    </message>
    <message>
        <source>Reading the recording</source>
        <translation>Aufzeichnung wird gelesen</translation>
    </message>
    <message>
        <source>Stop reading the file; what was read so far stays shown</source>
        <translation>Lesen der Datei abbrechen; das bisher Gelesene bleibt angezeigt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Recorded temperature, current and voltage chart</source>
        <translation>Aufgezeichnetes Diagramm von Temperatur, Strom und Spannung</translation>
    </message>
    <message>
        <source>Recorded position and speed chart</source>
        <translation>Aufgezeichnetes Diagramm von Position und Geschwindigkeit</translation>
    </message>
    <message>
        <source>Cursors</source>
        <translation>Cursor</translation>
    </message>
</context>
<context>
    <name>RecordsTab</name>
    <message>
        <source>fault flags %1</source>
        <translation>Fehlerbits %1</translation>
    </message>
    <message>
        <source>recorded charts</source>
        <translation>aufgezeichnete Diagramme</translation>
    </message>
    <message>
        <source>Fault</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Reading %1…</source>
        <translation>%1 wird gelesen…</translation>
    </message>
    <message>
        <source>Open recording</source>
        <translation>Aufzeichnung öffnen</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>; fault at %1: %2</source>
        <translation>; Fehler um %1: %2</translation>
    </message>
    <message>
        <source>Fault: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>time of day / hh:mm:ss</source>
        <translation>Uhrzeit / hh:mm:ss</translation>
    </message>
    <message>
        <source>reading…</source>
        <translation>wird gelesen…</translation>
    </message>
    <message>
        <source>cannot be read</source>
        <translation>nicht lesbar</translation>
    </message>
    <message>
        <source>no fault</source>
        <translation>kein Fehler</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 (before an unfinished update)</source>
        <translation>%1 (vor einer nicht abgeschlossenen Aktualisierung)</translation>
    </message>
    <message>
        <source>%1 cannot be compared: %2.</source>
        <translation>%1 kann nicht verglichen werden: %2.</translation>
    </message>
    <message>
        <source>the board has not reported its settings</source>
        <translation>die Platine hat ihre Einstellungen nicht gemeldet</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Write the settings of %1 to the board and save them there?</source>
        <translation>Die Einstellungen aus %1 zur Platine schreiben und dort speichern?</translation>
    </message>
    <message>
        <source>The settings of %1 were not restored; the log says why.</source>
        <translation>Die Einstellungen aus %1 wurden nicht wiederhergestellt; das Protokoll nennt den Grund.</translation>
    </message>
    <message>
        <source>The board did not take %1 of the settings of %2; the log names them.</source>
        <translation>Die Platine hat %1 der Einstellungen aus %2 nicht übernommen; das Protokoll nennt sie.</translation>
    </message>
</context>
<context>
    <name>SettingsCompareDialog</name>
    <message>
        <source>steps</source>
        <translation>Schritte</translation>
    </message>
    <message>
        <source>%1 holds the board&apos;s settings.</source>
        <translation>%1 enthält die Einstellungen der Platine.</translation>
    </message>
    <message>
        <source>%1 setting(s) of %2 differ from the board&apos;s.</source>
        <translation>%1 Einstellung(en) in %2 weichen von denen der Platine ab.</translation>
    </message>
    <message>
        <source>What the comparison found</source>
        <translation>Ergebnis des Vergleichs</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>Einstellung</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Board</source>
        <translation>Platine</translation>
    </message>
    <message>
        <source>Settings that differ</source>
        <translation>Abweichende Einstellungen</translation>
    </message>
    <message>
        <source>Each setting with its value in %1 and on the board</source>
        <translation>Jede Einstellung mit ihrem Wert in %1 und auf der Platine</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>Torvan Setting Files (*.tvs)</source>
        <translation>Torvan-Einstellungsdateien (*.tvs)</translation>
    </message>
</context>
<context>
    <name>SignalWiring</name>
    <message>
        <source>Unexpected error occured while connecting signals.</source>
        <translation>Unerwarteter Fehler beim Verbinden der Signale.</translation>
    </message>
    <message>
        <source>Unexpected error occured while connecting signals for position changed.</source>
        <translation>Unerwarteter Fehler beim Verbinden der Signale für Positionsänderungen.</translation>
    </message>
</context>
<context>
    <name>StatusPage</name>
    <message>
        <source>Input pin statuses</source>
        <translation>Zustände der Eingangspins</translation>
    </message>
    <message>
        <source>Input statuses</source>
        <translation>Eingangszustände</translation>
    </message>
    <message>
        <source>Booloader override</source>
        <translation>Bootloader erzwingen</translation>
    </message>
    <message>
        <source>Enable axis / SLEEP</source>
        <translation>Achse freigeben / SLEEP</translation>
    </message>
    <message>
        <source>Step IN / AIN1</source>
        <translation>Step IN / AIN1</translation>
    </message>
    <message>
        <source>Dir IN / AIN2</source>
        <translation>Dir IN / AIN2</translation>
    </message>
    <message>
        <source>BIN1</source>
        <translation>BIN1</translation>
    </message>
    <message>
        <source>BIN2</source>
        <translation>BIN2</translation>
    </message>
    <message>
        <source>End switch</source>
        <translation>Endschalter</translation>
    </message>
    <message>
        <source>Driver mode</source>
        <translation>Treibermodus</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Default (ext Step/Dir)</source>
        <translation>Standard (ext. Step/Dir)</translation>
    </message>
    <message>
        <source>Step/Dir</source>
        <translation>Step/Dir</translation>
    </message>
    <message>
        <source>DC motor (2x)</source>
        <translation>DC-Motor (2x)</translation>
    </message>
    <message>
        <source>Trajectory</source>
        <translation>Fahrprofil</translation>
    </message>
    <message>
        <source>BINx Up/Down</source>
        <translation>BINx auf/ab</translation>
    </message>
    <message>
        <source>Speed / Auto run mode</source>
        <translation>Drehzahl/Automatik</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Stop the internal step generator and return to the default mode (STEP and DIR inputs follow an external controller)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Internen Schrittgenerator anhalten und in den Standardmodus zurückkehren (die Eingänge STEP und DIR folgen einer externen Steuerung)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Setzen</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Enable/disable driver. Driver can not be disabled in Torvan60 application if enabled externally.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Treiber freigeben/sperren. Ein extern freigegebener Treiber kann in der Torvan60-Anwendung nicht gesperrt werden.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Start</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>No motor power available</source>
        <translation>Keine Motorversorgung vorhanden</translation>
    </message>
    <message>
        <source>Driver Disabled (Sleep)</source>
        <translation>Treiber gesperrt (Sleep)</translation>
    </message>
    <message>
        <source>Driver Active</source>
        <translation>Treiber aktiv</translation>
    </message>
    <message>
        <source>Driver IDLE</source>
        <translation>Treiber im Ruhezustand</translation>
    </message>
    <message>
        <source>Driver Overheated</source>
        <translation>Treiber überhitzt</translation>
    </message>
    <message>
        <source>Driver in PWM mode</source>
        <translation>Treiber im PWM-Betrieb</translation>
    </message>
    <message>
        <source>Device has entered overtemperature shutdown.</source>
        <translation>Das Gerät hat wegen Übertemperatur abgeschaltet.</translation>
    </message>
    <message>
        <source>Channel A overcurrent shutdown. Please check wireing or possible short circuit.</source>
        <translation>Überstromabschaltung Kanal A. Bitte Verdrahtung und möglichen Kurzschluss prüfen.</translation>
    </message>
    <message>
        <source>Channel B overcurrent shutdown. Please check wireing or possible short circuit.</source>
        <translation>Überstromabschaltung Kanal B. Bitte Verdrahtung und möglichen Kurzschluss prüfen.</translation>
    </message>
    <message>
        <source>Channel A predriver fault. Please check driver settings.</source>
        <translation>Vortreiberfehler Kanal A. Bitte Treibereinstellungen prüfen.</translation>
    </message>
    <message>
        <source>Channel B predriver fault. Please check driver settings.</source>
        <translation>Vortreiberfehler Kanal B. Bitte Treibereinstellungen prüfen.</translation>
    </message>
    <message>
        <source>Power supply voltage too low.</source>
        <translation>Versorgungsspannung zu niedrig.</translation>
    </message>
</context>
<context>
    <name>StepControlPage</name>
    <message>
        <source>Step control</source>
        <translation>Schritttakt</translation>
    </message>
    <message>
        <source>Speed (steps/s)</source>
        <translation>Geschw. (Schritte/s)</translation>
    </message>
    <message>
        <source>Actual speed</source>
        <translation>Istgeschwindigkeit</translation>
    </message>
    <message>
        <source>Speed slider</source>
        <translation>Geschwindigkeitsschieberegler</translation>
    </message>
    <message>
        <source>Max speed (steps/s)</source>
        <translation>Höchstgeschw. (Schritte/s)</translation>
    </message>
    <message>
        <source>Maximal speed</source>
        <translation>Höchstgeschwindigkeit</translation>
    </message>
    <message>
        <source>Maximal speed dial button</source>
        <translation>Drehregler Höchstgeschwindigkeit</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Manually set speed &lt;/p&gt;&lt;p&gt;if auto update disabled&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Geschwindigkeit von Hand setzen, &lt;/p&gt;&lt;p&gt;wenn automatisches Senden aus ist&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Set frequency</source>
        <translation>Frequenz setzen</translation>
    </message>
    <message>
        <source>Auto update speed value on change</source>
        <translation>Geschwindigkeit bei Änderung automatisch senden</translation>
    </message>
    <message>
        <source>Auto update</source>
        <translation>Auto-Senden</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Set speed to zero on mouse up &lt;/p&gt;&lt;p&gt;while moving speed slider&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Geschwindigkeit beim Loslassen der Maus &lt;/p&gt;&lt;p&gt;am Schieberegler auf null setzen&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Auto stop</source>
        <translation>Auto-Stopp</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Set speed to zero and switch driver to default mode &lt;/p&gt;&lt;p&gt;(STEP and DIR inputs ready to tahe signal from external controller)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Geschwindigkeit auf null setzen und Treiber in den Standardmodus schalten &lt;/p&gt;&lt;p&gt;(die Eingänge STEP und DIR sind bereit für Signale einer externen Steuerung)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Step speed dial</source>
        <translation>Drehregler Schrittgeschwindigkeit</translation>
    </message>
</context>
<context>
    <name>TorvanDRV</name>
    <message>
        <source>Unexpected error occured while enumerating HID devices. Please try reconnecting device.</source>
        <translation>Unerwarteter Fehler beim Auflisten der HID-Geräte. Bitte das Gerät neu verbinden.</translation>
    </message>
    <message>
        <source>Unexpected error occured while connecting to a device. Please try reconnecting device.</source>
        <translation>Unerwarteter Fehler beim Verbinden mit einem Gerät. Bitte das Gerät neu verbinden.</translation>
    </message>
    <message>
        <source>Unexpected error occured while ewriting to HID device. Please try reconnecting device.</source>
        <translation>Unerwarteter Fehler beim Schreiben auf das HID-Gerät. Bitte das Gerät neu verbinden.</translation>
    </message>
    <message>
        <source>Unexpected error occured while pull-reading from a device. Please try reconnecting device.</source>
        <translation>Unerwarteter Fehler beim Lesen von einem Gerät. Bitte das Gerät neu verbinden.</translation>
    </message>
    <message>
        <source>Unexpected error occurred while getting device info. Please try reconnecting device.</source>
        <translation>Unerwarteter Fehler beim Abrufen der Geräteinfo. Bitte das Gerät neu verbinden.</translation>
    </message>
    <message>
        <source>Device firmware mismatch detected. Device FW version: 0x%1, update version: 0x%2. Click OK to restart device and update FW.</source>
        <translation>Abweichende Gerätefirmware erkannt. FW-Version des Geräts: 0x%1, Version der Aktualisierung: 0x%2. OK klicken, um das Gerät neu zu starten und die FW zu aktualisieren.</translation>
    </message>
    <message>
        <source>Device firmware mismatch detected. Device FW version: 0x%1, update version: 0x%2. Click OK to update FW.</source>
        <translation>Abweichende Gerätefirmware erkannt. FW-Version des Geräts: 0x%1, Version der Aktualisierung: 0x%2. OK klicken, um die FW zu aktualisieren.</translation>
    </message>
    <message>
        <source>Device firmware corruption detected. Click OK to update the FW.</source>
        <translation>Beschädigte Gerätefirmware erkannt. OK klicken, um die FW zu aktualisieren.</translation>
    </message>
    <message>
        <source>Unexpected error occurred while updating firmware. Please try reconnecting device.</source>
        <translation>Unerwarteter Fehler bei der Firmware-Aktualisierung. Bitte das Gerät neu verbinden.</translation>
    </message>
</context>
<context>
    <name>UpdateSnapshots</name>
    <message>
        <source>The board&apos;s settings could not be saved to %1. The firmware update runs without a snapshot of them.</source>
        <translation>Die Einstellungen der Platine konnten nicht in %1 gesichert werden. Die Firmware-Aktualisierung läuft ohne Sicherung.</translation>
    </message>
    <message>
        <source>The firmware update changed %1 of the board&apos;s settings:
%2

Restore them from %3?</source>
        <translation>Die Firmware-Aktualisierung hat %1 der Einstellungen der Platine geändert:
%2

Aus %3 wiederherstellen?</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
</context>
</TS>
