// The device's own network address and whether the network can be reached, from the
// interface table. Stateless; callable from any thread.
#pragma once

#include <QString>

struct sockaddr_in;

class MyNetworkController {
public:
    // The IPv4 address of the Wi-Fi interface, or "error". The Wi-Fi interface is the first
    // wireless interface with an IPv4 address, else the first non-loopback interface that is
    // up and has one; of several addresses the last one listed wins.
    static QString localWifiIPAddress();
    // The first IPv4 address of "<host name>.local", or an empty text.
    static QString localIPAddress();
    // The first IPv4 address of `host`, or an empty text.
    static QString getIPAddressForHost(const QString &host);
    // Fills `address` from a dotted IPv4 text; false when the text is not one.
    static bool addressFromString(const QString &text, sockaddr_in *address);
    // True when an interface that is up could carry traffic to the host's address.
    static bool hostAvailable(const QString &host);
    // True when a non-loopback interface is up and running with an address.
    static bool connectedToNetwork();
};
