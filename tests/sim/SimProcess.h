#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A temporary directory that is removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

// tolvane-sim as a child process with XDG_CONFIG_HOME pointing at a test's own directory.
class SimProcess
{
public:
    SimProcess(std::string configHome, std::vector<std::string> args);
    ~SimProcess();

    // Reads the first stdout line; false if none came within the timeout.
    bool readBanner(int timeoutMs = 5000);
    const std::string &banner() const { return m_banner; }
    int com() const { return m_com; }
    const std::string &slavePath() const { return m_slavePath; }

    // Exit status, 128 + signal if killed, -1 if still running after the timeout.
    int waitExit(int timeoutMs = 5000);
    int stopWith(int signal);
    std::string stderrText();

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_stderr = -1;
    int m_status = -1;
    std::string m_banner;
    std::string m_slavePath;
    int m_com = 0;
};

// The tool's end of the line: the slave opened raw at a chosen rate.
class SerialLine
{
public:
    SerialLine(const std::string &path, int baud);
    ~SerialLine();
    bool isOpen() const { return m_fd >= 0; }
    void setBaud(int baud);
    void send(const std::string &command);
    // Bytes up to and including the first CR, or whatever came before the timeout.
    std::string readReply(int timeoutMs = 2000);
    // Everything that arrives within the window.
    std::string drain(int windowMs);

private:
    int m_fd = -1;
};
