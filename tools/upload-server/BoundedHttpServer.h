// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>

// cpp-httplib's server with two bounds that keep a few clients from holding every worker: each
// connection carries one request, which must arrive whole within `requestTimeout`, and one
// client address may hold at most `maxConnectionsPerClient` connections at once (more are
// answered 503 and closed).
class BoundedHttpServer : public httplib::Server
{
public:
    BoundedHttpServer(std::chrono::milliseconds requestTimeout, size_t maxConnectionsPerClient);

private:
    bool process_and_close_socket(int sock) override;
    bool admit(const std::string& client);
    void release(const std::string& client);

    std::chrono::milliseconds m_requestTimeout;
    size_t m_maxConnectionsPerClient;
    std::mutex m_mutex;
    std::map<std::string, size_t> m_connections;
};
