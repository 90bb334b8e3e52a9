#pragma once
// Text folded for a match that ignores width, case and kana: what a user types into a
// filter finds the entry however its name was typed. Texts are CP932.
#include <string>
#include <string_view>

// Full-width letters, digits, signs and the blank as ASCII, ASCII letters in lower case,
// half-width katakana as full-width (a voiced or semi-voiced mark joined to the kana
// before it), hiragana as katakana. Other characters stay as they are, double-byte
// characters whole.
std::string FoldText(std::string_view cp932);
// The same appended to out: a list folds every row's texts into one string each.
void AppendFolded(std::string& out, std::string_view cp932);

// Whether the folded text holds the folded needle starting at a character boundary:
// the second byte of a double-byte character is never taken for an ASCII one.
// An empty needle is held by every text.
bool FoldedContains(std::string_view folded, std::string_view needle);
