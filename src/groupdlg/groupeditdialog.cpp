#include "groupdlg/groupeditdialog.h"

#include <algorithm>
#include <optional>

#include <QLineEdit>

#include "db/schema.h"
#include "db/session.h"
#include "text/cp932.h"
#include "text/textutil.h"

GroupEditDialog::GroupEditDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : GroupDetailsDialog(db, settings, platform, QStringLiteral("グループ編集"), QStringLiteral("編集登録(&S)"),
                         parent)
{
    setObjectName(QStringLiteral("GroupEditDialog"));
}

void GroupEditDialog::FormShow()
{
    numberEdit->setText(QString::number(editedGroupNumber));
    ClearFields();

    TextRow row(kCatalogueColumnCount);
    db_.SelectRecords("*", kCatalogueTable, "N=" + IntToStr(editedGroupNumber), "");
    db_.ReadFirstRecord(row);
    db_.CloseSelect();

    // No row found leaves every field empty, the number too.
    numberEdit->setText(ToQ(row[kColN]));
    const std::vector<QLineEdit*> fields = TextFields();
    for (size_t i = 0; i < fields.size(); ++i) fields[i]->setText(ToQ(row[kColGrpName + i]));
    shownRow_ = row;
    keptX_ = row[kColX];
    keptY_ = row[kColY];
    FocusGroupName();
}

void GroupEditDialog::StoreGroup()
{
    const int number = StrToIntOrZero(FromQLossy(numberEdit->text()));

    if (RefuseQuotes()) return;

    // A field the user did not change keeps its stored bytes, also those that have no
    // Unicode form and show as a replacement character.
    std::vector<std::string> values{IntToStr(number)};
    // No row was found when shown (the number field is empty): nothing to update.
    bool ok = number != 0;
    const std::vector<QLineEdit*> fields = TextFields();
    for (size_t i = 0; i < fields.size() && ok; ++i) {
        const std::string& stored = shownRow_[kColGrpName + i];
        std::optional<std::string> text = fields[i]->text() == ToQ(stored) ? stored : FromQ(fields[i]->text());
        ok = text.has_value();
        if (ok) values.push_back(TextLiteral(*text));
    }
    StoreResult result = StoreResult::Failed;
    if (ok) {
        // A NULL position reads as empty text and goes back as NULL ("X=," is no statement).
        values.push_back(keptX_.empty() ? "NULL" : keptX_);
        values.push_back(keptY_.empty() ? "NULL" : keptY_);
        result = StoreIfUnchanged(number, values);
    }
    if (result == StoreResult::Changed) {
        platform_.messages->ShowMessage(
            this, QStringLiteral("他の利用者がこのグループを変更または削除しました。閉じてから開き直して下さい。"));
        return;
    }
    if (result == StoreResult::Failed) {
        platform_.messages->ShowMessage(this, QStringLiteral("編集登録失敗"));
        return;
    }
    platform_.messages->ShowMessage(this, QStringLiteral("編集登録OK"));
    editedGroupNumber = number;
    accept();
}

GroupEditDialog::StoreResult GroupEditDialog::StoreIfUnchanged(int number, const std::vector<std::string>& values)
{
    // Read again and write in one unit: the row written is the row the user edited, not
    // one that another copy has put in its place since.
    const std::string condition = "N=" + IntToStr(number);
    if (!db_.BeginWork()) return StoreResult::Failed;
    TextRow row(kCatalogueColumnCount);
    db_.SelectRecords("*", kCatalogueTable, condition, "");
    db_.ReadFirstRecord(row);
    db_.CloseSelect();
    bool ok = db_.LastFailure() == DbFailure::None;
    if (ok && !std::equal(row.begin(), row.begin() + kColX, shownRow_.begin())) {
        db_.RollbackWork();
        return StoreResult::Changed;
    }
    const auto& columns = CatalogueColumns();
    // An update that finds no row fails: the group was deleted meanwhile.
    ok = ok && db_.UpdateRecord(kCatalogueTable, static_cast<int>(columns.size()), columns, values, condition);
    if (ok) return db_.CommitWork() ? StoreResult::Stored : StoreResult::Failed;
    db_.RollbackWork();
    return StoreResult::Failed;
}
