#include "shell/indexcommand.h"

#include <chrono>
#include <string>

#include "text/cp932.h"

namespace {

// Progress lines at most this often: a terminal or a log file, not a display.
constexpr auto kProgressEvery = std::chrono::seconds(2);

} // namespace

int RunIndexCommandOn(DatabaseSession& session, const DrawingTextJob& job, std::ostream& out, std::ostream& err)
{
    DrawingTextCounts counts;
    std::string failure;
    auto last = std::chrono::steady_clock::now();
    const DrawingTextEnd end = ReadDrawingTexts(
        session, job, counts,
        [&](const DrawingTextCounts& c) {
            const auto now = std::chrono::steady_clock::now();
            if (c.toRead > 0 && (c.done == c.toRead || now - last >= kProgressEvery)) {
                last = now;
                err << DrawingTextProgressText(c.done, c.toRead) << "\n" << std::flush;
            }
            return true;
        },
        &failure);
    // What was stored before a failure stays stored: the summary says it either way.
    out << "図面の文字: 読み込み " << GroupedNumber(counts.stored) << "、変更なし " << GroupedNumber(counts.unchanged)
        << "、読めない図面 " << GroupedNumber(counts.unreadable.size()) << "、見つからない図面 "
        << GroupedNumber(counts.missing.size()) << "、不要になり削除 " << GroupedNumber(counts.dropped) << "\n";
    if (end == DrawingTextEnd::Lost) {
        err << "データベースとの接続が切れました。\n";
        return 2;
    }
    if (end != DrawingTextEnd::Finished) {
        err << failure << "\n";
        return 2;
    }
    for (const std::string& path : counts.unreadable) out << "読めない図面\t" << Cp932ToUtf8(path) << "\n";
    for (const std::string& path : counts.missing) out << "見つからない図面\t" << Cp932ToUtf8(path) << "\n";
    return counts.unreadable.empty() && counts.missing.empty() ? 0 : 1;
}
