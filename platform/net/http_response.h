#pragma once
// A plain HTTP/1.x response as a small device sends it: a status line, headers, and a body
// delimited by Content-Length, by chunks, or by the end of the connection.
#include <optional>
#include <string>
#include <string_view>

namespace platform::net {

struct HttpResponse {
    int status = 0;
    std::string body;
};

// `raw` is everything the server sent before it closed the connection. Nothing when it is no
// complete response (truncated, malformed, or a body shorter than it claims).
std::optional<HttpResponse> parseHttpResponse(std::string_view raw);

// The request for `path` on `host` (shown in the Host header), asking the server to close.
std::string httpGetRequest(std::string_view host, std::string_view path);

}  // namespace platform::net
