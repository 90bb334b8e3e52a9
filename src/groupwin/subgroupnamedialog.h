#pragma once
// The sub-group name dialog: takes the name of a new or renamed sub-group. The caller
// sets the title and the name, shows it modally and, when it ended by OK, reads
// subGroupName.
#include <string>

#include <QDialog>
#include <QString>

#include "platform/platform.h"

class QLabel;
class QLineEdit;
class QPushButton;

class SubGroupNameDialog : public QDialog {
    Q_OBJECT
public:
    SubGroupNameDialog(const Platform& platform, QWidget* parent = nullptr);

    QString dialogTitle;        // in: the caption
    std::string subGroupName;   // in: the name shown; out after OK: the name cleaned (CP932)

    // Sets title and name, shows the dialog; true and the new name after OK.
    bool Ask(const QString& title, std::string& name);

    QLabel* promptLabel = nullptr;
    QLineEdit* nameEdit = nullptr;        // 32 bytes, the width of the name column
    QPushButton* okButton = nullptr;      // the default button
    QPushButton* cancelButton = nullptr;  // Esc

public slots:
    void FormShow();
    void Accept();

protected:
    void showEvent(QShowEvent* event) override;

    const Platform& platform_;
};
