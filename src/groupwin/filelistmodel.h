#pragma once
// The rows of the group window's file list, shared by its icon, list and details
// views: nine texts and an icon per row. Rows are filled in one go, sorted in place
// and changed one at a time by the commands.
#include <string>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QIcon>

#include "groupwin/filerow.h"

class DesktopService;

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    FileListModel(DesktopService& desktop, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces every row with one reset, so the views lay out once.
    void SetRows(std::vector<FileRow> rows);
    void Clear();
    void AppendRow(FileRow row);
    void RemoveRowAt(int row);
    void SetMemo(int row, const std::string& memo);

    int Count() const { return static_cast<int>(rows_.size()); }
    const FileRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }

    // Ascending by the column, equal rows kept in their order; selections follow their rows.
    void SortByColumn(int column);

    // The icon of a file type, asked of the desktop once per type (-1: none).
    int IconIndex(const FileRow& row);

private:
    // The display texts of a row, each converted when first shown: most cells of a
    // large group never are.
    struct Shown {
        std::array<QString, kFileCellCount> text;
        unsigned ready = 0;   // bit c: text[c] is converted
    };
    const QString& Text(int row, int column) const;

    DesktopService& desktop_;
    std::vector<FileRow> rows_;
    std::vector<int> icon_;   // per row, index into icons_
    mutable std::vector<Shown> shown_;
    std::vector<QIcon> icons_;
    std::unordered_map<std::string, int> iconOfType_;
};
