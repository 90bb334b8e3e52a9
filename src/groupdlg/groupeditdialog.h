#pragma once
// The group edit dialog: loads one row of the group catalogue and writes it back,
// position included as it was read. The caller sets editedGroupNumber and shows it with
// exec(); accepted, the row of editedGroupNumber was updated.
#include <string>
#include <vector>

#include "db/schema.h"
#include "db/session.h"
#include "groupdlg/groupdetails.h"

class GroupEditDialog : public GroupDetailsDialog {
    Q_OBJECT
public:
    GroupEditDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
           QWidget* parent = nullptr);

    int editedGroupNumber = 0;   // in: the group to edit; out: the number stored

    void FormShow() override;
    void StoreGroup() override;   // store the edit

private:
    enum class StoreResult { Stored, Changed, Failed };
    // Updates the row when it still holds, up to ICONP, what was shown.
    StoreResult StoreIfUnchanged(int number, const std::vector<std::string>& values);

    // The row as read when shown; X and Y are written back unchanged.
    TextRow shownRow_ = TextRow(kCatalogueColumnCount);
    std::string keptX_;
    std::string keptY_;
};
