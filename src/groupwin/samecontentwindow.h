#pragma once
// "同じ内容のファイル": the entries of every group whose file holds the same content as
// the chosen entry's, with group and sub-group; a double-click opens one in its group.
#include <cstdint>

#include <QWidget>

#include "groupwin/samecontent.h"

class QLabel;
class QTreeWidget;

class SameContentWindow : public QWidget {
    Q_OBJECT
public:
    explicit SameContentWindow(QWidget* parent = nullptr);

    // The entries found for the file named; the window shown.
    void Show(const QString& fileName, const SameContentSet& entries);
    const SameContentSet& Entries() const { return entries_; }

    QTreeWidget* list = nullptr;
    QLabel* heading = nullptr;

signals:
    void OpenEntryRequested(std::int32_t group, std::int32_t entry);

private:
    SameContentSet entries_;
};
