#pragma once
// Byte limits for one-line edit boxes. What the program stores is CP932 and the column
// widths count CP932 bytes, so the limit counts bytes as the user types (a double-byte
// character counts two), and characters CP932 cannot hold are not accepted at all.
//
// The limit binds typing only: text the program puts in with setText stays whole, even
// beyond the limit or with characters CP932 lacks. Until the user shortens such a text,
// an edit may keep its length and those characters but not add to them.
#include <QString>
#include <QValidator>

class QLineEdit;

class Cp932ByteValidator : public QValidator {
    Q_OBJECT
public:
    Cp932ByteValidator(int maxBytes, QLineEdit* edit);

    State validate(QString& input, int& pos) const override;

private:
    void Measure(const QString& text);
    // A keystroke, paste or input-method text refused: the user is told why, at the field.
    void Refused(const QString& why) const;

    QLineEdit* edit_;
    int maxBytes_;
    int allowedBytes_;
    int allowedForeign_ = 0;   // characters without a CP932 form in the current text
};

// What the field says when it refuses input: its limit, or a character CP932 lacks.
QString ByteLimitNotice(int maxBytes);
QString ForeignCharacterNotice();

// Installs a Cp932ByteValidator of the given limit on the edit (replacing one installed
// before).
void SetByteLimit(QLineEdit* edit, int bytes);
