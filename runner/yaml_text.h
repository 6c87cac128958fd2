// Scalars of the YAML files the runner writes (scenarios from the journal), without
// an emitter: a writer that knows what it writes needs only to get each text right.
#pragma once

#include <string>
#include <string_view>

// Appends `text` double-quoted, with YAML's escapes for '"', '\\', the control
// characters (C0, DEL, C1), the line and paragraph separators and the byte order
// mark. Every other UTF-8 character is written as it is; bytes that are not UTF-8
// become U+FFFD, as the journal makes them.
void append_yaml_quoted(std::string& out, std::string_view text);

// Appends `text` plain when any YAML reader, in a block or inside a flow [ ] or { },
// reads it back as the same text ("SALE", "PRE-AUTH INCREMENT", "Invoice Not Found"),
// else double-quoted as above.
void append_yaml_text(std::string& out, std::string_view text);
