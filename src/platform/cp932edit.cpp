#include "platform/cp932edit.h"

#include <algorithm>

#include <QLineEdit>
#include <QToolTip>

#include "text/cp932.h"

namespace {

// Characters of the text that CP932 cannot hold: FromQLossy turns each into one "?".
int ForeignCount(const QString& text)
{
    std::string lossy = FromQLossy(text);
    auto marks = static_cast<int>(std::count(lossy.begin(), lossy.end(), '?'));
    return marks - static_cast<int>(text.count(QLatin1Char('?')));
}

// Long enough to be read, short enough not to stand over the next field for long.
constexpr int kNoticeMs = 4000;

} // namespace

QString ByteLimitNotice(int maxBytes) { return QString::number(maxBytes) + " バイトまでです（全角文字は 2 バイト）"; }

QString ForeignCharacterNotice() { return QStringLiteral("シフトJISで表せない文字は入力出来ません"); }

void Cp932ByteValidator::Refused(const QString& why) const
{
    // Said where the user looks: under the field, which did not take what he typed.
    QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())), why, edit_, QRect(), kNoticeMs);
}

Cp932ByteValidator::Cp932ByteValidator(int maxBytes, QLineEdit* edit)
    : QValidator(edit), edit_(edit), maxBytes_(maxBytes), allowedBytes_(maxBytes)
{
    // Whatever the edit holds now, however it got there, is the measure of the next edit.
    connect(edit, &QLineEdit::textChanged, this, &Cp932ByteValidator::Measure);
    Measure(edit->text());
}

void Cp932ByteValidator::Measure(const QString& text)
{
    allowedBytes_ = std::max(maxBytes_, Cp932Length(text));
    allowedForeign_ = ForeignCount(text);
}

QValidator::State Cp932ByteValidator::validate(QString& input, int&) const
{
    // setText starts the edit afresh (not modified) before it validates; the user's
    // typing, pasting and input method commits are validated as modifications. Refusing
    // a program's text here would also leave the edit unchecked for the next keystrokes.
    if (!edit_->isModified()) return Acceptable;
    if (Cp932Length(input) > allowedBytes_) {
        Refused(ByteLimitNotice(maxBytes_));
        return Invalid;
    }
    if (ForeignCount(input) > allowedForeign_) {
        Refused(ForeignCharacterNotice());
        return Invalid;
    }
    return Acceptable;
}

void SetByteLimit(QLineEdit* edit, int bytes)
{
    auto* old = const_cast<QValidator*>(edit->validator());
    edit->setValidator(new Cp932ByteValidator(bytes, edit));
    if (old && old->parent() == edit) delete old;
}

