#include "groupdlg/groupcreatedialog.h"

#include <QLineEdit>
#include <QPushButton>

#include "board/commands.h"
#include "db/schema.h"
#include "db/session.h"
#include "store/reads.h"
#include "text/cp932.h"
#include "text/textutil.h"

GroupCreateDialog::GroupCreateDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : GroupDetailsDialog(db, settings, platform, QStringLiteral("グループ作成"), QStringLiteral("作成(&M)"), parent)
{
    setObjectName(QStringLiteral("GroupCreateDialog"));
}

int GroupCreateDialog::ProposedNumber()
{
    const NextNumbers next = NextGroupNumber(db_);
    return next.Ok() ? next.first : 0;
}

void GroupCreateDialog::FormShow()
{
    storeButton->setEnabled(true);
    FocusGroupName();
    if (!db_.Connected()) {
        storeButton->setEnabled(false);
        return;
    }
    // The first group of a database brings the catalogue table with it.
    // A catalogue that could not be asked about is not made again.
    const std::optional<bool> catalogue = TablePresent(db_, kCatalogueTable);
    if (!catalogue || (!*catalogue && !CreateCatalogueTable(db_))) storeButton->setEnabled(false);
    const int number = ProposedNumber();
    numberEdit->setText(number ? QString::number(number) : QString());
    authorEdit->setText(ToQ(settings_.userName));
    // The other fields keep what the user last left in them.
}

void GroupCreateDialog::StoreGroup()
{
    // Another copy of the program may have added a group since the dialog was shown.
    const NextNumbers next = NextGroupNumber(db_);
    if (!next.Ok()) {
        numberEdit->clear();
        // A catalogue that could not be read has numbers left: the store failed.
        platform_.messages->ShowMessage(this, next.status == NextNumbers::Status::Full
                                                  ? QString::fromUtf8(kNoGroupNumberLeft)
                                                  : QStringLiteral("登録失敗"));
        return;
    }
    const int number = next.first;
    numberEdit->setText(QString::number(number));

    if (RefuseQuotes()) return;

    std::vector<std::string> values{IntToStr(number)};
    bool ok = AppendTextLiterals(values);
    if (ok) {
        values.push_back("0");   // X: inserted at the top left of the board,
        values.push_back("0");   // Y
        // then moved, in the same unit, to a free place of the board, so that it is
        // stored where it is shown and never hides under another group.
        BoardPoint place;
        if (placement_)
            place = placement_(FromQ(nameEdit->text()).value_or(std::string()),
                               FromQ(pictureEdit->text()).value_or(std::string()));
        const auto& columns = CatalogueColumns();
        ok = db_.BeginWork();
        if (ok) ok = db_.InsertRecord(kCatalogueTable, static_cast<int>(columns.size()), columns, values);
        if (ok && place != BoardPoint{})
            ok = db_.UpdateRecordText(kCatalogueTable, PositionSetText(place.x, place.y), GroupCondition(number));
        if (ok)
            ok = db_.CommitWork();
        else if (db_.InWork())
            db_.RollbackWork();
    }
    if (!ok) {
        platform_.messages->ShowMessage(this, QStringLiteral("登録失敗"));
        return;
    }
    platform_.messages->ShowMessage(this, QStringLiteral("登録OK"));
    createdGroupNumber = number;
    accept();
}
