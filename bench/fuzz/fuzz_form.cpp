// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for everything the agent decodes from a client: form bodies, the slicing
// forms built on them, printer addresses, content types and the Host/Origin guard. Besides
// "no crash" it checks the promises the server relies on and aborts when one is broken.
#include "form.h"
#include "requestguard.h"
#include "requesthead.h"
#include "slicerequest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool promise)
{
    if (!promise)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    Form form;
    std::string error;
    if (parseForm(input, form, error)) {
        for (const FormField& field : form) {
            // Decoding never grows text, and what the server reads is always UTF-8.
            check(field.key.size() + field.value.size() <= size);
            check(isUtf8(field.key) && isUtf8(field.value) && isUtf8(field.valueWithPlus));
            check(formValue(form, field.key) == &field.value); // names are unique
            // A NUL would cut a path short once it reaches the system.
            check(field.key.find('\0') == std::string::npos
                && field.valueWithPlus.find('\0') == std::string::npos);
            // The two readings differ only where a plus stood.
            check(field.value.size() == field.valueWithPlus.size());
            for (std::size_t i = 0; i < field.value.size(); ++i)
                check(field.value[i] == field.valueWithPlus[i]
                    || (field.value[i] == ' ' && field.valueWithPlus[i] == '+'));
        }
        SliceRequest request;
        std::string sliceError;
        for (const bool advanced : { false, true }) {
            const bool read = advanced ? parseAdvancedForm(form, request, sliceError)
                                       : parsePreviewForm(form, request, sliceError);
            if (read) {
                check(!request.items.empty() && request.items.size() <= maximumPlateItems);
                check(!request.printerIp.empty() && !request.printerPort.empty());
                for (const SliceItem& item : request.items)
                    check(!item.stlPath.empty() && item.stlPath.front() == '/');
            } else {
                check(!sliceError.empty());
            }
        }
    } else {
        check(!error.empty());
    }

    std::string decoded;
    if (percentDecode(input, false, decoded))
        check(decoded.size() <= size);

    std::string ip;
    std::string port;
    if (splitPrinterAddress(input, ip, port))
        check(ip.size() + 1 + port.size() == size && input[ip.size()] == ':');

    isFormContentType(input);

    int number = 0;
    if (parseInteger(input, number))
        check(std::to_string(number) == input || input == "-0" || input.front() == '0'
            || input.substr(0, 2) == "-0");

    // The guard lets through only the two names of this socket, whatever the Host says.
    const bool allowed = requestRefusal(false, false, 1, input, 18383).empty();
    if (allowed)
        check(input.size() > 6 && input.substr(input.size() - 6) == ":18383");
    check(!requestRefusal(true, false, 1, input, 18383).empty());
    check(!requestRefusal(false, true, 1, input, 18383).empty());

    // A request head is judged within its limits, and a complete one ends where it says.
    const RequestHead head = scanRequestHead(input);
    if (head.state == RequestHead::State::Complete) {
        check(head.headLength <= size && head.headLength <= kMostHeadBytes);
        check(input.substr(head.headLength - 4, 4) == "\r\n\r\n");
        check(head.bodyKnown || head.bodyLength == 0);
        // Every line ends in CR LF, where the HTTP library would split it too.
        for (std::size_t at = 0; at < head.headLength; ++at)
            check((input[at] != '\n' || (at > 0 && input[at - 1] == '\r'))
                && (input[at] != '\r' || input[at + 1] == '\n'));
    } else if (head.state == RequestHead::State::Incomplete) {
        check(size <= kMostHeadBytes && input.find("\r\n\r\n") == std::string_view::npos);
    }
    return 0;
}
