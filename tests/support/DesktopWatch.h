#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// Another client of the X server, watching the root window the way a panel
// and a launcher do: which windows the window manager lists, with the state
// each had at that moment; the activation requests clients send; the
// startup-notification messages. It reads on a thread of its own, so a
// listing is read as soon as it is announced, not when the test next looks.
class DesktopWatch {
public:
    struct Listing {
        uint32_t window = 0;
        QSet<QByteArray> state;
    };
    struct ActivationRequest {
        uint32_t window = 0;
        uint32_t source = 0;
        uint32_t time = 0;
    };

    DesktopWatch();
    ~DesktopWatch();
    DesktopWatch(const DesktopWatch&) = delete;
    DesktopWatch& operator=(const DesktopWatch&) = delete;

    bool isOpen() const { return watching.joinable(); }

    // Each time a window entered _NET_CLIENT_LIST, in order.
    QList<Listing> listingsOf(uint32_t window) const;
    // Whether the window is in the list as the watch last read it. A window
    // that leaves the list and enters it again before the watch reads it
    // makes no new listing: wait for the watch to see it leave.
    bool isListed(uint32_t window) const;
    QList<ActivationRequest> activationRequests() const;
    QList<QByteArray> startupMessages() const;

private:
    struct Connection;
    void watch();

    std::unique_ptr<Connection> connection;
    int wakeFd[2] = {-1, -1};
    mutable std::mutex seenLock;
    QList<Listing> listings;
    QList<uint32_t> listedNow;
    QList<ActivationRequest> requests;
    QList<QByteArray> messages;
    std::thread watching;
};

// The X server's time now, taken through a property change of a window of
// its own; 0 without a display.
uint32_t freshServerTime();
