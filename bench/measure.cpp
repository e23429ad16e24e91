#include "measure.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

namespace tessaro::bench {

Summary summarise(std::vector<double> values)
{
    Summary s;
    s.runs = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    s.median = values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

std::optional<long long> longestGap(const std::vector<long long>& ticks, long long from, long long to)
{
    std::optional<long long> longest;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const long long a = ticks[i - 1];
        const long long b = ticks[i];
        // A gap that ends before the window opens or starts after it closes was idle time
        // the user never waited through.
        if (b < from || a > to)
            continue;
        longest = std::max(longest.value_or(0), b - a);
    }
    return longest;
}

std::optional<long long> kilobytesOf(std::string_view procText, std::string_view key)
{
    std::size_t at = 0;
    while (at < procText.size()) {
        std::size_t end = procText.find('\n', at);
        if (end == std::string_view::npos)
            end = procText.size();
        const std::string_view line = procText.substr(at, end - at);
        if (line.substr(0, key.size()) == key) {
            std::string_view rest = line.substr(key.size());
            while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
                rest.remove_prefix(1);
            long long value = 0;
            const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
            if (ec != std::errc() || ptr == rest.data())
                return std::nullopt;
            const std::string_view unit = std::string_view(ptr, static_cast<std::size_t>(rest.data() + rest.size() - ptr));
            if (unit != " kB")
                return std::nullopt;
            return value;
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::string readSmallFile(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace tessaro::bench
