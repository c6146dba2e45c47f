// SPDX-License-Identifier: GPL-3.0-or-later
#include "MailAddress.h"

#include <algorithm>
#include <cstdint>

namespace MailAddress {

namespace {

bool isAtext(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+/=?^_`{|}~-").find(c) != std::string_view::npos;
}

bool validUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
            (extra == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
            (cp >= 0x80 && cp < 0xA0))
            return false; // overlong, out of range, surrogate, or a C1 control character
        i += extra + 1;
    }
    return true;
}

} // namespace

bool isSingleAddress(std::string_view text)
{
    if (text.empty() || text.size() > 254)
        return false;
    const size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0 || text.find('@', at + 1) != std::string_view::npos)
        return false;
    const std::string_view local = text.substr(0, at);
    const std::string_view domain = text.substr(at + 1);
    if (local.size() > 64 || local.front() == '.' || local.back() == '.' ||
        local.find("..") != std::string_view::npos)
        return false;
    for (char c : local)
        if (!isAtext(c) && c != '.')
            return false;
    if (domain.empty() || domain.front() == '.' || domain.back() == '.' ||
        domain.find("..") != std::string_view::npos)
        return false;
    size_t labelStart = 0;
    for (size_t i = 0; i <= domain.size(); ++i) {
        if (i == domain.size() || domain[i] == '.') {
            const std::string_view label = domain.substr(labelStart, i - labelStart);
            if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
                return false;
            labelStart = i + 1;
            continue;
        }
        const char c = domain[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-'))
            return false;
    }
    return true;
}

bool isHeaderText(std::string_view text, size_t maxBytes)
{
    if (text.size() > maxBytes || !validUtf8(text))
        return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

std::string encodeHeaderText(std::string_view text)
{
    bool plain = true;
    for (char c : text)
        plain = plain && static_cast<unsigned char>(c) < 0x80;
    if (plain)
        return std::string(text);
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // One encoded word per chunk of whole characters, so no word splits a UTF-8 sequence.
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = std::min(text.size(), i + 45);
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        const std::string_view chunk = text.substr(i, end - i);
        std::string b64;
        for (size_t k = 0; k < chunk.size(); k += 3) {
            uint32_t n = static_cast<unsigned char>(chunk[k]) << 16;
            if (k + 1 < chunk.size())
                n |= static_cast<unsigned char>(chunk[k + 1]) << 8;
            if (k + 2 < chunk.size())
                n |= static_cast<unsigned char>(chunk[k + 2]);
            b64 += alphabet[(n >> 18) & 63];
            b64 += alphabet[(n >> 12) & 63];
            b64 += k + 1 < chunk.size() ? alphabet[(n >> 6) & 63] : '=';
            b64 += k + 2 < chunk.size() ? alphabet[n & 63] : '=';
        }
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + b64 + "?=";
        i = end;
    }
    return out;
}

} // namespace MailAddress
