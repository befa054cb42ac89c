#include "bench/quality/Arguments.h"

#include "bench/quality/Clip.h"

#include <charconv>

namespace quality {

bool ParseWhole(std::string_view text, int& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc{} && ptr == end;
}

const std::string& Arguments::value()
{
    if (at_ + 1 >= args_.size())
        throw Error(current() + " braucht einen Wert");
    return args_[++at_];
}

int Arguments::count(int low, int high, const std::string& what)
{
    const std::string& option = current();
    const std::string& v = value();
    int n = 0;
    if (!ParseWhole(v, n) || n < low || n > high)
        throw Error(option + ": „" + v + "“ ist keine " + what);
    return n;
}

} // namespace quality
