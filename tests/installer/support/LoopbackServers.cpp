#include "tests/installer/support/LoopbackServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

// Ends with the test: when the test process closes its end of stdin, or after five minutes at most.
const char* const FtpServerScript = R"(
import logging, os, sys, threading
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
anonymous_root, user_root, user, password = sys.argv[1:5]
authorizer = DummyAuthorizer()
authorizer.add_anonymous(anonymous_root)
authorizer.add_user(user, password, user_root, perm="elr")
class Handler(FTPHandler):
    pass
Handler.authorizer = authorizer
Handler.auth_failed_timeout = 0.05
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
threading.Thread(target=server.serve_forever, kwargs={"timeout": 0.1}, daemon=True).start()
limit = threading.Timer(300, lambda: os._exit(0))
limit.daemon = True
limit.start()
sys.stdin.read()
os._exit(0)
)";

// The interpreter that has pyftpdlib: the system's, which the setup script installs it for.
std::string Python()
{
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

bool WaitReadable(int fd, int milliseconds)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// FTP

TFtpTestServer::TFtpTestServer(const std::string& anonymousRoot, const std::string& userRoot, const std::string& user,
                               const std::string& password)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        throw std::runtime_error("cannot make pipes for the FTP server");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string python = Python();
    std::vector<std::string> args = {python, "-c", FtpServerScript, anonymousRoot, userRoot, user, password};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toServer_ = in[1];
    fromServer_ = out[0];
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + python + " for the FTP server");
    }
    std::string line;
    char c;
    while (WaitReadable(fromServer_, 10000) && read(fromServer_, &c, 1) == 1 && c != '\n')
        line += c;
    port_ = static_cast<uint16_t>(std::atoi(line.c_str()));
    if (port_ == 0) {
        Stop();
        throw std::runtime_error("the FTP server did not start (is python3-pyftpdlib installed?)");
    }
}

TFtpTestServer::~TFtpTestServer() { Stop(); }

void TFtpTestServer::Stop()
{
    if (toServer_ >= 0)
        close(toServer_);
    if (fromServer_ >= 0)
        close(fromServer_);
    toServer_ = fromServer_ = -1;
    if (pid_ <= 0)
        return;
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        usleep(100000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

// ---------------------------------------------------------------------------------------------------------
// HTTP

void THttpExchange::Send(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

void THttpExchange::Stall(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!stopping_ && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void THttpExchange::Trickle(const std::string& bytes, std::chrono::milliseconds pause)
{
    for (char c : bytes) {
        if (stopping_ || send(socket_, &c, 1, MSG_NOSIGNAL) != 1)
            return;
        Stall(pause);
    }
}

std::string THttpExchange::ReadLine(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (pending_.find("\r\n") == std::string::npos) {
        if (stopping_ || std::chrono::steady_clock::now() > deadline)
            return {};
        if (!WaitReadable(socket_, 50))
            continue;
        char buffer[512];
        const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        pending_.append(buffer, static_cast<size_t>(n));
    }
    const size_t end = pending_.find("\r\n");
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 2);
    return line;
}

THttpTestServer::THttpTestServer(TScript script, bool clientSpeaksFirst)
    : script_(std::move(script)), clientSpeaksFirst_(clientSpeaksFirst)
{
    // Close-on-exec, as the download library's own: the tests look for descriptors that would leak.
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

THttpTestServer::~THttpTestServer()
{
    stopping_ = true;
    thread_.join();
    for (std::thread& connection : connections_)
        connection.join();
    close(listener_);
}

std::vector<std::string> THttpTestServer::Requests()
{
    std::lock_guard lock(lock_);
    return requests_;
}

std::string THttpTestServer::Answer(const std::string& status, const std::string& body, bool withLength)
{
    std::string answer = "HTTP/1.1 " + status + "\r\nConnection: close\r\n";
    if (withLength)
        answer += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return answer + "\r\n" + body;
}

void THttpTestServer::Serve()
{
    while (!stopping_) {
        if (!WaitReadable(listener_, 50))
            continue;
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        // Each on its own: a stalled answer must not hold up the next request.
        connections_.emplace_back([this, connection] {
            ServeConnection(connection);
            close(connection);
        });
    }
}

void THttpTestServer::ServeConnection(int socket)
{
    if (!clientSpeaksFirst_) {
        THttpExchange exchange(socket, stopping_);
        script_(std::string(), exchange);
        return;
    }
    std::string head;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        if (stopping_ || std::chrono::steady_clock::now() > deadline)
            return;
        if (!WaitReadable(socket, 50))
            continue;
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        head.append(buffer, static_cast<size_t>(n));
    }
    if (head.find("\r\n\r\n") == std::string::npos)
        return;
    {
        std::lock_guard lock(lock_);
        requests_.push_back(head);
    }
    THttpExchange exchange(socket, stopping_);
    script_(head, exchange);
}
