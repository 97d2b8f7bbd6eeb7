// Checks the certificate an https server showed, with the system's own chain
// engine and root store: a chain to a trusted root, fit for server
// authentication, issued for the host asked for. Schannel checks the same on
// Windows during the handshake; this holds also where the TLS layer checks
// nothing itself, and runs before a byte of the request is sent.
#pragma once
#include <string>

namespace http {

// curl is the CURL* of a transfer whose connection is up (its pre-request
// callback). Empty when the connection is not https or the certificate is
// trusted, else why it is not.
std::string CheckServerCertificate(void* curl);

}  // namespace http
