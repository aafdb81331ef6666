// "Rohteil": the box the workpiece is cut from, either the automatic one
// that the path gives or six numbers (X0, Y0, Z0 below X1, Y1, Z1). OK keeps
// the entries only when they make a box; otherwise the dialog names the
// fault and stays open.
#pragma once

#include <QDialog>

#include "workpiece_settings.h"

class QLabel;
class QLineEdit;
class QRadioButton;

class CStockBoxDialog : public QDialog {
    Q_OBJECT

public:
    // shownBox: the box in use, shown in the fields while the automatic one
    // is chosen, so that the learner starts from it.
    CStockBoxDialog(const CWorkpieceSettings& settings, const double (&shownBox)[STOCK_BOX_VALUES], QWidget* parent);

    const CWorkpieceSettings& GetSettings() const { return settings; }
    QString GetMessage() const;
    QRadioButton* GetAutomatic() const { return automatic; }
    QRadioButton* GetOwnBox() const { return ownBox; }
    QLineEdit* GetField(int index) const { return fields[index]; }

    void accept() override;

private:
    void UpdateFields();

    CWorkpieceSettings settings;
    QRadioButton* automatic = nullptr;
    QRadioButton* ownBox = nullptr;
    QLineEdit* fields[STOCK_BOX_VALUES] = {};
    QLabel* message = nullptr;
};
