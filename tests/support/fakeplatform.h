#pragma once
// Test doubles of the platform services: they record what the program showed and asked,
// and answer from queues the test fills.
#include <deque>
#include <vector>

#include <QIcon>
#include <QMap>
#include <QString>
#include <QStringList>

#include "platform/platform.h"

class FakeMessages : public MessageService {
public:
    void ShowMessage(QWidget*, const QString& text) override
    {
        shown.push_back(text);
        details.push_back(QString());
    }
    void ShowMessageWithDetail(QWidget*, const QString& text, const QString& detail) override
    {
        shown.push_back(text);
        details.push_back(detail);
    }
    bool Confirm(QWidget*, const QString& text) override
    {
        asked.push_back(text);
        if (nextAnswers.empty()) return false;
        bool a = nextAnswers.front();
        nextAnswers.pop_front();
        return a;
    }
    QStringList shown;
    QStringList details;   // one per shown message, empty when it had none
    QStringList asked;
    std::deque<bool> nextAnswers;   // Yes = true; an empty queue answers No
};

class FakeFileDialogs : public FileDialogService {
public:
    QStringList OpenFiles(QWidget*, const OpenFileRequest& request) override
    {
        requests.push_back(request);
        if (nextFileNames.empty()) return {};
        if (request.chosenFilter) *request.chosenFilter = nextFilter >= 0 ? nextFilter : request.selectedFilter;
        QStringList r = nextFileNames.front();
        nextFileNames.pop_front();
        return r;
    }
    QString SaveFile(QWidget*, const SaveFileRequest& request) override
    {
        saveRequests.push_back(request);
        if (nextSaveNames.empty()) return {};
        QString r = nextSaveNames.front();
        nextSaveNames.pop_front();
        return r;
    }
    std::vector<OpenFileRequest> requests;
    std::deque<QStringList> nextFileNames;   // an empty queue means cancelled
    std::vector<SaveFileRequest> saveRequests;
    std::deque<QString> nextSaveNames;       // an empty queue means cancelled
    int nextFilter = -1;                     // the filter the user ends with; -1: the one selected at start
};

class FakeDesktop : public DesktopService {
public:
    bool OpenWithProgram(const QString& path) override
    {
        opened.push_back(path);
        return openResult;
    }
    QIcon FileIcon(const QString& path) override
    {
        iconsAsked.push_back(path);
        return icon;
    }
    QString DriveToNetworkPath(const QString& drive) override { return drives.value(drive); }
    bool ShowInFolder(const QString& path) override
    {
        shownInFolder.push_back(path);
        return true;
    }
    void CopyText(const QString& text) override { copiedTexts.push_back(text); }
    QStringList shownInFolder;
    QStringList copiedTexts;
    QStringList opened;
    QStringList iconsAsked;
    QIcon icon;   // the icon of every file
    bool openResult = true;
    QMap<QString, QString> drives;
};

class FakeEscape : public EscapeKey {
public:
    bool IsDown() const override { return down; }
    bool down = false;
};

struct FakePlatform {
    FakeMessages messages;
    FakeFileDialogs fileDialogs;
    FakeDesktop desktop;
    FakeEscape escape;
    Platform platform{&messages, &fileDialogs, &desktop, &escape};
};
