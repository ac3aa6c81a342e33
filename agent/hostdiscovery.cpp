// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostdiscovery.h"

#include "hostexchange.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>

#include <cstdio>
#include <set>
#include <tuple>

namespace {

const char* const serviceTypes[] = { "_octoprint._tcp", "_http._tcp" };

// Web servers asked at once: one that answers slowly holds up only its own probe.
constexpr int probesAtOnce = 8;

std::string txtValue(AvahiStringList* txt, const char* key)
{
    AvahiStringList* entry = avahi_string_list_find(txt, key);
    char* name = nullptr;
    char* value = nullptr;
    std::string result;
    if (entry && avahi_string_list_get_pair(entry, &name, &value, nullptr) == 0 && value)
        result = value;
    avahi_free(name);
    avahi_free(value);
    return result;
}

// Short time-outs and a whole answer within seconds, since most web servers on a network are
// something else; the same bound on the answer's size as for a send.
ExchangeLimits probeLimits()
{
    ExchangeLimits limits;
    limits.connectSeconds = 2;
    limits.stallSeconds = 2;
    limits.answerSeconds = 3;
    return limits;
}

// Asks a web server whether it is a printer host: these answer "/api/version" with their API
// and server versions. False also when it cannot be asked or its answer is out of bounds.
bool answersLikePrinterHost(HostExchange& exchange)
{
    HostReply reply;
    if (!exchange.request("GET", "/api/version", {}, 0, nullptr, reply))
        return false;
    // A host that wants a key first (401, 403) still shows what it is.
    if (reply.status == 401 || reply.status == 403)
        return true;
    const QJsonObject version
        = QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
    return reply.status == 200 && version.contains(QStringLiteral("api"))
        && version.contains(QStringLiteral("server"));
}

} // namespace

bool HostDiscovery::Service::operator<(const Service& other) const
{
    return std::tie(interface, name, type, domain)
        < std::tie(other.interface, other.name, other.type, other.domain);
}

struct HostDiscovery::Avahi {
    HostDiscovery* owner = nullptr;
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    std::vector<AvahiServiceBrowser*> browsers;
    bool saidMissing = false;

    void freeBrowsers()
    {
        for (AvahiServiceBrowser* browser : browsers)
            avahi_service_browser_free(browser);
        browsers.clear();
    }

    void sayMissing(const char* why)
    {
        if (saidMissing)
            return;
        saidMissing = true;
        std::fprintf(stderr,
            "agent: no Avahi daemon answers (%s), so printer hosts on the network are not"
            " discovered; configured and built-in printers still work.\n",
            why);
    }

    static void onResolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
        AvahiResolverEvent event, const char* name, const char* type, const char* domain,
        const char*, const AvahiAddress* address, uint16_t port, AvahiStringList* txt,
        AvahiLookupResultFlags, void* data)
    {
        auto* self = static_cast<Avahi*>(data);
        if (event == AVAHI_RESOLVER_FOUND && address) {
            char text[AVAHI_ADDRESS_STR_MAX];
            avahi_address_snprint(text, sizeof text, address);
            DiscoveredHost host { name, text, std::to_string(port), txtValue(txt, "model") };
            const bool http = std::string(type) == "_http._tcp";
            self->owner->found({ interface, name, type, domain }, host, http && host.model.empty());
        }
        avahi_service_resolver_free(resolver);
    }

    static void onBrowsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
        AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
        AvahiLookupResultFlags, void* data)
    {
        auto* self = static_cast<Avahi*>(data);
        switch (event) {
        case AVAHI_BROWSER_NEW:
            // IPv4 addresses only: they are what the user sees and types into printers.json.
            avahi_service_resolver_new(self->client, interface, protocol, name, type, domain,
                AVAHI_PROTO_INET, AvahiLookupFlags(0), onResolved, self);
            break;
        case AVAHI_BROWSER_REMOVE:
            self->owner->lost({ interface, name, type, domain });
            break;
        default:
            break;
        }
    }

    static void onClientState(AvahiClient* client, AvahiClientState state, void* data)
    {
        auto* self = static_cast<Avahi*>(data);
        self->client = client; // called from inside avahi_client_new, before it returns
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            if (self->browsers.empty()) {
                for (const char* type : serviceTypes) {
                    AvahiServiceBrowser* browser
                        = avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, type,
                            nullptr, AvahiLookupFlags(0), onBrowsed, self);
                    if (browser)
                        self->browsers.push_back(browser);
                }
            }
            break;
        case AVAHI_CLIENT_CONNECTING:
            // Also after the daemon went away: its browsers are gone with it, and so is what
            // they found. They are made again once it is back.
            self->freeBrowsers();
            self->owner->clear();
            self->sayMissing("waiting for it to start");
            break;
        case AVAHI_CLIENT_FAILURE:
            self->sayMissing(avahi_strerror(avahi_client_errno(client)));
            self->owner->clear();
            break;
        default:
            break;
        }
    }
};

HostDiscovery::HostDiscovery() = default;

HostDiscovery::~HostDiscovery()
{
    if (m_avahi) {
        if (m_avahi->poll)
            avahi_threaded_poll_stop(m_avahi->poll);
        if (m_avahi->client)
            avahi_client_free(m_avahi->client); // frees the browsers and resolvers too
        if (m_avahi->poll)
            avahi_threaded_poll_free(m_avahi->poll);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        // A probe never holds up the end: its wait ends at once.
        for (const RunningProbe& probe : m_running)
            probe.exchange->stop();
    }
    m_probeWake.notify_all();
    for (std::thread& prober : m_probers)
        prober.join();
}

void HostDiscovery::start()
{
    if (m_avahi)
        return;
    m_avahi = std::make_unique<Avahi>();
    m_avahi->owner = this;
    for (int i = 0; i < probesAtOnce; ++i)
        m_probers.emplace_back([this] { probeLoop(); });
    m_avahi->poll = avahi_threaded_poll_new();
    if (!m_avahi->poll) {
        m_avahi->sayMissing("no event loop for it");
        return;
    }
    int error = 0;
    // NO_FAIL: a daemon that starts later, or restarts, is picked up when it comes.
    AvahiClient* client = avahi_client_new(avahi_threaded_poll_get(m_avahi->poll),
        AVAHI_CLIENT_NO_FAIL, Avahi::onClientState, m_avahi.get(), &error);
    if (!client) {
        m_avahi->sayMissing(avahi_strerror(error));
        return;
    }
    m_avahi->client = client;
    avahi_threaded_poll_start(m_avahi->poll);
}

std::vector<DiscoveredHost> HostDiscovery::hosts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<DiscoveredHost> result;
    std::set<std::string> addresses;
    for (const auto& entry : m_hosts) {
        // One service is seen once per interface that reaches it.
        if (addresses.insert(entry.second.ip + ":" + entry.second.port).second)
            result.push_back(entry.second);
    }
    return result;
}

void HostDiscovery::found(const Service& service, const DiscoveredHost& host, bool needsProbe)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!needsProbe) {
            m_hosts[service] = host;
            return;
        }
        m_probes.emplace_back(service, host);
    }
    m_probeWake.notify_all();
}

void HostDiscovery::lost(const Service& service)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hosts.erase(service);
    for (RunningProbe& probe : m_running) {
        if (!(probe.service < service) && !(service < probe.service))
            probe.lost = true;
    }
    for (auto it = m_probes.begin(); it != m_probes.end();) {
        it = (!(it->first < service) && !(service < it->first)) ? m_probes.erase(it) : it + 1;
    }
}

void HostDiscovery::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hosts.clear();
    m_probes.clear();
    for (RunningProbe& probe : m_running)
        probe.lost = true;
}

void HostDiscovery::probeLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_probeWake.wait(lock, [this] { return m_stopping || !m_probes.empty(); });
        if (m_stopping)
            return;
        const std::pair<Service, DiscoveredHost> probe = m_probes.front();
        m_probes.pop_front();
        HostExchange exchange(probe.second.ip, std::stoi(probe.second.port), probeLimits());
        const auto running = m_running.insert(m_running.end(), { probe.first, &exchange, false });
        lock.unlock();
        const bool printerHost = answersLikePrinterHost(exchange);
        lock.lock();
        if (printerHost && !running->lost)
            m_hosts[probe.first] = probe.second;
        m_running.erase(running);
    }
}
