// Garbage in: a clear 4xx out, and the service still serves the next request.
#include "ServiceFixture.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

class RobustnessTest : public ServiceFixture {
protected:
    void ExpectStillServing() { EXPECT_EQ(GetJson("/helper/ping").first, 200); }
};

TEST_F(RobustnessTest, UnknownPathsAndMethodsGetJsonErrors) {
    auto [status, body] = GetJson("/nothing/here");
    EXPECT_EQ(status, 404);
    EXPECT_EQ(body["code"], 404);
    auto res = Client().Put("/helper/ping", "", "text/plain");
    EXPECT_EQ(res->status, 405);
    EXPECT_EQ(res->get_header_value("Allow"), "GET");
    EXPECT_EQ(Client().Delete("/helper/config")->status, 405);
    EXPECT_EQ(Client().Post("/test/log", "", "text/plain")->status, 405);
}

TEST_F(RobustnessTest, MalformedRequestsAreRefused) {
    const std::string cases[] = {
        "BREW /helper/ping HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
        "GET\r\n\r\n",
        "GET /helper/ping HTTP/1.1\r\nHost: bad host!\r\nConnection: close\r\n\r\n",
        "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
        "POST /test/fault HTTP/1.1\r\nHost: x\r\nContent-Length: 4\r\nConnection: close\r\n\r\n\xFF\xFE{[",
        "POST /api/fixer/client/dump HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=zz\r\n"
        "Content-Length: 19\r\nConnection: close\r\n\r\n--zz\r\ngarbage\r\n--zz",
    };
    for (const auto& request : cases) {
        const std::string answer = Raw(request);
        EXPECT_TRUE(answer.rfind("HTTP/1.1 4", 0) == 0) << request.substr(0, 60) << " -> " << answer.substr(0, 60);
    }
    ExpectStillServing();
}

TEST_F(RobustnessTest, ClientsVanishingMidDownloadDoNotHurt) {
    for (int i = 0; i < 5; ++i) {
        auto client = Client();
        client.Get("/files/DirectX%20Repair.exe", [](const char*, size_t) { return false; });
    }
    Raw("GET /files/DirectX%20Repair.exe HTTP/1.1\r\nHost: x\r\n", false);  // never finishes its headers
    ExpectStillServing();
}

// Clients that connect and then say nothing (browsers' spare connections, a
// stalled test) must not starve the ones that ask.
TEST_F(RobustnessTest, IdleConnectionsDoNotStarveAPing) {
    std::vector<int> idle;
    for (int i = 0; i < 300; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << i;
        idle.push_back(fd);
    }
    auto client = Client();
    client.set_connection_timeout(3, 0);
    client.set_read_timeout(3, 0);  // generous: a starved service takes far longer
    auto res = client.Get("/helper/ping");
    EXPECT_TRUE(res && res->status == 200) << "no answer within 3 s beside " << idle.size() << " idle connections";
    for (int fd : idle) close(fd);
}

}  // namespace
