// A TCP proxy on 127.0.0.1 that adds a fixed one-way delay in both directions:
// every chunk read is forwarded at its arrival time plus the delay, so a round
// trip takes twice the delay longer (a latency, not a bandwidth cap). For
// measuring the report over a slow network; it serves until killed.
//   usage: delay-proxy LISTEN_PORT TARGET_PORT ONE_WAY_DELAY_MICROSECONDS

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due;
    std::string bytes;
};

// One direction of one connection: what was read from `from`, waiting to be
// written to `to`.
struct Direction
{
    int from;
    int to;
    std::deque<Chunk> queue;
    bool closed = false;
};

int listenOn(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || listen(fd, 16) != 0) {
        std::perror("delay-proxy: listen");
        std::exit(1);
    }
    return fd;
}

int connectTo(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void noDelay(int fd)
{
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: delay-proxy LISTEN_PORT TARGET_PORT ONE_WAY_DELAY_US\n");
        return 2;
    }
    const int listener = listenOn(std::atoi(argv[1]));
    const int target = std::atoi(argv[2]);
    const auto delay = std::chrono::microseconds(std::atol(argv[3]));
    std::vector<Direction> directions;
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        auto next = Clock::time_point::max();
        for (const Direction &d : directions) {
            if (!d.closed)
                fds.push_back({d.from, POLLIN, 0});
            if (!d.queue.empty() && d.queue.front().due < next)
                next = d.queue.front().due;
        }
        int timeout = -1;
        if (next != Clock::time_point::max()) {
            const auto wait
                = std::chrono::duration_cast<std::chrono::microseconds>(next - Clock::now());
            timeout = wait.count() <= 0 ? 0 : static_cast<int>((wait.count() + 999) / 1000);
        }
        poll(fds.data(), fds.size(), timeout);
        const auto now = Clock::now();

        if (fds[0].revents & POLLIN) {
            const int client = accept(listener, nullptr, nullptr);
            const int server = client >= 0 ? connectTo(target) : -1;
            if (server >= 0) {
                noDelay(client);
                noDelay(server);
                directions.push_back({client, server, {}});
                directions.push_back({server, client, {}});
            } else if (client >= 0) {
                close(client);
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            for (Direction &d : directions) {
                if (d.from != fds[i].fd || d.closed)
                    continue;
                char buffer[65536];
                const ssize_t n = read(d.from, buffer, sizeof buffer);
                if (n <= 0)
                    d.closed = true;
                d.queue.push_back({now + delay, n > 0 ? std::string(buffer, n) : std::string()});
            }
        }
        // Forward what is due; an empty chunk passes on the end of the stream.
        for (Direction &d : directions) {
            while (!d.queue.empty() && d.queue.front().due <= Clock::now()) {
                const std::string &bytes = d.queue.front().bytes;
                if (bytes.empty())
                    shutdown(d.to, SHUT_WR);
                for (std::size_t sent = 0; sent < bytes.size();) {
                    const ssize_t n = write(d.to, bytes.data() + sent, bytes.size() - sent);
                    if (n <= 0)
                        break;
                    sent += static_cast<std::size_t>(n);
                }
                d.queue.pop_front();
            }
        }
        // Both directions of a connection done: forget them.
        for (std::size_t i = 0; i + 1 < directions.size();) {
            Direction &a = directions[i];
            Direction &b = directions[i + 1];
            if (a.closed && b.closed && a.queue.empty() && b.queue.empty()) {
                close(a.from);
                close(b.from);
                directions.erase(directions.begin() + static_cast<long>(i),
                                 directions.begin() + static_cast<long>(i) + 2);
            } else {
                i += 2;
            }
        }
    }
}
