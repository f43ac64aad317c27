#include "ui/SettingsCompareDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A value with its unit, the unit's word ("steps/s²") in the window's
// language.
QString withUnit(const QVariant &value, QString unit)
{
    const QString text = SettingsDiff::valueText(value);
    unit.replace(QLatin1String("steps"), SettingsCompareDialog::tr("steps"));
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

} // namespace

SettingsCompareDialog::SettingsCompareDialog(const QString &file,
                                             const std::vector<SettingsDiff::Difference> &differences,
                                             const QString &action, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("settingsCompareDialog"));
    setWindowTitle(QCoreApplication::translate("OperatorDialogs", "Compare settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);

    const QString name = QFileInfo(file).fileName();
    auto *summary = new QLabel(
        differences.empty()
            ? tr("%1 holds the board's settings.").arg(name)
            : tr("%1 setting(s) of %2 differ from the board's.").arg(QString::number(differences.size()), name),
        this);
    summary->setObjectName(QStringLiteral("lblCompareSummary"));
    summary->setToolTip(file);
    summary->setAccessibleDescription(tr("What the comparison found"));
    layout->addWidget(summary);

    differencesTable = new QTableWidget(int(differences.size()), 3, this);
    differencesTable->setObjectName(QStringLiteral("twSettingsDifferences"));
    differencesTable->setHorizontalHeaderLabels({tr("Setting"), tr("File"), tr("Board")});
    differencesTable->setAccessibleName(tr("Settings that differ"));
    differencesTable->setAccessibleDescription(tr("Each setting with its value in %1 and on the board").arg(name));
    differencesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    differencesTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    differencesTable->verticalHeader()->hide();
    differencesTable->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < int(differences.size()); ++row) {
        const SettingsDiff::Difference &d = differences[size_t(row)];
        differencesTable->setItem(row, 0, new QTableWidgetItem(d.key));
        differencesTable->setItem(row, 1, new QTableWidgetItem(withUnit(d.a, d.unit)));
        differencesTable->setItem(row, 2, new QTableWidgetItem(withUnit(d.b, d.unit)));
    }
    differencesTable->resizeColumnsToContents();
    layout->addWidget(differencesTable);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *act = buttons->addButton(action, QDialogButtonBox::AcceptRole);
    act->setObjectName(QStringLiteral("btnCompareAction"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("btnCompareClose"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 360);
}
