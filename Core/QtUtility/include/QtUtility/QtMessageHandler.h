#pragma once

#include "ZelApi.h"

#include <QtGlobal>

// Routes Qt's diagnostics into the logger: warnings as WARN, critical as ERROR, fatal as FATAL
// (then abort), other types as INFO; debug messages are dropped.
ZEL_API void installQtMessageHandler();

// The handler itself, for tests.
ZEL_API void zelQtMessageHandler(QtMsgType type, const QMessageLogContext& context,
                                 const QString& text);
