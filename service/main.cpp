// vantoro-service: the reference service the programs and their tests talk to.
// See Options.h for the command line.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "Catalog.h"
#include "Generator.h"
#include "Options.h"
#include "Server.h"

namespace {

// Temp file + rename: whoever polls for the file never reads half a number.
void WritePortFile(const std::filesystem::path& file, int port) {
    const std::filesystem::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << port << "\n";
        if (!out) throw std::runtime_error("cannot write " + temp.string());
    }
    std::filesystem::rename(temp, file);
}

int Generate(const Options& options) {
    if (options.mode == Options::Mode::GenerateFile) {
        Generator::WriteFile(options.generateTarget, *options.size);
        return 0;
    }
    const Catalog catalog(options.catalog);
    const int count = Generator::WriteCatalogFiles(catalog, options.generateTarget,
                                                   options.size.value_or(Options::kDefaultFileSize));
    std::cout << "wrote " << count << " files to " << options.generateTarget.string() << std::endl;
    return 0;
}

// Signals go to one waiting thread instead of interrupting the server's threads.
sigset_t BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return set;
}

int Serve(const Options& options) {
    const sigset_t stopSignals = BlockStopSignals();
    Server server(options);
    const int port = server.Bind();
    // The https port first: whoever waits for the port file finds both.
    if (!options.tlsPortFile.empty() && server.TlsPort() > 0) WritePortFile(options.tlsPortFile, server.TlsPort());
    if (!options.portFile.empty()) WritePortFile(options.portFile, port);
    std::cout << "listening on http://" << options.bind << ":" << port << std::endl;
    if (server.TlsPort() > 0) std::cout << "and on https://" << options.bind << ":" << server.TlsPort() << std::endl;
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.Stop();
    });
    server.Run();
    // Run can also end on its own (listen failure): wake the waiter.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    std::cout << "stopped" << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = Options::Parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& error) {
        if (*error.what()) std::cerr << "vantoro-service: " << error.what() << "\n";
        std::cerr << Options::Usage();
        return 2;
    }
    try {
        return options.mode == Options::Mode::Serve ? Serve(options) : Generate(options);
    } catch (const std::exception& error) {
        std::cerr << "vantoro-service: " << error.what() << std::endl;
        return 1;
    }
}
