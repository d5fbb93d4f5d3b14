#include "sim/sim_pty_server.h"

#include "phone/diag_framing.h"
#include "phone/posix_serial_transport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

CSimPtyServer::CSimPtyServer(CSimPhone& phone, SSimLineOptions options) : m_phone(phone), m_options(options) {}

CSimPtyServer::~CSimPtyServer() {
    Stop();
    if (m_wake[0] >= 0) ::close(m_wake[0]);
    if (m_wake[1] >= 0) ::close(m_wake[1]);
}

bool CSimPtyServer::Open(std::string& error) {
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("Can't make a pipe: ") + std::strerror(errno);
        return false;
    }
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        error = std::string("Can't open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    // Raw before any client comes: an echoing line would send the replies back here.
    CPosixSerialTransport::MakeRaw(m_slave);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_devicePath = name;
    return true;
}

bool CSimPtyServer::MakeLink(const std::string& path, std::string& error) {
    // Only an older link is replaced: a file given here by mistake is kept.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = "Can't make the link " + path + ": something other than a link is there.";
            return false;
        }
        ::unlink(path.c_str());
    }
    if (::symlink(m_devicePath.c_str(), path.c_str()) != 0) {
        error = "Can't make the link " + path + ": " + std::strerror(errno);
        return false;
    }
    m_linkPath = path;
    return true;
}

void CSimPtyServer::Wake() {
    if (m_wake[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &c, 1);
    }
}

void CSimPtyServer::Start() { m_thread = std::thread([this] { Run(); }); }

void CSimPtyServer::Stop() {
    Wake();
    if (m_thread.joinable()) m_thread.join();
    if (m_master >= 0) ::close(m_master);
    if (m_slave >= 0) ::close(m_slave);
    m_master = m_slave = -1;
    if (!m_linkPath.empty()) ::unlink(m_linkPath.c_str());
    m_linkPath.clear();
}

size_t CSimPtyServer::DroppedFrames() const {
    std::lock_guard lock(m_decoderMutex);
    return m_decoder.DroppedFrames();
}

bool CSimPtyServer::WaitOrWoken(std::chrono::milliseconds pause) {
    pollfd p{m_wake[0], POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(pause.count())) > 0;
}

void CSimPtyServer::Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        size_t piece = bytes.size() - done;
        if (m_options.split) piece = std::min<size_t>(piece, 1 + (m_noiseSeed = m_noiseSeed * 1103515245 + 12345) % 7);
        const ssize_t n = ::write(m_master, bytes.data() + done, piece);
        if (n > 0) {
            done += static_cast<size_t>(n);
            if (m_options.split && done < bytes.size() && WaitOrWoken(std::chrono::milliseconds(1))) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return;
        // Nobody reads the line: give up on this reply after a while rather than hang.
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0) return;
    }
}

void CSimPtyServer::Reply(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> bytes;
    if (m_options.noise) {
        for (int i = 0; i < 11; ++i) {
            m_noiseSeed = m_noiseSeed * 1103515245 + 12345;
            bytes.push_back(static_cast<uint8_t>((m_noiseSeed >> 16) % 0x7D));
        }
        bytes.push_back(kDiagFlag);
    }
    const std::vector<uint8_t> frame = EncodeDiagFrame(payload, false);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    Send(bytes);
}

void CSimPtyServer::Take(const std::vector<uint8_t>& request, Clock::time_point now) {
    ++m_received;
    const Clock::time_point arrives = now + m_options.latency;
    // A phone busy with a request drops what comes meanwhile.
    if (m_options.oneAtATime && arrives < m_busyUntil) return;
    if (m_options.silentAfter >= 0 && m_answered.load() + static_cast<long>(m_due.size()) >= m_options.silentAfter) return;
    const Clock::time_point starts = std::max(arrives, m_busyUntil);
    m_busyUntil = starts + m_options.work;
    auto reply = m_phone.Answer(request, starts);
    if (!reply) return;
    m_due.push_back({m_busyUntil + m_options.latency, std::move(*reply)});
}

void CSimPtyServer::Run() {
    std::vector<uint8_t> buffer(4096);
    std::vector<uint8_t> request;
    for (;;) {
        // Replies whose time has come go out first.
        while (!m_due.empty() && m_due.front().at <= Clock::now()) {
            Reply(m_due.front().payload);
            m_due.pop_front();
            ++m_answered;
        }
        timespec wait{};
        timespec* timeout = nullptr;
        if (!m_due.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(m_due.front().at - Clock::now());
            const long long ns = std::max<long long>(left.count(), 0);
            wait.tv_sec = static_cast<time_t>(ns / 1000000000);
            wait.tv_nsec = static_cast<long>(ns % 1000000000);
            timeout = &wait;
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = ::ppoll(fds, 2, timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) {
            char drain[16];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
            return;
        }
        if (ready == 0 || !fds[0].revents) continue;
        const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (WaitOrWoken(std::chrono::milliseconds(20))) return;  // no client side: wait for one
            continue;
        }
        const Clock::time_point now = Clock::now();
        std::vector<std::vector<uint8_t>> requests;
        {
            std::lock_guard lock(m_decoderMutex);
            m_decoder.Feed(buffer.data(), static_cast<size_t>(n));
            while (m_decoder.PopFrame(request)) requests.push_back(std::move(request));
        }
        for (const auto& r : requests) Take(r, now);
    }
}
