#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The lists' entries and the module's codes for them. A text that is not an entry gets the
// fallback code, never an error.
QStringList comEntries();      // "COM1" .. "COM20"
QStringList baudRateEntries(); // the ten rates, both baud lists
QStringList formatEntries();
QStringList protocolEntries();

std::int16_t portNumberFor(const QString &comText);   // fallback 1
QString baudCodeFor(const QString &baudText);         // fallback "06"
QString formatCodeFor(const QString &formatText);     // fallback "00"
QString protocolCodeFor(const QString &protocolText); // fallback "0"
