// An in-process service on an ephemeral port with its own temporary data
// folder, plus the clients the tests talk to it with.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "Options.h"
#include "Server.h"

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Override to change the options before the service starts.
    virtual void Adjust(Options&) {}

    httplib::Client Client() const;
    // Status and parsed body of a GET (null body when it is not JSON).
    std::pair<int, Json::Value> GetJson(const std::string& target) const;
    // Sends bytes as they are and returns everything the service answers
    // (or hangs up at once).
    std::string Raw(const std::string& request, bool readAnswer = true) const;
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    std::filesystem::path DataDir() const { return temp_.Path() / "data"; }
    std::filesystem::path FilesDir() const { return DataDir() / "files"; }
    int Port() const { return port_; }
    Server& Service() { return *server_; }

private:
    TempDir temp_;
    std::unique_ptr<Server> server_;
    std::thread thread_;
    int port_ = 0;
};

// Bytes that should all be PatternByte(first + i).
bool MatchesPattern(std::string_view bytes, uint64_t first = 0);
// Resident memory of this process in KiB.
long ResidentKiB();
