#include "links/rootmapdialog.h"

#include <optional>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "db/schema.h"
#include "settings/preferences.h"
#include "text/cp932.h"

RootMapDialog::RootMapDialog(const Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform)
{
    setObjectName("RootMapDialog");
    setWindowTitle("Windows と共有するフォルダ");
    setModal(true);
    resize(560, 280);
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel("Windows のパソコンが別の名前で見ているフォルダを登録します（例 Z:\\ と /mnt/zumen/、"
                            "\\\\server\\share\\ と /mnt/share/）。"
                            "このフォルダの下のファイルは Windows の名前で登録され、Windows の名前で登録されたファイルはこのフォルダで開きます。",
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    table = new QTableWidget(0, 2, this);
    table->setObjectName("table");
    // Short enough for half the table's width; the examples stand in the note above.
    table->setHorizontalHeaderLabels({"Windows のフォルダ", "このパソコンのフォルダ"});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setVisible(false);
    layout->addWidget(table, 1);

    auto* buttons = new QHBoxLayout;
    addButton = new QPushButton("追加(&A)", this);
    addButton->setObjectName("addButton");
    removeButton = new QPushButton("削除(&D)", this);
    removeButton->setObjectName("removeButton");
    buttons->addWidget(addButton);
    buttons->addWidget(removeButton);
    buttons->addStretch(1);
    auto* box = new QDialogButtonBox(this);
    okButton = box->addButton("OK", QDialogButtonBox::AcceptRole);
    okButton->setObjectName("okButton");
    cancelButton = box->addButton("キャンセル", QDialogButtonBox::RejectRole);
    cancelButton->setObjectName("cancelButton");
    buttons->addWidget(box);
    layout->addLayout(buttons);

    connect(addButton, &QPushButton::clicked, this, [this] {
        table->insertRow(table->rowCount());
        table->setCurrentCell(table->rowCount() - 1, 0);
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (table->currentRow() >= 0) table->removeRow(table->currentRow());
    });
    connect(okButton, &QPushButton::clicked, this, &RootMapDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &RootMapDialog::reject);
}

bool RootMapDialog::Edit(const QString& preferencesFile, RootMappings& mappings)
{
    table->setRowCount(0);
    for (const RootMapping& m : mappings) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(ToQ(m.windowsRoot)));
        table->setItem(row, 1, new QTableWidgetItem(ToQ(m.linuxFolder)));
    }
    if (exec() != QDialog::Accepted) return false;
    if (!SaveRootMappings(preferencesFile, edited_)) {
        platform_.messages->ShowMessage(this, "設定を保存出来ませんでした");
        return false;
    }
    mappings = edited_;
    return true;
}

void RootMapDialog::accept()
{
    RootMappings read;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString windows = table->item(row, 0) ? table->item(row, 0)->text().trimmed() : QString();
        const QString onLinux = table->item(row, 1) ? table->item(row, 1)->text().trimmed() : QString();
        if (windows.isEmpty() && onLinux.isEmpty()) continue;
        const std::optional<std::string> w = FromQExact(windows), l = FromQExact(onLinux);
        const QString line = QString::number(row + 1) + " 行目: ";
        if (!w || !l) {
            platform_.messages->ShowMessage(this, line + "名前にシフトJISで表せない文字があります");
            return;
        }
        RootMapping m{*w, *l};
        if (!IsUsableMapping(m) || w->size() > kFileTextWidth || l->size() > kFileTextWidth) {
            platform_.messages->ShowMessage(this, line + "Windows のフォルダは「Z:\\」か「\\\\server\\share\\」の形で、"
                                                         "このパソコンのフォルダは「/」で始めて下さい");
            return;
        }
        if (read.size() >= static_cast<size_t>(kMaxRootMappings)) break;
        read.push_back(std::move(m));
    }
    edited_ = std::move(read);
    QDialog::accept();
}
