// The request path of the lookup service's HTTP transport: raw bytes from a
// client go through the same parser and answers (HttpResponder::Next) as on
// a connection, arriving in pieces the way reads deliver them. The first
// byte picks the Host rule and where the reads split the rest.
//
// Checked: every answer is a well-formed HTTP/1.1 answer with the headers
// the service promises and a Content-Length that matches; no request is
// ever waited for once the head limit is reached (the connection would hang);
// and the answers do not depend on how the bytes were split.

#include "lookup/Catalogue.h"
#include "lookup/Http.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace quelvo::lookup;

namespace {

std::string ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::shared_ptr<const Catalogue> Shipped()
{
    static const auto catalogue = std::make_shared<const Catalogue>(
        Catalogue::FromText(ReadAll(QUELVO_LOOKUP_CATALOGUE), ReadAll(QUELVO_FILETYPE_LIB)));
    return catalogue;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string_view HeaderValue(std::string_view head, std::string_view name)
{
    const std::string key = "\r\n" + std::string(name) + ": ";
    const std::size_t at = head.find(key);
    if (at == std::string_view::npos)
        return {};
    const std::size_t from = at + key.size();
    return head.substr(from, head.find("\r\n", from) - from);
}

void CheckAnswer(const HttpStep& step)
{
    const std::string& a = step.answer;
    Check(a.rfind("HTTP/1.1 ", 0) == 0);
    Check(a.size() > 12 && std::to_string(step.status) == a.substr(9, 3));
    const std::size_t end = a.find("\r\n\r\n");
    Check(end != std::string::npos);
    const std::string_view head(a.data(), end + 2);
    // Every line ends in CR LF, and nothing from the request splits one.
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '\n')
            Check(i > 0 && head[i - 1] == '\r');
        if (head[i] == '\r')
            Check(i + 1 < head.size() && head[i + 1] == '\n');
    }
    Check(HeaderValue(head, "X-Content-Type-Options") == "nosniff");
    Check(HeaderValue(head, "Content-Security-Policy") == kContentSecurityPolicy);
    Check(HeaderValue(head, "Referrer-Policy") == "no-referrer");
    Check(HeaderValue(head, "X-UA-Compatible") == "IE=edge");
    Check(HeaderValue(head, "Date").size() == 29);
    const std::string_view body = std::string_view(a).substr(end + 4);
    if (step.status != 304) {
        const std::string_view length = HeaderValue(head, "Content-Length");
        Check(!length.empty());
        Check(body.empty() || std::string(length) == std::to_string(body.size()));
        Check(HeaderValue(head, "Content-Type").find("; charset=utf-8") != std::string_view::npos);
    } else {
        Check(body.empty());
    }
    Check(body.find("<script") == std::string_view::npos);
    if (step.close)
        Check(HeaderValue(head, "Connection") == "close");
}

// The statuses of every answer, as a connection would give them with reads
// of at most `piece` bytes (0: all there is, up to the head limit).
std::vector<int> Converse(const HttpResponder& responder, std::string_view bytes, std::size_t piece)
{
    const std::size_t limit = responder.Limits().headBytes;
    std::vector<int> statuses;
    std::string buffer;
    std::size_t sent = 0;
    for (;;) {
        const HttpStep step = responder.Next(buffer);
        Check(step.consumed <= buffer.size());
        buffer.erase(0, step.consumed);
        if (step.kind == HttpStep::Answer) {
            CheckAnswer(step);
            statuses.push_back(step.status);
            if (step.close)
                return statuses;
            continue;
        }
        // Waiting for more is only right while more can be read.
        Check(buffer.size() < limit);
        if (sent == bytes.size())
            return statuses;
        std::size_t take = limit - buffer.size();
        if (piece > 0 && piece < take)
            take = piece;
        const std::string_view next = bytes.substr(sent, take);
        buffer.append(next);
        sent += next.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    HttpLimits limits;
    if (data[0] & 0x40) {
        limits.headBytes = 256;  // the limits' edges within the fuzzer's input sizes
        limits.headerFields = 4;
    }
    const HttpResponder responder(Shipped(), limits, (data[0] & 0x80) ? "127.0.0.1:8080" : "");
    const std::vector<int> whole = Converse(responder, rest, 0);
    // Small pieces, but not so many that a long input takes the fuzzer's time.
    const std::size_t piece = std::max<std::size_t>(1 + (data[0] & 0x3F), rest.size() / 64);
    Check(Converse(responder, rest, piece) == whole);
    return 0;
}
