#pragma once
// Test doubles of the platform services: they record what the program showed and asked,
// and answer from queues the test fills.
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QIcon>
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
        if (onAsk) onAsk(text);
        if (nextAnswers.empty()) return false;
        bool a = nextAnswers.front();
        nextAnswers.pop_front();
        return a;
    }
    int Choose(QWidget*, const QString& text, const QStringList& buttons) override
    {
        asked.push_back(text);
        choices.push_back(buttons);
        if (onAsk) onAsk(text);
        if (nextChoices.empty()) return 0;
        const int c = nextChoices.front();
        nextChoices.pop_front();
        return c;
    }
    QStringList shown;
    QStringList details;   // one per shown message, empty when it had none
    QList<QStringList> choices;   // the buttons of each Choose
    std::deque<int> nextChoices;   // an empty queue presses the default (the first)
    QStringList asked;
    std::deque<bool> nextAnswers;   // Yes = true; an empty queue answers No
    std::function<void(const QString&)> onAsk;   // lets a test act while the user is asked
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
    QString ChooseFolder(QWidget*, const QString& title, const QString&) override
    {
        folderTitles.push_back(title);
        if (nextFolders.empty()) return {};
        QString r = nextFolders.front();
        nextFolders.pop_front();
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
    QStringList folderTitles;
    std::deque<QString> nextFolders;   // an empty queue means cancelled
    int nextFilter = -1;                     // the filter the user ends with; -1: the one selected at start
};

class FakeDesktop : public DesktopService {
public:
    bool OpenWithProgram(const QString& path) override
    {
        opened.push_back(path);
        return openResult;
    }
    bool OpenWithChooser(QWidget*, const QString& path) override
    {
        chooserOpened.push_back(path);
        return openResult;
    }
    QIcon FileIcon(const QString& path) override
    {
        iconsAsked.push_back(path);
        return icon;
    }
    bool ShowInFolder(const QString& path) override
    {
        shownInFolder.push_back(path);
        return true;
    }
    void CopyText(const QString& text) override { copiedTexts.push_back(text); }
    QStringList shownInFolder;
    QStringList copiedTexts;
    QStringList opened;
    QStringList chooserOpened;   // opened through the program chooser
    QStringList iconsAsked;
    QIcon icon;   // the icon of every file
    bool openResult = true;
};

// Progress displays that answer "cancelled" from the update given on.
class FakeProgress : public ProgressService {
public:
    std::unique_ptr<ProgressDisplay> Start(QWidget*, const QString& label, int total) override
    {
        labels.push_back(label);
        totals.push_back(total);
        lastDone.push_back(-1);
        return std::make_unique<Display>(*this, lastDone.size() - 1);
    }
    QStringList labels;         // one per display started
    std::vector<int> totals;
    std::vector<int> lastDone;  // the last update of each display, -1 for none
    int cancelAt = -1;          // Update(done) with done >= cancelAt answers cancelled; -1 never
    std::function<void(int done)> onUpdate;   // lets a test look at the program meanwhile

private:
    class Display : public ProgressDisplay {
    public:
        Display(FakeProgress& owner, size_t index) : owner_(owner), index_(index) {}
        bool Update(int done) override
        {
            owner_.lastDone[index_] = done;
            if (owner_.onUpdate) owner_.onUpdate(done);
            return owner_.cancelAt < 0 || done < owner_.cancelAt;
        }

    private:
        FakeProgress& owner_;
        size_t index_;
    };
};

struct FakePlatform {
    FakeMessages messages;
    FakeFileDialogs fileDialogs;
    FakeDesktop desktop;
    FakeProgress progress;
    Platform platform{&messages, &fileDialogs, &desktop, &progress};
};
