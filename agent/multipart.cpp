// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "multipart.h"

namespace {

// Quotes and line breaks would end the header parameter early; browsers send them as %22, %0D
// and %0A, which the hosts read back the same way.
std::string headerValue(const std::string& text)
{
    std::string result;
    for (const char c : text) {
        if (c == '"')
            result += "%22";
        else if (c == '\r')
            result += "%0D";
        else if (c == '\n')
            result += "%0A";
        else
            result += c;
    }
    return result;
}

} // namespace

MultipartEnvelope multipartEnvelope(const std::string& boundary,
    const std::vector<std::pair<std::string, std::string>>& fields, const std::string& fileField,
    const std::string& fileName)
{
    MultipartEnvelope envelope;
    envelope.contentType = "multipart/form-data; boundary=" + boundary;
    for (const auto& field : fields) {
        envelope.head += "--" + boundary + "\r\n";
        envelope.head
            += "Content-Disposition: form-data; name=\"" + headerValue(field.first) + "\"\r\n\r\n";
        envelope.head += field.second + "\r\n";
    }
    envelope.head += "--" + boundary + "\r\n";
    envelope.head += "Content-Disposition: form-data; name=\"" + headerValue(fileField)
        + "\"; filename=\"" + headerValue(fileName) + "\"\r\n";
    envelope.head += "Content-Type: application/octet-stream\r\n\r\n";
    envelope.tail = "\r\n--" + boundary + "--\r\n";
    return envelope;
}
