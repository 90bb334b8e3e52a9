#pragma once
// Text folded as the index folds it (NFKC, case, katakana to hiragana, the middle dots
// and the hyphens and long vowel marks made one), with where each folded character came
// from: the index says which drawings match, this says where, for the text shown around
// the match and the box of the matching text.
#include <vector>

#include <QString>
#include <QStringView>

struct FoldedText {
    QString text;
    // Per folded character, the index in the source of the character it came from, and
    // one more entry: the source's length.
    std::vector<qsizetype> origin;
};

FoldedText FoldText(const QString& source);
// The same into a buffer kept for the next piece (its allocations reused); origins count
// in the piece.
void FoldInto(FoldedText& out, QStringView source);

// Where the first of the words (folded already) occurs in the source: [begin, end) in
// the source's characters, the earliest and then the longest; begin -1 when none does.
struct SourceRange {
    qsizetype begin = -1, end = -1;
};
SourceRange FindFirst(const FoldedText& folded, const QStringList& foldedWords, qsizetype from = 0);
