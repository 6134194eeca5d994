#pragma once

#include <windows.h>

// The two calls that put a saved file in its place, as the save makes them. A test swaps them to
// replay what Windows does and wine does not: ReplaceFileW failing part way, as its
// documentation lists (ERROR_UNABLE_TO_MOVE_REPLACEMENT, ..._2, ERROR_UNABLE_TO_REMOVE_REPLACED).
struct FilePlacement
{
    decltype(&ReplaceFileW) replaceFile = &ReplaceFileW;
    decltype(&MoveFileExW) moveFile = &MoveFileExW;
};

// The calls the save makes now; a test that changes them puts them back.
FilePlacement &filePlacement();
