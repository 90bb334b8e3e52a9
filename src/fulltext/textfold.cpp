#include "fulltext/textfold.h"

#include <QStringList>

namespace {

bool IsMiddleDot(char32_t c)
{
    switch (c) {
    case 0x00B7: case 0x0387: case 0x2022: case 0x2027: case 0x2219: case 0x22C5: case 0x30FB: case 0xFF65:
        return true;
    default:
        return false;
    }
}

bool IsHyphenOrLongVowel(char32_t c)
{
    return c == u'-' || (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0x2043 || c == 0x02D7 || c == 0x30FC ||
           c == 0xFF70 || c == 0xFE63 || c == 0xFF0D || c == 0x2500 || c == 0x2501;
}

// Half-width voiced marks and the combining ones: NFKC joins them with the kana before.
bool IsVoicedMark(QChar c) { return c == QChar(0xFF9E) || c == QChar(0xFF9F) || c == QChar(0x3099) || c == QChar(0x309A); }

} // namespace

FoldedText FoldText(const QString& source)
{
    FoldedText out;
    FoldInto(out, source);
    return out;
}

void FoldInto(FoldedText& out, QStringView source)
{
    out.text.clear();
    out.origin.clear();
    out.text.reserve(source.size());
    out.origin.reserve(static_cast<size_t>(source.size()) + 1);
    qsizetype i = 0;
    while (i < source.size()) {
        const QChar q = source[i];
        const char16_t u = q.unicode();
        const bool nextVoiced = i + 1 < source.size() && IsVoicedMark(source[i + 1]);
        // Most characters fold without the tables: those NFKC leaves alone and case folding
        // too, and the full-width letters and digits, which are ASCII shifted.
        if (!nextVoiced && !q.isSurrogate()) {
            char16_t f = 0;
            if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3041 && u <= 0x3096)) {
                out.text += q;   // kanji and hiragana, the bulk of the texts
                out.origin.push_back(i++);
                continue;
            }
            if (u >= 0xFF01 && u <= 0xFF5E)
                f = static_cast<char16_t>(u - 0xFEE0);
            else if (u == 0x3000)
                f = u' ';
            else if (u < 0x80 || (q.decompositionTag() == QChar::NoDecomposition && q.toCaseFolded() == q))
                f = u;
            if (f != 0) {
                if (f >= u'A' && f <= u'Z')
                    f = static_cast<char16_t>(f + 0x20);
                else if (f >= 0x30A1 && f <= 0x30F6)
                    f = static_cast<char16_t>(f - 0x60);
                else if (IsMiddleDot(f))
                    f = 0x00B7;
                else if (IsHyphenOrLongVowel(f))
                    f = u'-';
                out.text += QChar(f);
                out.origin.push_back(i++);
                continue;
            }
        }
        qsizetype len = source[i].isHighSurrogate() && i + 1 < source.size() ? 2 : 1;
        while (i + len < source.size() && IsVoicedMark(source[i + len])) ++len;
        const QString piece = source.mid(i, len).toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
        for (char32_t c : piece.toUcs4()) {
            if (c >= 0x30A1 && c <= 0x30F6)
                c -= 0x60;   // katakana as hiragana
            else if (IsMiddleDot(c))
                c = 0x00B7;
            else if (IsHyphenOrLongVowel(c))
                c = u'-';
            for (QChar q : QString::fromUcs4(&c, 1)) {
                out.text += q;
                out.origin.push_back(i);
            }
        }
        i += len;
    }
    out.origin.push_back(source.size());
}

SourceRange FindFirst(const FoldedText& folded, const QStringList& foldedWords, qsizetype from)
{
    qsizetype best = -1, bestLen = 0;
    for (const QString& w : foldedWords) {
        if (w.isEmpty()) continue;
        const qsizetype at = folded.text.indexOf(w, from);
        if (at >= 0 && (best < 0 || at < best || (at == best && w.size() > bestLen))) {
            best = at;
            bestLen = w.size();
        }
    }
    if (best < 0) return {};
    const auto o = [&](qsizetype k) { return folded.origin[static_cast<size_t>(k)]; };
    // The end is the first source character past the match (a folded piece may be longer).
    qsizetype end = o(best + bestLen);
    if (end <= o(best + bestLen - 1)) end = o(best + bestLen - 1) + 1;
    return {o(best), end};
}
