// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printercatalog.h"
#include "printermodels.h"

PrinterCatalog loadPrinterCatalog(const std::string& printersFile)
{
    PrinterCatalog catalog;
    catalog.printers = builtinPrinters();
    for (Printer& printer : catalogPrinters())
        catalog.printers.push_back(std::move(printer));
    std::vector<Printer> configured;
    if (readPrintersFile(printersFile, configured, catalog.fileError)) {
        catalog.fileError.clear();
        for (Printer& printer : configured)
            catalog.printers.push_back(std::move(printer));
    }
    return catalog;
}

const Printer* findPrinter(
    const std::vector<Printer>& printers, const std::string& ip, const std::string& port)
{
    for (const Printer& printer : printers) {
        if (printer.ip == ip && printer.port == port)
            return &printer;
    }
    return nullptr;
}

const Profile* findProfile(const Printer& printer, int profileId)
{
    for (const Profile& profile : printer.profiles) {
        if (profile.profileId == profileId)
            return &profile;
    }
    return nullptr;
}
