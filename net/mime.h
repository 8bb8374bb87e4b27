// Inside the URL layer: MIME types, bound to names by their suffix or
// taken from a server's Content-Type header.
#pragma once
#include <string>

// The type bound to the suffix of the URL's or path's last segment
// ("www/unknown" when none is bound). A trailing ".gz" names an encoding
// and is passed over.
const char* formatOfName(const char* name);

// The bare type of a Content-Type header value, lower case, without
// parameters; empty when there is none.
std::string formatOfHeader(const char* header);
