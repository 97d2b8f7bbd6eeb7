// The command line. Serving:
//   vantoro-service --port N [--bind ADDR] --data DIR [--files DIR] [--catalog DIR]
//                   [--port-file PATH] [--max-upload BYTES] [--fallback-head URL]
//                   [--tls-port N --tls-cert PEM --tls-key PEM [--tls-port-file PATH]]
//                   [--symbols DIR [--symbolizer PATH]]
// --symbols names the symbol store (see SymbolStore) the support pages resolve
// traces from; --symbolizer the llvm-symbolizer they run.
// With --tls-port the same service (one log, one set of faults) also answers
// https there, showing the certificate chain in --tls-cert
// (scripts/make-test-tls.sh makes one from a test authority).
// Generating download files (used by the build and the test fixtures):
//   vantoro-service --generate-files DIR [--size BYTES] [--catalog DIR]
//   vantoro-service --generate-file PATH --size BYTES
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct Options {
    enum class Mode { Serve, GenerateFiles, GenerateFile };

    Mode mode = Mode::Serve;
    std::string bind = "127.0.0.1";
    int port = -1;
    std::filesystem::path data;
    std::filesystem::path files;  // empty: DATA/files, filled from the catalogue
    std::filesystem::path catalog;
    std::filesystem::path portFile;
    std::filesystem::path generateTarget;
    std::optional<uint64_t> size;
    uint64_t maxUpload = 32ull << 20;
    std::string fallbackHead;  // empty: derived from the Host header
    int tlsPort = -1;          // -1: no https
    std::filesystem::path tlsCert;
    std::filesystem::path tlsKey;
    std::filesystem::path tlsPortFile;
    std::filesystem::path symbols;  // empty: no symbol store
    std::string symbolizer = "/usr/bin/llvm-symbolizer";

    static constexpr uint64_t kDefaultFileSize = 64 << 10;

    // Throws std::invalid_argument with a message fit for the user.
    static Options Parse(const std::vector<std::string>& args);
    static std::string Usage();
};
