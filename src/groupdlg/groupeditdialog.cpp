#include "groupdlg/groupeditdialog.h"

#include <algorithm>
#include <optional>

#include <QLineEdit>

#include "db/schema.h"
#include "db/session.h"
#include "store/reads.h"
#include "text/cp932.h"
#include "text/textutil.h"

GroupEditDialog::GroupEditDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : GroupDetailsDialog(db, settings, platform, QStringLiteral("グループ編集"), QStringLiteral("編集登録(&S)"),
                         parent)
{
    setObjectName(QStringLiteral("GroupEditDialog"));
}

namespace {

// The dialog's text fields in order, as the catalogue's columns after N hold them.
std::vector<std::string*> Texts(GroupRecord& r)
{
    return {&r.name, &r.title, &r.subtitle, &r.author, &r.memo1, &r.memo2, &r.memo3, &r.picture};
}

} // namespace

void GroupEditDialog::FormShow()
{
    numberEdit->setText(QString::number(editedGroupNumber));
    ClearFields();

    // No row found, or none read, leaves every field empty, the number too.
    shown_ = ReadGroupRecord(db_, editedGroupNumber).value_or(GroupRecord{});
    numberEdit->setText(shown_.number != 0 ? QString::number(shown_.number) : QString());
    const std::vector<QLineEdit*> fields = TextFields();
    const std::vector<std::string*> texts = Texts(shown_);
    for (size_t i = 0; i < fields.size() && i < texts.size(); ++i) fields[i]->setText(ToQ(*texts[i]));
    FocusGroupName();
}

void GroupEditDialog::StoreGroup()
{
    const int number = StrToIntOrZero(FromQLossy(numberEdit->text()));

    if (RefuseQuotes()) return;

    // A field the user did not change keeps its stored bytes, also those that have no
    // Unicode form and show as a replacement character.
    GroupRecord edited = shown_;
    edited.number = number;
    // No row was found when shown (the number field is empty): nothing to update.
    bool ok = number != 0;
    const std::vector<QLineEdit*> fields = TextFields();
    const std::vector<std::string*> texts = Texts(edited);
    for (size_t i = 0; i < fields.size() && i < texts.size() && ok; ++i) {
        std::string& stored = *texts[i];
        std::optional<std::string> text = fields[i]->text() == ToQ(stored) ? stored : FromQ(fields[i]->text());
        ok = text.has_value();
        if (ok) stored = *text;
    }
    const WriteOutcome result = !ok                     ? WriteOutcome::Failed
                                : number != shown_.number ? WriteOutcome::GroupChanged
                                                          : StoreIfUnchanged(edited);
    if (result == WriteOutcome::GroupChanged) {
        platform_.messages->ShowMessage(
            this, QStringLiteral("他の利用者がこのグループを変更または削除しました。閉じてから開き直して下さい。"));
        return;
    }
    if (result != WriteOutcome::Done) {
        platform_.messages->ShowMessage(this, QStringLiteral("編集登録失敗"));
        return;
    }
    platform_.messages->ShowMessage(this, QStringLiteral("編集登録OK"));
    editedGroupNumber = number;
    accept();
}

WriteOutcome GroupEditDialog::StoreIfUnchanged(const GroupRecord& edited)
{
    // Read again and write in one unit: the row written is the row the user edited, not
    // one that another copy has put in its place since.
    const auto& columns = CatalogueColumns();
    return RunGroupWrite(db_, WriteTarget{ShownFromRecord(shown_), 0, &shown_}, false, [&] {
        // An update that finds no row fails: the group was deleted meanwhile.
        return db_.UpdateRecord(kCatalogueTable, static_cast<int>(columns.size()), columns, GroupValues(edited),
                                NumberIs(edited.number));
    });
}
