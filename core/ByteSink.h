#pragma once

#include <QtGlobal>

#include <functional>

// Takes bytes piece by piece; returns false once it can take no more (a write failed).
using ByteSink = std::function<bool(const char *bytes, qsizetype size)>;
