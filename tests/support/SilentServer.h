#pragma once

#include <string>
#include <vector>

// A TCP port on 127.0.0.1 that never answers, for tests of waits that must
// end on a cancel. Nothing runs in the background; the destructor closes
// every socket.
//   kNeverAnswers: connections are accepted by the system (the request goes
//                  out) but no byte ever comes back.
//   kConnectHangs: the listen queue is kept full, so a connect never
//                  completes.
class SilentServer {
public:
    enum Mode { kNeverAnswers, kConnectHangs };

    explicit SilentServer(Mode mode);
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;

private:
    int m_listener = -1;
    int m_port = 0;
    std::vector<int> m_fillers;
};
