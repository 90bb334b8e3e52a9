#include "links/linktexts.h"

#include "text/cp932.h"

QString RefusedLine(const FolderChange& change)
{
    // The form is told first: the new folder then is none this entry could be given.
    if (change.form == FormProblem::NoSharedFolder)
        return ToQ(change.entry.StoredPath()) + "（Windows の形で登録されていますが、置換後のフォルダが Windows と共有するフォルダの下にありません）";
    if (change.form == FormProblem::NotWindowsName)
        return ToQ(change.entry.StoredPath()) + "（名前に \\ か : があり、Windows の形で書けません）";
    const QString reason = change.problem == EntryProblem::ControlCharacter ? "名前に制御文字があります"
                                                                            : "フォルダ名かファイル名が255バイトを超えています";
    return ToQ(change.newFolder + change.entry.fileName) + "（" + reason + "）";
}

QString PlanSummary(const ReplacementPlan& plan)
{
    QString text = QString("置換するエントリ: %1 件（置換後にファイルがあるもの %2 件）").arg(plan.Changing()).arg(plan.Existing());
    if (plan.Refused() > 0) text += QString("\n置換出来ないエントリ: %1 件").arg(plan.Refused());
    return text;
}

QString ApplySummary(const ApplyResult& result)
{
    QString text = QString("置換したエントリ: %1 件").arg(result.changed);
    if (!result.failedGroups.empty()) {
        text += "\n次のグループは置換出来ませんでした（元のままです）。";
        for (const GroupName& g : result.failedGroups)
            text += "\n" + ToQ(g.name) + "(N:" + QString::number(g.number) + ")";
    }
    return text;
}

QString MissingLine(const LinkEntry& entry)
{
    return QString::number(entry.group) + " " + QString::number(entry.number) + " " + ToQ(entry.StoredPath());
}

QString NotAbsoluteText()
{
    return "置換後のフォルダは絶対パス（/、X:\\ または \\\\サーバー\\共有 で始まるもの）で入力して下さい";
}
