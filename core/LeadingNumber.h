#pragma once

#include <QString>

// The number a text starts with: leading blanks, an optional sign, digits with an optional
// decimal point, an optional exponent. Text with no leading number gives 0, and so does a
// number too large for a double.
double leadingNumber(const QString &text);
