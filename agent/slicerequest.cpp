// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "slicerequest.h"

#include <limits>

namespace {

bool requireField(const Form& form, const std::string& key, std::string& value, std::string& error)
{
    const std::string* found = formValue(form, key);
    if (!found) {
        error = "The form lacks the field \"" + key + "\".";
        return false;
    }
    value = *found;
    return true;
}

bool readPrinter(const Form& form, SliceRequest& request, std::string& error)
{
    std::string printer;
    if (!requireField(form, "printer", printer, error))
        return false;
    if (!splitPrinterAddress(printer, request.printerIp, request.printerPort)) {
        error = "The field \"printer\" must read address:port.";
        return false;
    }
    return true;
}

bool readItem(const Form& form, const std::string& stlKey, const std::string& profileKey,
    SliceRequest& request, std::string& error)
{
    SliceItem item;
    std::string profile;
    if (!requireField(form, stlKey, item.stlPath, error)
        || !requireField(form, profileKey, profile, error))
        return false;
    item.stlPathWithPlus = formField(form, stlKey)->valueWithPlus;
    // Relative paths would depend on the agent's working directory, which the client never sees.
    if (item.stlPath.empty() || item.stlPath.front() != '/') {
        error = "The field \"" + stlKey + "\" must hold an absolute path to an STL file.";
        return false;
    }
    if (!parseInteger(profile, item.profileId)) {
        error = "The field \"" + profileKey + "\" must hold a profile number.";
        return false;
    }
    request.items.push_back(std::move(item));
    return true;
}

} // namespace

bool splitPrinterAddress(std::string_view text, std::string& ip, std::string& port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size())
        return false;
    ip = std::string(text.substr(0, colon));
    port = std::string(text.substr(colon + 1));
    return true;
}

bool parseInteger(std::string_view text, int& value)
{
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10)
        return false;
    long long number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    if (negative)
        number = -number;
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(number);
    return true;
}

bool parsePreviewForm(const Form& form, SliceRequest& request, std::string& error)
{
    request = SliceRequest();
    return readPrinter(form, request, error) && requireField(form, "name", request.jobName, error)
        && readItem(form, "stl", "profile", request, error);
}

bool parseAdvancedForm(const Form& form, SliceRequest& request, std::string& error)
{
    request = SliceRequest();
    std::string countText;
    if (!requireField(form, "count", countText, error))
        return false;
    int count = 0;
    if (!parseInteger(countText, count) || count < 1 || count > maximumPlateItems) {
        error = "The field \"count\" must be a number of items from 1 to "
            + std::to_string(maximumPlateItems) + ".";
        return false;
    }
    if (!readPrinter(form, request, error) || !requireField(form, "name", request.jobName, error))
        return false;
    for (int i = 1; i <= count; ++i) {
        const std::string number = std::to_string(i);
        if (!readItem(form, "stls_" + number, "profiles_" + number, request, error))
            return false;
    }
    return true;
}
