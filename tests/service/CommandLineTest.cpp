// The executable as the lead's fixtures run it: ephemeral port, port file,
// first line on stdout, clean exit on SIGTERM; and its generator modes.
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "ServiceFixture.h"

namespace {

std::string Command(const std::string& args) { return std::string("'") + VANTORO_SERVICE_BIN + "' " + args; }

int ExitCode(const std::string& args) {
    const int status = std::system((Command(args) + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CommandLine, ServesOnAnEphemeralPortAndStopsOnSigterm) {
    TempDir dir;
    const std::string data = (dir.Path() / "data").string(), portFile = (dir.Path() / "port").string();
    // The shell prints its pid, then becomes the service.
    FILE* out = popen(("echo $$; exec " + Command("--port 0 --data '" + data + "' --port-file '" + portFile + "'")).c_str(), "r");
    ASSERT_TRUE(out);
    int pid = 0, port = 0, filePort = 0;
    char line[256] = {};
    ASSERT_EQ(fscanf(out, "%d\n", &pid), 1);
    ASSERT_TRUE(fgets(line, sizeof line, out));
    ASSERT_EQ(sscanf(line, "listening on http://127.0.0.1:%d", &port), 1) << line;
    std::ifstream(portFile) >> filePort;
    EXPECT_EQ(filePort, port);
    httplib::Client client("127.0.0.1", port);
    auto res = client.Get("/helper/ping");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(std::filesystem::is_directory(data + "/uploads"));
    EXPECT_TRUE(std::filesystem::exists(data + "/files/DirectX Repair.exe"));
    kill(pid, SIGTERM);
    const int status = pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(CommandLine, BadOptionsAreUsageErrors) {
    EXPECT_EQ(ExitCode("--port 0"), 2);
    EXPECT_EQ(ExitCode("--port 70000 --data /tmp/x"), 2);
    EXPECT_EQ(ExitCode("--generate-file /tmp/x"), 2);
    EXPECT_EQ(ExitCode("--port 0 --data /tmp/x --tls-port 0"), 2);
}

TEST(CommandLine, GeneratesOneFileOrTheCataloguesFiles) {
    TempDir dir;
    const auto one = dir.Path() / "one.bin", files = dir.Path() / "files";
    EXPECT_EQ(ExitCode("--generate-file '" + one.string() + "' --size 1000001"), 0);
    std::ifstream in(one, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.size(), 1000001u);
    EXPECT_TRUE(MatchesPattern(bytes));

    EXPECT_EQ(ExitCode("--generate-files '" + files.string() + "' --size 100"), 0);
    EXPECT_EQ(std::filesystem::file_size(files / "dll-fixer-x64.exe"), 100u);
    EXPECT_EQ(std::filesystem::file_size(files / "dll-pack.zip"), 17u);
    EXPECT_FALSE(std::filesystem::exists(files / "missing-tool.exe"));
}

}  // namespace
