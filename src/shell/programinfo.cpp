#include "shell/programinfo.h"

#include "platform/platform.h"
#include "settings/programfiles.h"

namespace {

// The manual page (kumolist(1)) says the same at more length.
const char* const kHelpText =
    "使い方:\n"
    "  kumolist                      グループの一覧を開きます\n"
    "  kumolist --check-links [--group N]\n"
    "      ファイルが見つからないエントリを一行ずつ出力します (グループ番号、エントリ番号、パス)\n"
    "  kumolist --replace-folder 旧フォルダ 新フォルダ [--group N] [--dry-run]\n"
    "      エントリのフォルダの先頭を置き換えます\n"
    "  kumolist --index [--group N]\n"
    "      文字がまだ読み込まれていないか、変更された図面の文字をデータベースに読み込みます\n"
    "  kumolist --search 検索文字 [--in folder|name|memo|text|all] [--csv]\n"
    "      フォルダ名、ファイル名、メモ、図面の文字 (既定はすべて) を検索し、一件一行で出力します\n"
    "      (グループ番号、グループ名、サブグループ名、フォルダ、ファイル名、図面の文字はその前後)\n"
    "  kumolist --duplicates\n"
    "      同じ内容のファイルを指すエントリの組を出力します (タブ区切り、一組ごとに空行)\n"
    "  kumolist --drawing-list --group N [--sub-group S] --pdf 出力.pdf [--paper A4|A3] [--landscape]\n"
    "      グループ (またはサブグループ) の図面リストを縮小図つきの PDF に出力します\n"
    "      (登録されたファイルがなければ 1)\n"
    "  kumolist --help                この説明を出力します\n"
    "  kumolist --version             版を出力します\n"
    "\n"
    "終了コード: 0 正常、1 見つからないファイルや置き換えられないエントリ、読めない図面がある、検索で何も見つからない、\n"
    "2 使い方の誤りかデータベースに接続できない\n"
    "設定ファイル: ";

} // namespace

bool IsInfoCommand(const QStringList& arguments)
{
    const QString first = arguments.value(1);
    return first == "--help" || first == "-h" || first == "--version";
}

int RunInfoCommand(const QStringList& arguments, const QString& programFilePath, std::ostream& out)
{
    if (arguments.value(1) == "--version") {
        out << kApplicationTitle << " " << KUMO_VERSION << "\n";
    } else {
        const ProgramFiles files = LocateProgramFiles(programFilePath);
        out << kHelpText << files.settingsFile.toStdString() << "\n";
    }
    return 0;
}
