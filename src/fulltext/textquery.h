#pragma once
// What the user types to search the drawings' texts, read into the engine's query:
// blanks separate words that must all occur, "…" keeps a phrase, -word excludes, OR
// between words lets either do. Every word goes to the engine quoted, so that nothing the
// user types is taken for the engine's own syntax (columns, scripts, options).
#include <QString>
#include <QStringList>

struct TextQuery {
    QString engineQuery;   // empty: nothing to look for (no word that must occur)
    QStringList words;     // the words that may match, folded, for marking the match
};

TextQuery ParseTextQuery(const QString& typed);
