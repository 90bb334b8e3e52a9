#pragma once
// The group create dialog: proposes the next group number and inserts a new row into
// the group catalogue. The caller shows it with exec(); accepted, it has inserted the
// row of createdGroupNumber.
#include <functional>
#include <string>

#include "board/board.h"
#include "groupdlg/groupdetails.h"

class GroupCreateDialog : public GroupDetailsDialog {
    Q_OBJECT
public:
    GroupCreateDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
           QWidget* parent = nullptr);

    int createdGroupNumber = 0;    // number of the inserted row; valid when accepted

    // Where the board puts a group of that name and picture (CP932), so that the new
    // group is stored where it is shown; without it the group is stored at 0, 0.
    using Placement = std::function<BoardPoint(const std::string& name, const std::string& iconFile)>;
    void SetPlacement(Placement placement) { placement_ = std::move(placement); }

    void FormShow() override;
    void StoreGroup() override;   // store

private:
    // One above the highest number in use (gaps are never filled); 1 for an empty
    // catalogue; 0 when the highest is the largest number there is.
    int ProposedNumber();

    Placement placement_;
};
