#pragma once

class FigureTable;

// How big a run is: the full counts for people and the README, small ones that only prove the
// benchmark works.
struct BenchScale
{
    bool full = true;
    long long entriesSmall = 1000;
    long long entriesMiddle = 100000;
    long long entriesLarge = 1000000;
    int samples = 200;     // sends per median
    int cycles = 5000;     // repeat cycles
    int cycleWindow = 500; // first and last cycles compared
    int idleSeconds = 10;
    int starts = 11;
    int wireReplies = 1000; // simulated-line exchanges per rate
};

void logFigures(const BenchScale &scale, FigureTable &table);
void lineFigures(const BenchScale &scale, FigureTable &table);
void idleFigures(const BenchScale &scale, FigureTable &table);
void wireFigures(const BenchScale &scale, FigureTable &table);
void startFigures(const BenchScale &scale, FigureTable &table);
void findFigures(const BenchScale &scale, FigureTable &table);
