// What a number field of the dialogs lets a person type: a decimal number
// with the point, the comma or the user's own decimal separator, or a T
// number ("2" or "T2"). Characters that can never make such a number are
// refused as they are typed; a field that is empty or half typed stays
// editable, and the dialog names what is wrong when OK is pressed.
#pragma once

#include <QLocale>
#include <QValidator>

class CNumberValidator : public QValidator {
    Q_OBJECT

public:
    enum Kind { NUMBER_DECIMAL, NUMBER_TOOL };

    CNumberValidator(Kind kind, const QLocale& locale, QObject* parent);

    State validate(QString& input, int& position) const override;

private:
    Kind kind;
};

// A decimal field's text as its value, the locale's decimal separator and
// minus sign read as well as the point, the comma and "-".
bool ReadTypedDecimal(const QString& text, const QLocale& locale, double& value);
