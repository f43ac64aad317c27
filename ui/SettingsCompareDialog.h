#pragma once

#include "config/SettingsDiff.h"

#include <QDialog>

#include <vector>

class QTableWidget;

// The differences between settings (a file or a snapshot) and the board, as
// a table (setting, the file's value, the board's value), with one action
// offered on them: "Load file" or "Restore". Opened window-modal without
// blocking; accepted() means the action was chosen.
class SettingsCompareDialog : public QDialog
{
    Q_OBJECT
public:
    SettingsCompareDialog(const QString &file, const std::vector<SettingsDiff::Difference> &differences,
                          const QString &action, QWidget *parent);

    QTableWidget *table() const { return differencesTable; }

private:
    QTableWidget *differencesTable;
};
