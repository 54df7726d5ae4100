#pragma once

#include <functional>
#include <string>
#include <vector>

// A program started by a test, ended (its whole process group) when the
// object goes. Its standard output can be read line by line.
class ChildProcess {
public:
    // Starts argv[0] with the arguments; extra environment entries
    // "NAME=value" are added to the test's own.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    // Runs body in a forked copy of the test, which ends when body returns.
    // Fork only while the test runs no other thread: a lock another thread
    // holds at that moment stays held for ever in the copy.
    explicit ChildProcess(const std::function<void()>& body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Running() const { return m_pid > 0; }
    // One line of the child's output, waiting at most timeoutMs; empty when
    // none came.
    std::string ReadLine(int timeoutMs);
    // Ends the child and its process group and waits for it.
    void Stop();

private:
    // Forks; in the child, body runs with its output going to the pipe.
    void Start(const std::function<void()>& body);

    int m_pid = -1;
    int m_out = -1;
    std::string m_pending;
};

// True once something accepts TCP connections on 127.0.0.1:port, polling
// for at most timeoutMs.
bool WaitForPort(int port, int timeoutMs);
// A port that was free a moment ago.
int FreePort();
