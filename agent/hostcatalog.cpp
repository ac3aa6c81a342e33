// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcatalog.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameModel(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x))
            == std::tolower(static_cast<unsigned char>(y));
    });
}

std::vector<Profile> profilesForModel(
    const std::vector<Printer>& builtins, const std::string& model)
{
    const Printer* generic = nullptr;
    for (const Printer& printer : builtins) {
        if (!model.empty() && sameModel(printer.model, model))
            return printer.profiles;
        if (printer.model == "LCD-4K")
            generic = &printer;
    }
    return generic ? generic->profiles : std::vector<Profile>();
}

} // namespace

std::vector<Printer> withDiscoveredHosts(
    std::vector<Printer> printers, const std::vector<DiscoveredHost>& hosts)
{
    const std::vector<Printer> builtins = builtinPrinters();
    for (const DiscoveredHost& host : hosts) {
        const bool listed = std::any_of(printers.begin(), printers.end(),
            [&](const Printer& p) { return p.ip == host.ip && p.port == host.port; });
        if (listed)
            continue;
        Printer printer;
        printer.name = host.name;
        printer.ip = host.ip;
        printer.port = host.port;
        printer.model = host.model.empty() ? host.name : host.model;
        printer.local = false;
        printer.profiles = profilesForModel(builtins, host.model);
        printers.push_back(std::move(printer));
    }
    return printers;
}
