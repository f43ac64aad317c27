#pragma once

#include <QObject>
#include <QString>

class QFile;

// Where log lines are shown besides the file. The window's log pane
// implements it; the core library stays free of widgets.
class LogPane
{
public:
    virtual ~LogPane() = default;
    // Appends one line as a new paragraph.
    virtual void appendLine(const QString &line) = 0;
};

// The event log: every message becomes one timestamped line, appended to a
// text file and shown in the log pane. Both are optional.
class Logger : public QObject
{
    Q_OBJECT
public:
    // A log file larger than this many bytes is started afresh: when a
    // logger opens it, and while it runs, before the next line.
    static constexpr qint64 MaxFileSizeAtStart = 2000000;
    // The event log of the window and of torvan60ctl, in the working folder.
    static QString defaultFileName() { return QStringLiteral("log.txt"); }

    Logger(QObject *parent, const QString &fileName, LogPane *pane);
    ~Logger() override;

public slots:
    void write(const QString &value);

private:
    QString stamped(const QString &value) const;
    bool writeToFile(const QString &line);
    // Says once, in the pane and on stderr, that the file lost lines.
    void tellFileProblem();

    QFile *file = nullptr;
    LogPane *pane = nullptr;
    bool timestamp = true;
    bool fileProblemTold = false;
};
