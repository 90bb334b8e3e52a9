#pragma once
// The group edit dialog: loads one row of the group catalogue and writes it back,
// position included as it was read. The caller sets editedGroupNumber and shows it with
// exec(); accepted, the row of editedGroupNumber was updated.
#include <string>
#include <vector>

#include "db/schema.h"
#include "db/session.h"
#include "groupdlg/groupdetails.h"
#include "store/records.h"
#include "store/writes.h"

class GroupEditDialog : public GroupDetailsDialog {
    Q_OBJECT
public:
    GroupEditDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
           QWidget* parent = nullptr);

    int editedGroupNumber = 0;   // in: the group to edit; out: the number stored

    void FormShow() override;
    void StoreGroup() override;   // store the edit

private:
    // Updates the row when it still holds, up to the picture, what was shown.
    WriteOutcome StoreIfUnchanged(const GroupRecord& edited);

    // The row as read when shown; its position is written back unchanged.
    GroupRecord shown_;
};
