// Log calls whose format text does not fit their values: each CASE must fail to
// compile, naming its fault; CASE 0 holds the same calls written right and
// must compile, so a failure of the others is not down to the file itself.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/log.h"
#include "src/base/run_context.h"

struct NotLoggable {
    int x;
};

void calls(const RunContext& ctx, std::string_view made_at_run_time) {
    (void)made_at_run_time;
#if CASE == 0
    log_format(ctx, LogLevel::info, "{} and {}", 1, "two");
    log_format(ctx, LogLevel::info, "Loaded {:d} markers", std::int64_t{3});
    log_format(ctx, LogLevel::info, "{:d} of {:d}", std::uint32_t{1}, short{2});
    log_format(ctx, LogLevel::info, "at {:.2f}, {:.0f}", 1.5f, 2.0);
    log_format(ctx, LogLevel::info, "leaked {:size}", std::size_t{24});
    log_format(ctx, LogLevel::info, "{{literal}} 100% {}", true);
    log_format(ctx, LogLevel::info, "no values");
#elif CASE == 1
    log_format(ctx, LogLevel::info, "{} and {}", 1);
#elif CASE == 2
    log_format(ctx, LogLevel::info, "{}", 1, 2);
#elif CASE == 3
    log_format(ctx, LogLevel::info, "Loaded %d markers", 3);
#elif CASE == 4
    log_format(ctx, LogLevel::info, "Loaded {:d} markers", 3.0);
#elif CASE == 5
    log_format(ctx, LogLevel::info, "Loaded {:d} markers", "three");
#elif CASE == 6
    log_format(ctx, LogLevel::info, "Loaded {:d} markers", true);
#elif CASE == 7
    log_format(ctx, LogLevel::info, "at {:.2f}", 1);
#elif CASE == 8
    log_format(ctx, LogLevel::info, "leaked {:size}", -24);
#elif CASE == 9
    log_format(ctx, LogLevel::info, "leaked {:size}", 24.0f);
#elif CASE == 10
    log_format(ctx, LogLevel::info, "{:x}", 1);
#elif CASE == 11
    log_format(ctx, LogLevel::info, "at {:.12f}", 1.0);
#elif CASE == 12
    log_format(ctx, LogLevel::info, "{ and", 1);
#elif CASE == 13
    log_format(ctx, LogLevel::info, "} and {}", 1);
#elif CASE == 14
    log_format(ctx, LogLevel::info, made_at_run_time, 1);
#elif CASE == 15
    log_format(ctx, LogLevel::info, "{}", NotLoggable{1});
#elif CASE == 16
    log_format(ctx, 30, "{}", 1);
#endif
}
