#pragma once

// Two pieces of work at once: `side` on a thread of its own while `main`
// runs on the calling one. Returns main's result once both have ended; an
// exception from either is thrown here (main's first) rather than ending
// the process with the thread. Header-only, so that code built alone (the
// fuzz targets) can use it too.

#include <exception>
#include <thread>
#include <type_traits>
#include <utility>

namespace quelvo::platform {

template<typename Main, typename Side>
auto RunBeside(Main&& main, Side&& side) -> decltype(main())
{
    std::exception_ptr sideFailed;
    std::thread beside([&] {
        try {
            side();
        } catch (...) {
            sideFailed = std::current_exception();
        }
    });
    struct Join {
        std::thread& thread;
        ~Join() { thread.join(); }
    };
    auto finish = [&] {
        if (sideFailed)
            std::rethrow_exception(sideFailed);
    };
    if constexpr (std::is_void_v<decltype(main())>) {
        {
            Join join{beside};
            main();
        }
        finish();
    } else {
        auto result = [&] {
            Join join{beside};
            return main();
        }();
        finish();
        return result;
    }
}

}  // namespace quelvo::platform
