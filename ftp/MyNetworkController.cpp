#include "ftp/MyNetworkController.h"

#include <QFile>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool isWireless(const char *interface)
{
    QString base = QStringLiteral("/sys/class/net/") + QString::fromLocal8Bit(interface);
    return QFile::exists(base + QStringLiteral("/wireless")) || QFile::exists(base + QStringLiteral("/phy80211"));
}

bool isIPv4(const ifaddrs *entry) { return entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET; }

bool isUsable(const ifaddrs *entry)
{
    return (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING) && !(entry->ifa_flags & IFF_LOOPBACK);
}

QString dottedQuad(const sockaddr *address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

}  // namespace

QString MyNetworkController::localWifiIPAddress()
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return QStringLiteral("error");
    const char *chosen = nullptr;
    for (ifaddrs *e = list; e && !chosen; e = e->ifa_next) {
        if (isIPv4(e) && isWireless(e->ifa_name))
            chosen = e->ifa_name;
    }
    for (ifaddrs *e = list; e && !chosen; e = e->ifa_next) {
        if (isIPv4(e) && (e->ifa_flags & IFF_UP) && !(e->ifa_flags & IFF_LOOPBACK))
            chosen = e->ifa_name;
    }
    QString result = QStringLiteral("error");
    for (ifaddrs *e = list; e && chosen; e = e->ifa_next) {
        if (isIPv4(e) && strcmp(e->ifa_name, chosen) == 0)
            result = dottedQuad(e->ifa_addr);
    }
    freeifaddrs(list);
    return result;
}

QString MyNetworkController::localIPAddress()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return QString();
    return getIPAddressForHost(QString::fromLocal8Bit(name) + QStringLiteral(".local"));
}

QString MyNetworkController::getIPAddressForHost(const QString &host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *results = nullptr;
    int status = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &results);
    if (status != 0 || !results) {
        fprintf(stderr, "resolv: %s\n", gai_strerror(status));
        return QString();
    }
    QString address = dottedQuad(results->ai_addr);
    freeaddrinfo(results);
    return address;
}

bool MyNetworkController::addressFromString(const QString &text, sockaddr_in *address)
{
    if (text.isEmpty())
        return false;
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    return inet_pton(AF_INET, text.toLatin1().constData(), &address->sin_addr) == 1;
}

bool MyNetworkController::hostAvailable(const QString &host)
{
    QString text = getIPAddressForHost(host);
    if (text.isEmpty()) {
        fprintf(stderr, "Error recovering IP address from host name\n");
        return false;
    }
    sockaddr_in address;
    if (!addressFromString(text, &address)) {
        fprintf(stderr, "Error recovering sockaddr address from %s\n", qPrintable(text));
        return false;
    }
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) {
        fprintf(stderr, "Error. Could not recover network reachability flags\n");
        return false;
    }
    bool loopback = (ntohl(address.sin_addr.s_addr) >> 24) == 127;
    bool reachable = false;
    for (ifaddrs *e = list; e && !reachable; e = e->ifa_next) {
        if (!isIPv4(e) || !(e->ifa_flags & IFF_UP))
            continue;
        reachable = loopback ? (e->ifa_flags & IFF_LOOPBACK) != 0 : isUsable(e);
    }
    freeifaddrs(list);
    return reachable;
}

bool MyNetworkController::connectedToNetwork()
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) {
        fprintf(stderr, "Error. Could not recover network reachability flags\n");
        return false;
    }
    bool connected = false;
    for (ifaddrs *e = list; e && !connected; e = e->ifa_next) {
        connected = e->ifa_addr && (e->ifa_addr->sa_family == AF_INET || e->ifa_addr->sa_family == AF_INET6) &&
                    isUsable(e);
    }
    freeifaddrs(list);
    return connected;
}
