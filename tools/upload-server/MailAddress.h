// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Checks on what a client may put into a mail header: one plain address, or a one-line text.
namespace MailAddress {

// One address of the form local@domain: ASCII, no spaces, no display name, no second address,
// no line break; at most 254 characters.
bool isSingleAddress(std::string_view text);

// Text that may stand in a header field: valid UTF-8 without control characters (so no line
// breaks), at most `maxBytes` bytes.
bool isHeaderText(std::string_view text, size_t maxBytes = 900);

// `text` as an RFC 2047 encoded word when it is not plain ASCII, unchanged otherwise.
std::string encodeHeaderText(std::string_view text);

} // namespace MailAddress
