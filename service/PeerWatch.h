// Tells whether the client of a request has gone away. httplib's sink only
// says whether the socket is writable, which stays true after the peer
// closed, so a stalled response looks its socket up by the connection's ports.
#pragma once

class PeerWatch {
public:
    PeerWatch(int remotePort, int localPort);

    bool Found() const { return fd_ >= 0; }
    // True once the client closed or reset the connection.
    bool Gone() const;

private:
    int fd_ = -1;
};
