#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The lists' entries and the module's codes for them. A text that is not an entry gets the
// fallback code, never an error.
QStringList comEntries();
QStringList baudRateEntries(); // both baud lists
QStringList formatEntries();
QStringList protocolEntries();
// What a format or protocol entry means, in English; empty for any other text.
QString entryMeaning(const QString &entryText);

std::int16_t portNumberFor(const QString &comText);   // fallback 1
QString baudCodeFor(const QString &baudText);         // fallback: the default rate's code
QString formatCodeFor(const QString &formatText);     // fallback: the first entry's code
QString protocolCodeFor(const QString &protocolText); // fallback: the first entry's code
