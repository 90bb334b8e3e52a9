#include "groupdlg/groupeditdialog.h"

#include <iterator>

#include <QLineEdit>

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
    Done = false;
    numberEdit->setText(QString::number(EditedGroupNumber));
    ClearFields();

    TextRow row(CatalogueColumns().size());
    db_.SelectRecords("*", kCatalogue, "N=" + IntToStr(EditedGroupNumber), "");
    db_.ReadFirstRecord(row);
    db_.CloseSelect();

    // No row found leaves every field empty, the number too.
    QLineEdit* fields[] = {numberEdit, nameEdit, titleEdit, subtitleEdit, authorEdit, memo1Edit, memo2Edit, memo3Edit, pictureEdit};
    for (size_t i = 0; i < std::size(fields); ++i) fields[i]->setText(ToQ(row[i]));
    keptX_ = row[9];
    keptY_ = row[10];
    FocusGroupName();
}

void GroupEditDialog::StoreGroup()
{
    const int number = StrToIntOrZero(FromQLossy(numberEdit->text()));

    if (RefuseQuotes()) return;

    std::vector<std::string> values{IntToStr(number)};
    // No row was found when shown (the number field is empty): an update would change
    // nothing and still succeed.
    bool ok = number != 0 && AppendTextLiterals(values);
    if (ok) {
        // A NULL position reads as empty text and goes back as NULL ("X=," is no statement).
        values.push_back(keptX_.empty() ? "NULL" : keptX_);
        values.push_back(keptY_.empty() ? "NULL" : keptY_);
        const auto& columns = CatalogueColumns();
        ok = db_.UpdateRecord(kCatalogue, static_cast<int>(columns.size()), columns, values,
                              "N=" + IntToStr(number));
    }
    if (!ok) {
        platform_.messages->ShowMessage(this, QStringLiteral("編集登録失敗"));
        return;
    }
    platform_.messages->ShowMessage(this, QStringLiteral("編集登録OK"));
    EditedGroupNumber = number;
    Done = true;
    accept();
}
