#pragma once

#include <QString>

#include <sys/types.h>
#include <vector>

// What the benchmark prints: one row per figure, its value beside the floor or peer it is held
// against, the ratio of the two where there is one, and the target.
struct FigureRow
{
    QString figure;
    QString value;
    QString against; // floor or peer
    QString ratio;
    QString target;
};

class FigureTable
{
public:
    void add(FigureRow row);
    void print() const;

private:
    std::vector<FigureRow> m_rows;
};

double median(std::vector<double> values);
// Resident memory of a process, in KiB (0 when unknown).
long residentKiB(pid_t pid = 0);
// CPU time used so far by the calling thread (the window's), in milliseconds: the bench's own
// module thread is not the tool.
double threadCpuMilliseconds();
QString number(double value, int decimals = 0);
