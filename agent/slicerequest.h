// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_SLICEREQUEST_H
#define AGENT_SLICEREQUEST_H

// No Qt here: fuzzed together with the form decoder.
#include "form.h"

#include <string>
#include <string_view>
#include <vector>

struct SliceItem {
    std::string stlPath;
    std::string stlPathWithPlus; // the path with every "+" kept (see FormField)
    int profileId = 0;
};

// What a slicing form asks for, checked for shape only: whether the printer, the profiles and
// the files exist is for the caller to find out.
struct SliceRequest {
    std::string jobName;
    std::string printerIp;
    std::string printerPort;
    std::vector<SliceItem> items;
};

// "/slice/preview": the fields "stl", "printer", "profile" and "name".
bool parsePreviewForm(const Form& form, SliceRequest& request, std::string& error);

// "/advanced-slice": "count", "printer", "name", then "stls_i" and "profiles_i" for i from 1.
bool parseAdvancedForm(const Form& form, SliceRequest& request, std::string& error);

// "address:port", split at the last colon (so that the address itself may hold colons).
bool splitPrinterAddress(std::string_view text, std::string& ip, std::string& port);

// A decimal integer with an optional "-", nothing else around it, within int's range.
bool parseInteger(std::string_view text, int& value);

// The largest number of items one plate takes; a bigger "count" is refused before anything is read.
constexpr int maximumPlateItems = 256;

#endif
