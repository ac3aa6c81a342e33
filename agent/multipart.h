// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_MULTIPART_H
#define AGENT_MULTIPART_H

#include <string>
#include <utility>
#include <vector>

// A multipart/form-data body (RFC 7578) whose one file part is streamed from disk: the bytes
// before the file's content and the bytes after it are made here, so the whole body's length is
// known before the first byte is sent and the file is never held in memory.
struct MultipartEnvelope {
    std::string contentType; // multipart/form-data; boundary=...
    std::string head; // the text fields, then the file part's header
    std::string tail; // the end of the file part and the closing boundary
};

// fields come before the file part, in the given order. The boundary must not occur in the
// file; a long random one makes that as good as certain.
MultipartEnvelope multipartEnvelope(const std::string& boundary,
    const std::vector<std::pair<std::string, std::string>>& fields, const std::string& fileField,
    const std::string& fileName);

#endif
