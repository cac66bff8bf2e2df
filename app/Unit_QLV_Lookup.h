#pragma once

// Where Download sends the user. No toolkit here, so that both front ends
// share it.
//
// The lookup host is the environment variable QUELVO_LOOKUP_HOST when set and
// not empty, else the build's setting. While that is the build's default, the
// program answers the lookup itself: the first call starts the lookup service
// on 127.0.0.1 with a free port (catalogue and file type library from the
// program directory) and keeps it for the program's life, so that the
// desktop's browser, when the embedded one cannot start, is answered too. It
// answers only requests for that address. When it cannot be started, the
// configured host is used.

#include <string>
#include <string_view>

namespace quelvo::app {

// The configured host (or host:port).
std::u16string func_LookupHostText();

// "http://" + host + "/ext/file_ext.php?" + query, the host being the
// embedded service's "127.0.0.1:<port>" or the configured one. appDir is the
// program directory, ending in a separator or not.
std::u16string func_LookupAddress(std::u16string_view query, std::u16string_view appDir);

}  // namespace quelvo::app
