#include "opening/openingdesktop.h"

#include <QApplication>
#include <QFileInfo>

#include "opening/execline.h"

OpeningDesktop::OpeningDesktop(DesktopService& desktop, MessageService& messages, const QString& preferencesFile,
                               const QString& programFile, DesktopFolders folders, Chooser chooser)
    : desktop_(desktop), messages_(messages), preferencesFile_(preferencesFile), programFile_(programFile),
      folders_(std::move(folders)), chooser_(std::move(chooser))
{
    if (!chooser_)
        chooser_ = [](QWidget* parent, const QString& path, const std::vector<DesktopApp>& apps) {
            return ChooseProgram(parent, path, apps);
        };
}

bool OpeningDesktop::OpenWithProgram(const QString& path)
{
    return Open(QApplication::activeWindow(), path, false);
}

bool OpeningDesktop::OpenWithChooser(QWidget* parent, const QString& path)
{
    return Open(parent, path, true);
}

std::vector<DesktopApp> OpeningDesktop::OfferedApps(const QString& path) const
{
    std::vector<DesktopApp> apps = AppsForType(FileMimeType(path), folders_);
    std::erase_if(apps, [this](const DesktopApp& app) { return IsKumolist(app, programFile_); });
    return apps;
}

bool OpeningDesktop::Open(QWidget* parent, const QString& path, bool ask)
{
    OpenPlan plan;
    if (ask)
        plan.way = OpenPlan::Ask;
    else
        plan = PlanOpen(path, LoadOpenPrograms(preferencesFile_), folders_, programFile_);
    switch (plan.way) {
    case OpenPlan::Command:
        return Start(parent, plan.command, path);
    case OpenPlan::Desktop:
        if (desktop_.OpenWithProgram(path)) return true;
        messages_.ShowMessage(parent, "プログラムを起動出来ません: " + QFileInfo(path).fileName());
        return false;
    case OpenPlan::Ask:
        break;
    }
    const std::optional<OpenChoice> choice = chooser_(parent, path, OfferedApps(path));
    if (!choice) return false;   // cancelled
    if (RunsKumolist(choice->command, programFile_)) {
        messages_.ShowMessage(parent, "Kumolist 自身ではファイルを開けません。別のプログラムを指定して下さい");
        return false;
    }
    if (choice->always) {
        const QString type = FileTypeKey(path);
        if (type.isEmpty() || !SaveOpenProgram(preferencesFile_, type, choice->command))
            messages_.ShowMessage(parent, "このプログラムを設定に保存出来ません");
    }
    return Start(parent, choice->command, path);
}

bool OpeningDesktop::Start(QWidget* parent, const QString& command, const QString& path)
{
    if (StartCommandForFile(command, path)) return true;
    messages_.ShowMessage(parent, "プログラムを起動出来ません: " + command);
    return false;
}
