#pragma once

#include "find/ModuleSearch.h"

#include <QString>
#include <QStringList>

// tolvane-find with arguments: the search on the command line, for people and for scripts.
// Exit status: 0 something answered, 1 nothing did, 2 a usage error (nothing sent), 3 the port
// could not be used, 130 stopped by Ctrl+C (what was found is still printed).
enum FindExit {
    FindFound = 0,
    FindNone = 1,
    FindUsage = 2,
    FindPortUnusable = 3,
    FindStopped = 130
};

struct FindArguments
{
    SearchPlan plan;
    bool json = false;
    bool help = false;
    QString error; // empty when the arguments were good
};

// Arguments without the program name; a plan that fails checkPlan is an error too.
FindArguments parseFindArguments(const QStringList &args);
QString findUsage();

int runFindCommandLine(int argc, char *argv[]);
