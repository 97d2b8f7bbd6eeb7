#include "Options.h"

#include <charconv>
#include <map>
#include <stdexcept>

#ifndef VANTORO_CATALOG_DIR
#define VANTORO_CATALOG_DIR "catalog"
#endif

namespace {

uint64_t ParseNumber(const std::string& option, const std::string& text, uint64_t max) {
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > max)
        throw std::invalid_argument(option + ": not a number in range: '" + text + "'");
    return value;
}

// Options that take a value, and where it goes.
void Apply(Options& o, const std::string& name, const std::string& value) {
    if (name == "--port") o.port = static_cast<int>(ParseNumber(name, value, 65535));
    else if (name == "--bind") o.bind = value;
    else if (name == "--data") o.data = value;
    else if (name == "--files") o.files = value;
    else if (name == "--catalog") o.catalog = value;
    else if (name == "--port-file") o.portFile = value;
    else if (name == "--max-upload") o.maxUpload = ParseNumber(name, value, UINT64_MAX);
    else if (name == "--fallback-head") o.fallbackHead = value;
    else if (name == "--tls-port") o.tlsPort = static_cast<int>(ParseNumber(name, value, 65535));
    else if (name == "--tls-cert") o.tlsCert = value;
    else if (name == "--tls-key") o.tlsKey = value;
    else if (name == "--tls-port-file") o.tlsPortFile = value;
    else if (name == "--symbols") o.symbols = value;
    else if (name == "--symbolizer") o.symbolizer = value;
    else if (name == "--size") o.size = ParseNumber(name, value, UINT64_MAX);
    else if (name == "--generate-files") o.mode = Options::Mode::GenerateFiles, o.generateTarget = value;
    else if (name == "--generate-file") o.mode = Options::Mode::GenerateFile, o.generateTarget = value;
    else throw std::invalid_argument("unknown option " + name);
}

void Check(const Options& o) {
    if (o.mode == Options::Mode::GenerateFile && !o.size)
        throw std::invalid_argument("--generate-file needs --size");
    if (o.mode != Options::Mode::Serve) return;
    if (o.port < 0) throw std::invalid_argument("--port is required");
    if (o.data.empty()) throw std::invalid_argument("--data is required");
    if (o.maxUpload == 0) throw std::invalid_argument("--max-upload must be positive");
    if ((o.tlsPort >= 0) != (!o.tlsCert.empty() && !o.tlsKey.empty()))
        throw std::invalid_argument("--tls-port, --tls-cert and --tls-key go together");
}

}  // namespace

Options Options::Parse(const std::vector<std::string>& args) {
    Options o;
    o.catalog = VANTORO_CATALOG_DIR;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (args[i] == "--help" || args[i] == "-h") throw std::invalid_argument("");
        if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
        Apply(o, args[i], args[i + 1]);
    }
    Check(o);
    return o;
}

std::string Options::Usage() {
    return "usage:\n"
           "  vantoro-service --port N [--bind ADDR] --data DIR [--files DIR] [--catalog DIR]\n"
           "                  [--port-file PATH] [--max-upload BYTES] [--fallback-head URL]\n"
           "                  [--tls-port N --tls-cert PEM --tls-key PEM [--tls-port-file PATH]]\n"
           "                  [--symbols DIR [--symbolizer PATH]]\n"
           "  vantoro-service --generate-files DIR [--size BYTES] [--catalog DIR]\n"
           "  vantoro-service --generate-file PATH --size BYTES\n";
}
