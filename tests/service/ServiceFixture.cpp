#include "ServiceFixture.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "JsonText.h"
#include "Pattern.h"

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantoro-service-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ServiceFixture::SetUp() {
    Options options = Options::Parse({"--port", "0", "--data", DataDir().string()});
    Adjust(options);
    server_ = std::make_unique<Server>(options);
    port_ = server_->Bind();
    thread_ = std::thread([this] { server_->Run(); });
}

void ServiceFixture::TearDown() {
    server_->Stop();
    thread_.join();
    server_.reset();
}

httplib::Client ServiceFixture::Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(10, 0);
    return client;
}

std::pair<int, Json::Value> ServiceFixture::GetJson(const std::string& target) const {
    auto client = Client();
    auto res = client.Get(target);
    if (!res) return {-1, Json::Value()};
    return {res->status, JsonText::Parse(res->body).value_or(Json::Value())};
}

namespace {

// Headers and as much body as Content-Length promises: the service may keep
// the connection open after answering.
bool Complete(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const size_t length = answer.find("Content-Length: ");
    if (length == std::string::npos || length > end) return false;
    return answer.size() >= end + 4 + std::stoul(answer.substr(length + 16));
}

}  // namespace

std::string ServiceFixture::Raw(const std::string& request, bool readAnswer) const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()) && readAnswer) {
        char buffer[4096];
        for (ssize_t got; !Complete(answer) && (got = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, got);
    }
    close(fd);
    return answer;
}

bool MatchesPattern(std::string_view bytes, uint64_t first) {
    for (size_t i = 0; i < bytes.size(); ++i)
        if (static_cast<uint8_t>(bytes[i]) != PatternByte(first + i)) return false;
    return true;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}
