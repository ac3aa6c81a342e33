// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTDISCOVERY_H
#define AGENT_HOSTDISCOVERY_H

#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HostExchange;

// A printer host found on the network.
struct DiscoveredHost {
    std::string name; // the service's instance name, shown to the user
    std::string ip; // IPv4 address
    std::string port;
    std::string model; // the TXT record's "model", or empty
};

// Browses DNS-SD (mDNS) through the Avahi daemon, in the background, for "_octoprint._tcp"
// services and for "_http._tcp" services that turn out to be printer hosts: by a "model" key in
// their TXT record, or else by an "/api/version" answer. Services that go away drop out of the
// list. Several are asked at once, each within a few seconds, and the end waits for none of them.
// Where no Avahi daemon runs, one line on stderr says so and the list stays empty.
class HostDiscovery {
public:
    HostDiscovery();
    ~HostDiscovery();
    HostDiscovery(const HostDiscovery&) = delete;
    HostDiscovery& operator=(const HostDiscovery&) = delete;

    void start();
    // What is known now; never waits on the network. One entry per address and port.
    std::vector<DiscoveredHost> hosts() const;

    // The Avahi side calls these on its own thread.
    struct Service {
        int interface = 0;
        std::string name;
        std::string type;
        std::string domain;
        bool operator<(const Service& other) const;
    };
    void found(const Service& service, const DiscoveredHost& host, bool needsProbe);
    void lost(const Service& service);
    void clear();

private:
    struct Avahi;
    // A service being asked now, and whether it went away meanwhile.
    struct RunningProbe {
        Service service;
        HostExchange* exchange;
        bool lost;
    };
    void probeLoop();

    std::unique_ptr<Avahi> m_avahi;
    mutable std::mutex m_mutex;
    std::map<Service, DiscoveredHost> m_hosts;
    // "_http._tcp" services whose TXT record does not say what they are, waiting to be asked.
    std::deque<std::pair<Service, DiscoveredHost>> m_probes;
    std::list<RunningProbe> m_running;
    std::condition_variable m_probeWake;
    bool m_stopping = false;
    std::vector<std::thread> m_probers;
};

#endif
