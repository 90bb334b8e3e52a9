#pragma once
// The group create dialog: proposes the next group number and inserts a new row into
// the group catalogue. The caller shows it with exec(); accepted, it has inserted the
// row of createdGroupNumber.
#include "groupdlg/groupdetails.h"

class GroupCreateDialog : public GroupDetailsDialog {
    Q_OBJECT
public:
    GroupCreateDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
           QWidget* parent = nullptr);

    int createdGroupNumber = 0;    // number of the inserted row; valid when accepted

    void FormShow() override;
    void StoreGroup() override;   // store

private:
    // One above the highest number in use (gaps are never filled); 1 for an empty
    // catalogue; 0 when the highest is the largest number there is.
    int ProposedNumber();
};
