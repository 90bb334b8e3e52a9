#pragma once
// The group edit dialog: loads one row of the group catalogue and writes it back,
// position included as it was read. The caller sets EditedGroupNumber, shows it with
// exec() and then reads Done and EditedGroupNumber.
#include <string>

#include "groupdlg/groupdetails.h"

class GroupEditDialog : public GroupDetailsDialog {
    Q_OBJECT
public:
    GroupEditDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
           QWidget* parent = nullptr);

    int EditedGroupNumber = 0;   // in: the group to edit; out: the number stored
    bool Done = false;           // true only when the row was updated and the dialog closed itself

    void FormShow() override;
    void StoreGroup() override;   // store the edit

private:
    // X and Y of the row as read when shown, written back unchanged.
    std::string keptX_;
    std::string keptY_;
};
