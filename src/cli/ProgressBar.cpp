#include "cli/ProgressBar.h"

#include <algorithm>

namespace venqor::cli {

ProgressBar::ProgressBar(std::ostream& out, bool isTerminal)
    : out_(out)
    , enabled_(isTerminal)
{
}

void ProgressBar::update(std::int64_t done, std::int64_t total)
{
    if (!enabled_)
        return;
    const int percent
        = total > 0 ? static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100)) : 100;
    const auto now = std::chrono::steady_clock::now();
    if (percent == percent_ || (drawn_ && now - last_ < interval))
        return;
    percent_ = percent;
    last_ = now;
    drawn_ = true;
    const int filled = percent * width / 100;
    std::string line = "\r[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(width - filled), ' ');
    line += "] ";
    const std::string number = std::to_string(percent);
    line.append(3 - number.size(), ' ');
    line += number + '%';
    out_ << line << std::flush;
}

void ProgressBar::finish()
{
    if (!drawn_)
        return;
    out_ << '\r' << std::string(width + 7, ' ') << '\r' << std::flush;
    drawn_ = false;
}

} // namespace venqor::cli
