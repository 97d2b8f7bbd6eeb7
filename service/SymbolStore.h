// The symbol store the release fills (scripts/symbol-store.sh), one folder
// per module and build id (the CodeView GUID and age, as Dumper's .log prints it):
//   <store>/<Module.exe>/<BUILDID>/<Module.exe>        stripped, with a debug link to
//   <store>/<Module.exe>/<BUILDID>/<Module.exe>.debug  its debug information
//   GET /symbols/<Module.exe>/<BUILDID>/<file>   one of those files; anything
//                                                but three plain names is refused
// Resolve looks offsets up with llvm-symbolizer (see ChildProcess for how it
// runs on what an upload names). Without a store folder nothing is served
// and nothing resolves.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Reply.h"
#include "Router.h"

class SymbolStore {
public:
    struct Source {
        std::string function;  // demangled
        std::string file;      // as the build saw it
        int line = 0;          // 0: not known
    };
    // Per offset, the innermost inlined call first, the real function last; empty when unknown.
    using Frames = std::vector<std::vector<Source>>;

    static constexpr size_t kMaxOffsets = 1024;
    static constexpr size_t kMaxOutput = 8 << 20;
    static constexpr int kLimitMs = 30000;

    SymbolStore(std::filesystem::path dir, std::string symbolizer)
        : dir_(std::move(dir)), symbolizer_(std::move(symbolizer)) {}

    void AddTo(Router& router);
    bool Enabled() const { return !dir_.empty(); }
    // Whether any build of the module is stored.
    bool Knows(const std::string& module) const;
    bool Has(const std::string& module, const std::string& buildId) const;
    // Offsets from the module's image base; nothing when the build is not
    // stored or the symbolizer failed (why says which).
    std::optional<Frames> Resolve(const std::string& module, const std::string& buildId,
                                  const std::vector<uint64_t>& offsets, std::string* why = nullptr) const;
    Reply Serve(const std::string& rest) const;

    static bool IsBuildId(const std::string& text);

private:
    std::filesystem::path ProgramPath(const std::string& module, const std::string& buildId) const;

    std::filesystem::path dir_;
    std::string symbolizer_;
};
