#include "fulltext/textquery.h"

#include <vector>

#include "fulltext/textfold.h"

namespace {

struct Token {
    QString text;
    bool quoted = false;
    bool excluded = false;
};

bool IsBlank(QChar c) { return c.isSpace() || c == QChar(0x3000) || c.category() == QChar::Other_Control; }
bool IsQuote(QChar c) { return c == u'"' || c == QChar(0xFF02) || c == QChar(0x201C) || c == QChar(0x201D); }
bool IsMinus(QChar c) { return c == u'-' || c == QChar(0xFF0D) || c == QChar(0x2212); }

std::vector<Token> Tokens(const QString& s)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < s.size()) {
        if (IsBlank(s[i])) {
            ++i;
            continue;
        }
        Token t;
        if (IsMinus(s[i]) && i + 1 < s.size() && !IsBlank(s[i + 1])) {
            t.excluded = true;
            ++i;
        }
        if (IsQuote(s[i])) {
            // A phrase runs to the closing quote, or to the end when there is none.
            t.quoted = true;
            ++i;
            for (; i < s.size() && !IsQuote(s[i]); ++i) t.text += IsBlank(s[i]) ? QChar(u' ') : s[i];
            ++i;
        } else {
            while (i < s.size() && !IsBlank(s[i])) t.text += s[i++];
        }
        if (!t.text.trimmed().isEmpty()) tokens.push_back(std::move(t));
    }
    return tokens;
}

bool IsOr(const Token& t) { return !t.quoted && !t.excluded && (t.text == QStringLiteral("OR") || t.text == QStringLiteral("ＯＲ")); }

QString Quoted(const QString& word)
{
    QString q = "\"";
    for (QChar c : word) {
        if (c == u'"' || c == u'\\') q += u'\\';
        q += c;
    }
    return q + u'"';
}

} // namespace

TextQuery ParseTextQuery(const QString& typed)
{
    const std::vector<Token> tokens = Tokens(typed);
    // Groups of alternatives that must all occur, and the words that must not.
    std::vector<QStringList> required;
    QStringList excluded;
    bool joinNext = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const bool hasLeft = !required.empty() && i > 0 && !tokens[i - 1].excluded;
        const bool hasRight = i + 1 < tokens.size() && !tokens[i + 1].excluded && !IsOr(tokens[i + 1]);
        if (IsOr(t) && hasLeft && hasRight) {
            joinNext = true;
            continue;
        }
        if (t.excluded) {
            excluded << t.text;
        } else if (joinNext) {
            required.back() << t.text;
        } else {
            required.push_back({t.text});
        }
        joinNext = false;
    }
    TextQuery query;
    if (required.empty()) return query;
    QStringList parts;
    for (const QStringList& alternatives : required) {
        QStringList quoted;
        for (const QString& w : alternatives) {
            quoted << Quoted(w);
            query.words << FoldText(w).text;
        }
        parts << (quoted.size() == 1 ? quoted.front() : "(" + quoted.join(" OR ") + ")");
    }
    for (const QString& w : excluded) parts << "-" + Quoted(w);
    query.engineQuery = parts.join(u' ');
    return query;
}
