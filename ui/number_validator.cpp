#include "number_validator.h"

#include <QRegularExpression>

#include "workpiece_settings.h"

namespace {

// The beginnings of a number, blanks around it allowed: what may still
// grow into one as the person goes on typing.
const char* const DECIMAL_START = R"(^\s*[+-]?(([0-9]+[.,]?[0-9]*|[.,][0-9]+)([eE][+-]?[0-9]*)?|[.,])?\s*$)";
const char* const TOOL_START = R"(^\s*[Tt]?[0-9]*\s*$)";

QString ToPointAndMinus(const QString& text, const QLocale& locale)
{
    QString plain = text;
    const QString separator = locale.decimalPoint();
    if (separator != QLatin1String(".") && separator != QLatin1String(","))
        plain.replace(separator, QLatin1String("."));
    const QString minus = locale.negativeSign();
    if (minus != QLatin1String("-"))
        plain.replace(minus, QLatin1String("-"));
    return plain;
}

} // namespace

bool ReadTypedDecimal(const QString& text, const QLocale& locale, double& value)
{
    return CWorkpieceSettings::ParseNumber(ToPointAndMinus(text, locale), value);
}

CNumberValidator::CNumberValidator(Kind kind, const QLocale& locale, QObject* parent)
    : QValidator(parent), kind(kind)
{
    setLocale(locale);
}

QValidator::State CNumberValidator::validate(QString& input, int& /*position*/) const
{
    if (kind == NUMBER_TOOL) {
        int number = 0;
        if (CWorkpieceSettings::ParseToolNumber(input, number))
            return Acceptable;
        static const QRegularExpression toolStart(QString::fromLatin1(TOOL_START));
        return toolStart.match(input).hasMatch() ? Intermediate : Invalid;
    }
    double value = 0.0;
    if (ReadTypedDecimal(input, locale(), value))
        return Acceptable;
    static const QRegularExpression decimalStart(QString::fromLatin1(DECIMAL_START));
    return decimalStart.match(ToPointAndMinus(input, locale())).hasMatch() ? Intermediate : Invalid;
}
