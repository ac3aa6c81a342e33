// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_PRINTERCATALOG_H
#define AGENT_PRINTERCATALOG_H

#include "profile.h"

#include <string>
#include <vector>

// Every printer the agent knows: the built-in printer classes, the built-in printers people own
// by name (printermodels.h), then the printer hosts configured in
// the printers file of the data folder. The file is read afresh for each request, so an edit takes
// effect without restarting the agent.
struct PrinterCatalog {
    std::vector<Printer> printers;
    std::string fileError; // why the printers file was skipped, or empty
};

PrinterCatalog loadPrinterCatalog(const std::string& printersFile);

// The printer at exactly this address and port, or nullptr. The first one listed wins, so a
// configured host cannot shadow a built-in printer.
const Printer* findPrinter(
    const std::vector<Printer>& printers, const std::string& ip, const std::string& port);

const Profile* findProfile(const Printer& printer, int profileId);

#endif
